// The stored text form: backslash escaping, then XML escaping, between apostrophes.
// Every text value written into a statement or into dialog markup goes through here.
#pragma once

#include <QString>

namespace db {

QString quoteText(const QString& value);       // the SQL literal of the value
QString unescapeText(const QString& stored);   // the value of a stored text
QString quoteTrimmed(const QString& value);    // quoteText of the value without outer blanks
QString unescapeTrimmed(const QString& stored);  // unescapeText, then without outer blanks

// The two stages on their own, for markup that holds the escaped form without apostrophes.
QString escapeText(const QString& value);

// A stored text decoded and stored again, escapeText(unescapeText(stored)): what stands
// between the apostrophes of the literal a transfer writes for it.
QString restoreText(const QString& stored);

}  // namespace db

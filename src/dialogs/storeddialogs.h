// Stored dialogs: a definition from the local table xele, its window run as a modal
// dialog, and the values moved between the controls and the markup document that keeps them.
#pragma once

#include <QMap>
#include <QString>
#include <QtGlobal>
#include <pugixml.hpp>

namespace db {
struct Connection;
}

namespace dialogs {

// One row of xele.
struct DialogRecord {
  qint32 ID = 0;
  QString gruppe;
  QString element;
  QString XML;  // the markup as stored
};

// The first row of the group and element: 1 found, 0 none (the record left as it was), -1
// after the reported query failure.
int loadDialogDefinition(db::Connection* db, const QString& group, const QString& element, DialogRecord& record);

// Dialog results: -1 not built, 0 cancelled, 1 accepted, 2 to 99 the button "do" + number.
constexpr int dialogNotBuilt = -1;
constexpr int dialogCancelled = 0;
constexpr int dialogAccepted = 1;

// Opens the window named windowName of the document as a modal dialog, filled from the
// document, and runs it until Escape, Return, a "do…" button or the close box ends it; an
// ending other than cancel writes the values back into the document.
int runStoredDialog(int document, const QString& windowName);

// Move the values of the "_"-named value elements between the dialog and the markup: the
// element, its later siblings and all their descendants. 1, or 0 when an element outside
// the dialect broke a chain off (after its message).
int fillDialog(int dialog, const pugi::xml_node& element);
int writeBackDialog(int dialog, const pugi::xml_node& element);

// map[key] = value for every descendant of the element of that kind whose keyAttribute
// begins with "_", in document order (a later one replaces an earlier). The map's size.
int collectFields(const pugi::xml_node& element, const QString& kind, const QString& keyAttribute,
                  const QString& valueAttribute, QMap<QString, QString>& map);

}  // namespace dialogs

// Listing the user's data sources through the driver manager (its user data-source file),
// and reading one setting of a source from that file.
#include "db/odbcsources.h"

#include "db/database.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

namespace db {

// The names are asked for in 8-bit form: that is the data-source file's own text (UTF-8),
// while the 16-bit call of the driver manager widens each of its bytes to a character of
// its own and so garbles every name beyond ASCII.
bool userDataSources(QStringList& names) {
  // The driver manager passes over a file it cannot read as if it held no source.
  const QFileInfo file(userDataSourceFile());
  if (file.exists() && (!file.isFile() || !file.isReadable())) {
    setLastError(u"Datei "_qs + file.filePath() + u" kann nicht gelesen werden"_qs);
    return false;
  }
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    setLastError(u"ODBC-Umgebung kann nicht angelegt werden"_qs);
    return false;
  }
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  bool ok = true;
  SQLUSMALLINT direction = SQL_FETCH_FIRST_USER;
  for (;;) {
    SQLCHAR name[4001] = {};  // 1000 characters of up to four bytes
    SQLCHAR description[1024] = {};
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    const SQLRETURN rc = SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                        sizeof description, &descriptionLength);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      SQLCHAR state[6] = {}, message[1024] = {};
      SQLINTEGER native = 0;
      SQLSMALLINT length = 0;
      SQLGetDiagRec(SQL_HANDLE_ENV, env, 1, state, &native, message, sizeof message, &length);
      setLastError(QString::fromUtf8(reinterpret_cast<const char*>(message)));
      ok = false;
      break;
    }
    const qsizetype length = std::clamp<qsizetype>(nameLength, 0, sizeof name - 1);
    const QByteArray bytes(reinterpret_cast<const char*>(name), length);
    names.append(QString::fromUtf8(bytes).left(1000));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return ok;
}

QString userDataSourceFile() {
  const QString file = qEnvironmentVariable("ODBCINI");
  return file.isEmpty() ? QDir::homePath() + u"/.odbc.ini"_qs : file;
}

std::optional<QString> dataSourceSetting(const QString& source, const QString& key) {
  // The profile functions answer with the default for an absent key; a default that no
  // file can hold (a line break) tells absent from empty.
  static const char absent[] = "\n";
  UWORD previousMode = ODBC_BOTH_DSN;
  SQLGetConfigMode(&previousMode);
  SQLSetConfigMode(ODBC_USER_DSN);
  const QByteArray section = source.toUtf8(), entry = key.toUtf8();
  char value[1001] = {};
  const int length = SQLGetPrivateProfileString(section.constData(), entry.constData(), absent, value,
                                                sizeof value, "odbc.ini");
  SQLSetConfigMode(previousMode);
  const QString text = QString::fromUtf8(value, qBound(0, length, 1000));
  if (length < 0 || text == QLatin1String(absent)) return std::nullopt;
  return text;
}

}  // namespace db

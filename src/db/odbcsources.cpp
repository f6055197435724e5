// Listing the user's data sources through the driver manager (its user data-source file),
// and reading one setting of a source from that file.
#include "db/odbcsources.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

namespace db {

bool userDataSources(QStringList& names) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  bool ok = true;
  SQLUSMALLINT direction = SQL_FETCH_FIRST_USER;
  for (;;) {
    SQLWCHAR name[1001] = {};
    SQLWCHAR description[1024] = {};
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    const SQLRETURN rc = SQLDataSourcesW(env, direction, name, 1001, &nameLength, description, 1024,
                                         &descriptionLength);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      ok = false;
      break;
    }
    names.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(name), qMin<SQLSMALLINT>(nameLength, 1000)));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return ok;
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

// Listing the user's data sources through the driver manager (its user data-source file).
#include "db/odbcsources.h"

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

}  // namespace db

// ODBC data sources through the unixODBC driver manager. Drivers that take UTF-16 calls
// get them; with 8-bit drivers the program speaks UTF-8, which SQLite drivers store as is.
#include "db/backend.h"

#include <sql.h>
#include <sqlext.h>

#include <QStringEncoder>
#include <algorithm>
#include <cstring>

namespace db {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16");

// How long the program waits for a data source: to log in, and for the next piece of an
// answer (or for the server to take a statement) before it gives up with a message. The
// query time-out bounds a statement that the server itself works on too long.
constexpr SQLULEN loginTimeoutSeconds = 5;
constexpr SQLULEN silenceTimeoutSeconds = 30;

// A new statement handle with the query time-out, where the driver offers one.
SQLRETURN newStatement(SQLHDBC dbc, SQLHSTMT* statement) {
  const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, statement);
  if (SQL_SUCCEEDED(rc))
    SQLSetStmtAttr(*statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(silenceTimeoutSeconds), 0);
  return rc;
}

const SQLWCHAR* wide(const QString& text) { return reinterpret_cast<const SQLWCHAR*>(text.utf16()); }

// Collects the diagnostic records of a handle into the layer's error text.
void reportError(SQLSMALLINT type, SQLHANDLE handle, const QString& fallback = QString()) {
  QString text;
  bool duplicate = false, conflict = false;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                        static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    if (!text.isEmpty()) text += u' ';
    const QString part = QString::fromUtf16(reinterpret_cast<const char16_t*>(message),
                                            qMin<qsizetype>(length, std::size(message) - 1));
    text += part;
    // Class 23 is an integrity constraint, of which a taken key is one: told by its own state
    // 23505 (PostgreSQL), or within the general 23000 by the server's number (MariaDB and
    // MySQL, SQL Server), or by the words of SQLite, whose driver gives no state for it. A refused value (a check, a missing value) is
    // no taken key: trying the next ID would not help it.
    const bool integrity = state[0] == u'2' && state[1] == u'3';
    const bool uniqueState = integrity && state[2] == u'5' && state[3] == u'0' && state[4] == u'5';
    duplicate = duplicate || uniqueState || (integrity && (native == 1062 || native == 2627 || native == 2601)) ||
                part.contains(u"UNIQUE constraint failed"_qs) || part.contains(u"PRIMARY KEY must be unique"_qs);
    // Class 40 is a transaction the server rolled back (40001: a deadlock or a failed
    // serialisation, as a cluster's certification reports it).
    conflict = conflict || (state[0] == u'4' && state[1] == u'0') || native == 1213;
  }
  setLastError(text.isEmpty() ? fallback : text);
  if (duplicate) markLastErrorDuplicateKey();
  if (conflict) markLastErrorConflict();
}

// The driver manager hands 16-bit calls to an 8-bit driver with every character cut to
// its low byte, and some drivers take 16-bit calls but lose a character that needs two
// code units (a surrogate pair, "😀"). A check mark and such a character sent through the
// driver's own translation show whether 16-bit calls carry every text; otherwise the
// program speaks UTF-8 to the driver.
bool takesUnicode(SQLHDBC dbc) {
  const QString probe = QStringLiteral("SELECT '\u2713 \U0001F600'");
  SQLWCHAR out[64] = {};
  SQLINTEGER length = 0;
  if (!SQL_SUCCEEDED(SQLNativeSqlW(dbc, const_cast<SQLWCHAR*>(wide(probe)), SQL_NTS, out, 64, &length)))
    return false;
  const QString back = QString::fromUtf16(reinterpret_cast<const char16_t*>(out), qBound<SQLINTEGER>(0, length, 63));
  return back == probe;
}

QString infoText(SQLHDBC dbc, SQLUSMALLINT item) {
  SQLWCHAR text[128] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, item, text, sizeof text, &length))) return QString();
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), std::clamp<qsizetype>(length / 2, 0, 127));
}

// The database the driver serves, as it names it: product and version ("PostgreSQL 15.18",
// "MariaDB 10.11.19-MariaDB", "SQLite 3.40.1").
QString productOf(SQLHDBC dbc) {
  return (infoText(dbc, SQL_DBMS_NAME) + u' ' + infoText(dbc, SQL_DBMS_VER)).trimmed();
}

ColumnKind kindOfSqlType(SQLSMALLINT type) {
  switch (type) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIT: return ColumnKind::Long;
    case SQL_BIGINT: return ColumnKind::Quad;
    case SQL_REAL: return ColumnKind::Float;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL: return ColumnKind::Double;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_GUID: return ColumnKind::Text;
    default: return ColumnKind::Other;
  }
}

// Parameter buffers must live until the statement has run.
struct BoundParameters {
  std::vector<QString> wideTexts;
  std::vector<QByteArray> narrowTexts;
  std::vector<SQLBIGINT> integers;
  std::vector<double> reals;
  std::vector<SQLLEN> lengths;
};

bool bindParameters(Connection* c, SQLHSTMT statement, BoundParameters& bound) {
  const size_t count = c->parameters.size();
  bound.wideTexts.resize(count);
  bound.narrowTexts.resize(count);
  bound.integers.resize(count);
  bound.reals.resize(count);
  bound.lengths.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const QVariant& value = c->parameters[i];
    const auto position = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN rc;
    if (value.typeId() == QMetaType::LongLong) {
      bound.integers[i] = value.toLongLong();
      bound.lengths[i] = 0;
      rc = SQLBindParameter(statement, position, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                            &bound.integers[i], 0, &bound.lengths[i]);
    } else if (value.typeId() == qMetaTypeId<NumberLiteral>()) {
      // SQLite reads a literal with a point as a real; other databases read it as an exact
      // number of its digits, which a decimal parameter in its written form gives them.
      const NumberLiteral number = value.value<NumberLiteral>();
      bound.lengths[i] = 0;
      if (c->odbcSqlite && !number.isInteger()) {
        bound.reals[i] = number.text.toDouble();
        rc = SQLBindParameter(statement, position, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &bound.reals[i], 0,
                              &bound.lengths[i]);
      } else if (number.isInteger()) {
        bound.integers[i] = number.text.toLongLong();
        rc = SQLBindParameter(statement, position, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                              &bound.integers[i], 0, &bound.lengths[i]);
      } else {
        bound.narrowTexts[i] = number.text.toLatin1();
        bound.lengths[i] = bound.narrowTexts[i].size();
        const qsizetype point = number.text.indexOf(u'.');
        const auto scale = static_cast<SQLSMALLINT>(point < 0 ? 0 : number.text.size() - point - 1);
        qsizetype digits = 0;
        for (QChar ch : number.text) digits += ch.isDigit() ? 1 : 0;
        rc = SQLBindParameter(statement, position, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_DECIMAL, qMax<SQLULEN>(digits, 1),
                              scale, bound.narrowTexts[i].data(), bound.lengths[i], &bound.lengths[i]);
      }
    } else if (c->odbcUnicode) {
      bound.wideTexts[i] = value.toString();
      bound.lengths[i] = bound.wideTexts[i].size() * 2;
      rc = SQLBindParameter(statement, position, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                            qMax<SQLULEN>(bound.wideTexts[i].size(), 1), 0,
                            const_cast<SQLWCHAR*>(wide(bound.wideTexts[i])), bound.lengths[i],
                            &bound.lengths[i]);
    } else {
      bound.narrowTexts[i] = value.toString().toUtf8();
      bound.lengths[i] = bound.narrowTexts[i].size();
      rc = SQLBindParameter(statement, position, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                            qMax<SQLULEN>(bound.narrowTexts[i].size(), 1), 0,
                            bound.narrowTexts[i].data(), bound.lengths[i], &bound.lengths[i]);
    }
    if (!SQL_SUCCEEDED(rc)) {
      reportError(SQL_HANDLE_STMT, statement);
      return false;
    }
  }
  return true;
}

// Runs the text on a new statement handle with the connection's parameters; the handle
// is returned even on failure, so that the caller frees it. A query for rows is prepared
// first where the connection asks for it.
SQLRETURN run(Connection* c, SQLHSTMT statement, const QString& sql, bool forRows = false) {
  BoundParameters bound;
  if (!bindParameters(c, statement, bound)) return SQL_ERROR;
  const QByteArray narrow = c->odbcUnicode ? QByteArray() : sql.toUtf8();
  if (c->parameters.empty() && !(forRows && c->odbcPrepareQueries)) {
    return c->odbcUnicode ? SQLExecDirectW(statement, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS)
                          : SQLExecDirect(statement, (SQLCHAR*)narrow.constData(), SQL_NTS);
  }
  SQLRETURN rc = c->odbcUnicode ? SQLPrepareW(statement, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS)
                                : SQLPrepare(statement, (SQLCHAR*)narrow.constData(), SQL_NTS);
  if (!SQL_SUCCEEDED(rc)) return rc;
  return SQLExecute(statement);
}

// Reads a text value in pieces until the driver has handed over all of it. A value of
// another type (binary) is read as its bytes, and those as UTF-8.
bool readText(Connection* c, SQLHSTMT statement, SQLUSMALLINT column, Cell& cell, bool bytesOnly = false) {
  QByteArray bytes;
  char buffer[4096];
  const SQLSMALLINT cType = bytesOnly ? SQL_C_BINARY : c->odbcUnicode ? SQL_C_WCHAR : SQL_C_CHAR;
  const int terminator = bytesOnly ? 0 : c->odbcUnicode ? 2 : 1;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, column, cType, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      reportError(SQL_HANDLE_STMT, statement);
      return false;
    }
    if (indicator == SQL_NULL_DATA) {
      cell.type = Cell::Null;
      return true;
    }
    const qsizetype room = static_cast<qsizetype>(sizeof buffer) - terminator;
    const qsizetype got = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
    bytes.append(buffer, terminator ? got - got % terminator : got);
    if (rc == SQL_SUCCESS) break;  // with info: truncated, more to come
  }
  cell.type = Cell::Text;
  cell.text = c->odbcUnicode && !bytesOnly
                  ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
                  : QString::fromUtf8(bytes);
  return true;
}

template <typename T>
bool readFixed(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, T& value, bool& isNull) {
  SQLLEN indicator = 0;
  if (!SQL_SUCCEEDED(SQLGetData(statement, column, cType, &value, sizeof value, &indicator))) {
    reportError(SQL_HANDLE_STMT, statement);
    return false;
  }
  isNull = indicator == SQL_NULL_DATA;
  return true;
}


}  // namespace

// Column arrays that the driver fills with up to `size` rows per fetch. A text that does not
// fit its buffer in a one-row block is read again whole before the row is used.
struct OdbcBlock {
  struct Column {
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLLEN width = 0;  // bytes per row
    std::vector<char> data;
    std::vector<SQLLEN> indicators;
    QByteArray utf8;  // the current row's wide text turned into UTF-8
  };
  SQLULEN size = 1;
  SQLULEN fetched = 0;
  SQLULEN current = 0;
  bool started = false;
  std::vector<SQLUSMALLINT> status;
  std::vector<Column> columns;
  std::vector<std::pair<SQLULEN, int>> longTexts;  // (row, column) read whole into `whole`
  std::vector<QByteArray> whole;
};

void freeOdbcBlock(OdbcBlock* block) { delete block; }

namespace {

constexpr SQLULEN rowsPerBlock = 256;
constexpr SQLULEN widestBoundText = 2048;  // characters; longer texts are read again whole

// Binds every column of the executed statement to arrays of a block. False leaves the
// statement as it was, to be read row by row: a driver that cannot read a long text again
// after binding gets no block.
bool bindBlock(Query::Impl& q, SQLHSTMT statement, const std::vector<SQLULEN>& sizes) {
  SQLUINTEGER getData = 0;
  SQLGetInfo(static_cast<SQLHDBC>(q.connection->odbcDbc), SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr);
  if (!(getData & SQL_GD_BOUND)) return false;
  // Drivers disagree on the stride of 32-bit floats in column arrays (one lays them 8 bytes
  // apart); such a column is read row by row, as the value is not worth a guess.
  // A binary column is read as its bytes (readText), which no text buffer gives; its result is
  // read row by row too.
  for (const ColumnInfo& column : q.columns)
    if (column.kind == ColumnKind::Float || column.kind == ColumnKind::Other) return false;
  // Many rows per fetch only where every text fits a buffer of its declared size, and only
  // from drivers that serve blocks in full (SQL_GD_BLOCK): the SQLite driver, which does not
  // hold texts to their declared size, goes row by row. A text longer than its column
  // declares inside a block makes the fetch fail (see fetchBlock).
  bool bounded = true;
  for (size_t i = 0; i < q.columns.size(); ++i) {
    const ColumnKind kind = q.columns[i].kind;
    if (kind != ColumnKind::Long && kind != ColumnKind::Quad && kind != ColumnKind::Double &&
        (sizes[i] == 0 || sizes[i] > widestBoundText))
      bounded = false;
  }
  auto block = std::unique_ptr<OdbcBlock, OdbcBlockDeleter>(new OdbcBlock);
  if (bounded && (getData & SQL_GD_BLOCK) &&
      SQL_SUCCEEDED(SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowsPerBlock), 0))) {
    SQLULEN granted = 1;
    SQLGetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr);
    block->size = qMax<SQLULEN>(granted, 1);
  }
  block->status.resize(block->size);
  SQLSetStmtAttr(statement, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  SQLSetStmtAttr(statement, SQL_ATTR_ROW_STATUS_PTR, block->status.data(), 0);
  SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &block->fetched, 0);
  block->columns.resize(q.columns.size());
  for (size_t i = 0; i < q.columns.size(); ++i) {
    OdbcBlock::Column& column = block->columns[i];
    switch (q.columns[i].kind) {
      case ColumnKind::Long:
      case ColumnKind::Quad: column.cType = SQL_C_SBIGINT; column.width = sizeof(SQLBIGINT); break;
      case ColumnKind::Double: column.cType = SQL_C_DOUBLE; column.width = sizeof(SQLDOUBLE); break;
      default: {
        const SQLULEN characters = qBound<SQLULEN>(16, sizes[i] == 0 ? widestBoundText : sizes[i], widestBoundText);
        const bool wideText = q.connection->odbcUnicode && !q.connection->odbcUtf8Rows;
        column.cType = wideText ? SQL_C_WCHAR : SQL_C_CHAR;
        // A character may take two UTF-16 units or four UTF-8 bytes.
        column.width = static_cast<SQLLEN>(wideText ? (characters * 2 + 1) * 2 : characters * 4 + 1);
        break;
      }
    }
    column.data.resize(column.width * block->size);
    column.indicators.resize(block->size);
    if (!SQL_SUCCEEDED(SQLBindCol(statement, static_cast<SQLUSMALLINT>(i + 1), column.cType, column.data.data(),
                                  column.width, column.indicators.data()))) {
      SQLFreeStmt(statement, SQL_UNBIND);
      SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
      SQLSetStmtAttr(statement, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
      SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
      return false;
    }
  }
  q.odbcBlock = std::move(block);
  return true;
}

// A bound text cell whose value went past its buffer.
bool cutShort(const OdbcBlock::Column& column, SQLLEN indicator) {
  if (indicator == SQL_NULL_DATA) return false;
  const SQLLEN terminator = column.cType == SQL_C_WCHAR ? 2 : 1;
  return indicator == SQL_NO_TOTAL || indicator > column.width - terminator;
}

// Fetches the next block. A text cut short is read again whole when the block holds one row;
// inside a longer block it cannot be (drivers lose their place in the rows when a row of a
// block is read again), so it is a failure, never a shortened value.
SQLRETURN fetchBlock(Query::Impl& q, SQLHSTMT statement) {
  OdbcBlock& block = *q.odbcBlock;
  block.fetched = 0;
  block.current = 0;
  block.longTexts.clear();
  block.whole.clear();
  const SQLRETURN rc = SQLFetch(statement);
  if (!SQL_SUCCEEDED(rc)) return rc;  // the end of the rows, or an error: never taken for the other
  for (SQLULEN r = 0; r < block.fetched; ++r) {
    if (block.status[r] == SQL_ROW_ERROR) return SQL_ERROR;
    for (size_t i = 0; i < block.columns.size(); ++i) {
      const OdbcBlock::Column& column = block.columns[i];
      if ((column.cType != SQL_C_CHAR && column.cType != SQL_C_WCHAR) || !cutShort(column, column.indicators[r]))
        continue;
      if (block.size > 1) return SQL_ERROR;
      Cell cell;
      if (!readText(q.connection, statement, static_cast<SQLUSMALLINT>(i + 1), cell)) return SQL_ERROR;
      block.longTexts.emplace_back(r, static_cast<int>(i));
      block.whole.push_back(cell.text.toUtf8());
    }
  }
  return SQL_SUCCESS;
}

const QByteArray* longText(const OdbcBlock& block, int column) {
  for (size_t k = 0; k < block.longTexts.size(); ++k)
    if (block.longTexts[k].first == block.current && block.longTexts[k].second == column) return &block.whole[k];
  return nullptr;
}

bool odbcBlockNext(Query::Impl& q, SQLHSTMT statement) {
  OdbcBlock& block = *q.odbcBlock;
  if (block.started && block.current + 1 < block.fetched) {
    ++block.current;
    return true;
  }
  block.started = true;
  const SQLRETURN rc = fetchBlock(q, statement);
  if (rc == SQL_NO_DATA) return false;
  if (!SQL_SUCCEEDED(rc)) {
    reportError(SQL_HANDLE_STMT, statement, QStringLiteral("Zeilen konnten nicht gelesen werden"));
    q.failed = true;
    return false;
  }
  return block.fetched > 0;
}

}  // namespace

bool odbcBlockUtf8(const Query::Impl& q, int column, Utf8View& view) {
  OdbcBlock& block = *q.odbcBlock;
  OdbcBlock::Column& c = block.columns[column];
  const SQLLEN indicator = c.indicators[block.current];
  if (indicator == SQL_NULL_DATA) {
    view = {};
    return true;
  }
  if (const QByteArray* whole = longText(block, column)) {
    view = {whole->constData(), whole->size()};
    return true;
  }
  const char* data = c.data.data() + block.current * c.width;
  if (c.cType == SQL_C_CHAR) {
    view = {data, static_cast<qsizetype>(indicator)};
    return true;
  }
  // UTF-16 from the driver: into UTF-8 in a buffer the block keeps, as QString::toUtf8 would.
  const QStringView wideText(reinterpret_cast<const char16_t*>(data), indicator / 2);
  c.utf8.resize(wideText.size() * 3);
  QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
  char* end = encoder.appendToBuffer(c.utf8.data(), wideText);
  c.utf8.resize(end - c.utf8.constData());
  view = {c.utf8.constData(), c.utf8.size()};
  return true;
}

bool odbcBlockCell(const Query::Impl& q, int column, Cell& cell) {
  const OdbcBlock& block = *q.odbcBlock;
  const OdbcBlock::Column& c = block.columns[column];
  const SQLLEN indicator = c.indicators[block.current];
  cell = Cell{};
  if (indicator == SQL_NULL_DATA) return true;
  const char* data = c.data.data() + block.current * c.width;
  switch (c.cType) {
    case SQL_C_SBIGINT:
      cell.type = Cell::Integer;
      std::memcpy(&cell.integer, data, sizeof(SQLBIGINT));
      return true;
    case SQL_C_DOUBLE:
      cell.type = Cell::Real;
      std::memcpy(&cell.real, data, sizeof(SQLDOUBLE));
      return true;
    default: break;
  }
  cell.type = Cell::Text;
  if (const QByteArray* whole = longText(block, column)) cell.text = QString::fromUtf8(*whole);
  else if (c.cType == SQL_C_WCHAR) cell.text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), indicator / 2);
  else cell.text = QString::fromUtf8(data, static_cast<qsizetype>(indicator));
  return true;
}

Connection* odbcOpen(const QString& source, const QString& user, const QString& password) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    setLastError(QStringLiteral("ODBC-Umgebung kann nicht angelegt werden"));
    return nullptr;
  }
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(loginTimeoutSeconds), 0);
  // A value that holds ";", braces or outer blanks goes in braces. The data-source name
  // never does: it cannot hold them, and the SQLite driver would take the braces for part
  // of the name and open an empty database instead. An empty user or password is left
  // out, so that the data source's own settings apply.
  auto braced = [](const QString& v) {
    if (!v.contains(u';') && !v.contains(u'{') && !v.contains(u'}') && v.trimmed() == v) return v;
    return u'{' + QString(v).replace(u"}"_qs, u"}}"_qs) + u'}';
  };
  QString text = u"DSN="_qs + source + u';';
  // The MariaDB driver leaves the login timeout out of its wait for the server's greeting,
  // so a server that takes the connection and stays silent would hold the program for
  // good; its own connect timeout bounds that wait. Other drivers pass over the key.
  // Read and write time-outs let the program give up on a server that falls silent in the
  // middle of an answer, as a MariaDB connection of its own does.
  text += u"CONN_TIMEOUT="_qs + QString::number(loginTimeoutSeconds) + u";READ_TIMEOUT="_qs +
          QString::number(silenceTimeoutSeconds) + u";WRITE_TIMEOUT="_qs + QString::number(silenceTimeoutSeconds) + u';';
  // The PostgreSQL driver by default guards every statement inside a transaction with a
  // savepoint of its own, released and set anew after each one: a second round trip for
  // every row a return sends. The program never goes on with a transaction in which a
  // statement failed (the batch goes back whole), so the transaction alone guards it; the
  // server then refuses the rest of a transaction after a failure, as it would without the
  // driver. Other drivers pass over the key.
  text += u"Protocol=7.4-0;"_qs;
  if (!user.isEmpty()) text += u"UID="_qs + braced(user) + u';';
  if (!password.isEmpty()) text += u"PWD="_qs + braced(password) + u';';
  // The 8-bit call: the driver manager and the drivers look the source up in the data-source
  // file by these bytes, which are the file's own (UTF-8). Through the 16-bit call a name
  // beyond ASCII would reach them cut to the low byte of each character and not be found.
  auto connect = [dbc](const QString& connection) {
    QByteArray bytes = connection.toUtf8();
    return SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(bytes.data()), SQL_NTS, nullptr, 0, nullptr,
                            SQL_DRIVER_NOPROMPT);
  };
  SQLRETURN rc = connect(text);
  // The SQLite driver waits for a file that another program writes to 100 s by default, twice
  // over in one statement (it tries again once): connected once more with its wait set so
  // that a statement gives up after the 30 s the program waits for any server. A file on
  // the device's own disk opens again at once; other drivers are not asked, as their own
  // key of that name may mean something else.
  if (SQL_SUCCEEDED(rc) && infoText(dbc, SQL_DBMS_NAME).contains(u"SQLite"_qs, Qt::CaseInsensitive)) {
    SQLDisconnect(dbc);
    rc = connect(text + u"Timeout="_qs + QString::number(silenceTimeoutSeconds * 1000 / 2) + u';');
  }
  if (!SQL_SUCCEEDED(rc)) {
    reportError(SQL_HANDLE_DBC, dbc, QStringLiteral("Datenquelle %1 nicht erreichbar").arg(source));
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return nullptr;
  }
  auto* c = new Connection;
  c->backend = Backend::Odbc;
  c->odbcEnv = env;
  c->odbcDbc = dbc;
  c->odbcUnicode = takesUnicode(dbc);
  c->odbcProduct = productOf(dbc);
  const QString name = infoText(dbc, SQL_DBMS_NAME);
  c->odbcSqlite = name.contains(u"SQLite"_qs, Qt::CaseInsensitive);
  // The MariaDB driver reads a directly executed query's rows in a way that crashes the
  // program when the connection breaks inside the answer's column descriptions; the rows
  // of a prepared query are read safely and the break is reported as an error.
  c->odbcPrepareQueries =
      name.contains(u"MariaDB"_qs, Qt::CaseInsensitive) || name.contains(u"MySQL"_qs, Qt::CaseInsensitive);
  if (c->odbcPrepareQueries) {
    if (!odbcExecute(c, literalBackslashes)) {
      odbcClose(c);
      delete c;
      return nullptr;
    }
    // The driver hands 8-bit text over in the session's character set, as the server sends it;
    // UTF-8 there spares a conversion to UTF-16 and back for every text of a streamed query.
    Query::Impl q;
    q.connection = c;
    if (odbcQuery(q, QStringLiteral("SELECT @@character_set_results")) && odbcNext(q))
      c->odbcUtf8Rows = cellText(q.cells[0]).startsWith(u"utf8"_qs, Qt::CaseInsensitive);
    odbcFinish(q);
  }
  return c;
}

void odbcClose(Connection* c) {
  SQLDisconnect(c->odbcDbc);
  SQLFreeHandle(SQL_HANDLE_DBC, c->odbcDbc);
  SQLFreeHandle(SQL_HANDLE_ENV, c->odbcEnv);
}

bool odbcExecute(Connection* c, const QString& sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(newStatement(c->odbcDbc, &statement))) {
    reportError(SQL_HANDLE_DBC, c->odbcDbc);
    return false;
  }
  const SQLRETURN rc = run(c, statement, sql);
  const bool ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;  // no data: nothing to change
  if (!ok) reportError(SQL_HANDLE_STMT, statement);
  c->odbcTransactionFailed = c->odbcTransactionFailed || (!ok && c->odbcInTransaction);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return ok;
}

bool odbcTransaction(Connection* c, TransactionStep step) {
  SQLHDBC dbc = c->odbcDbc;
  // PostgreSQL keeps nothing of a transaction in which a statement failed: its COMMIT is a
  // rollback that the driver reports as done. Said as what it is, so that no caller takes
  // the statements before the failure for kept.
  const bool lost = step == TransactionStep::Commit && c->odbcTransactionFailed &&
                    c->odbcProduct.contains(u"PostgreSQL"_qs, Qt::CaseInsensitive);
  if (lost) step = TransactionStep::Rollback;
  c->odbcInTransaction = step == TransactionStep::Begin;
  c->odbcTransactionFailed = false;
  if (step != TransactionStep::Begin &&
      !SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, step == TransactionStep::Commit ? SQL_COMMIT : SQL_ROLLBACK))) {
    reportError(SQL_HANDLE_DBC, dbc);
    return false;
  }
  const SQLULEN autocommit = step == TransactionStep::Begin ? SQL_AUTOCOMMIT_OFF : SQL_AUTOCOMMIT_ON;
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(autocommit), SQL_IS_UINTEGER))) {
    reportError(SQL_HANDLE_DBC, dbc);
    return false;
  }
  if (lost) {
    setLastError(u"Der Server hat die Transaktion nach einem Fehler darin zurückgerollt."_qs);
    return false;
  }
  return true;
}

void* odbcPrepare(Connection* c, const QString& sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(newStatement(c->odbcDbc, &statement))) {
    reportError(SQL_HANDLE_DBC, c->odbcDbc);
    return nullptr;
  }
  const QByteArray narrow = c->odbcUnicode ? QByteArray() : sql.toUtf8();
  const SQLRETURN rc = c->odbcUnicode ? SQLPrepareW(statement, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS)
                                      : SQLPrepare(statement, (SQLCHAR*)narrow.constData(), SQL_NTS);
  if (!SQL_SUCCEEDED(rc)) {
    reportError(SQL_HANDLE_STMT, statement);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return nullptr;
  }
  return statement;
}

bool odbcExecutePrepared(Connection* c, void* prepared, qint64& changed) {
  const auto statement = static_cast<SQLHSTMT>(prepared);
  BoundParameters bound;
  SQLRETURN rc = bindParameters(c, statement, bound) ? SQLExecute(statement) : SQL_ERROR;
  const bool ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;  // no data: nothing to change
  if (!ok) reportError(SQL_HANDLE_STMT, statement);
  c->odbcTransactionFailed = c->odbcTransactionFailed || (!ok && c->odbcInTransaction);
  SQLLEN rows = -1;
  if (rc == SQL_NO_DATA) changed = 0;
  else if (ok && SQL_SUCCEEDED(SQLRowCount(statement, &rows))) changed = rows;
  SQLFreeStmt(statement, SQL_CLOSE);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  return ok;
}

void odbcFreePrepared(void* statement) { SQLFreeHandle(SQL_HANDLE_STMT, static_cast<SQLHSTMT>(statement)); }

bool odbcQuery(Query::Impl& q, const QString& sql) {
  Connection* c = q.connection;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(newStatement(c->odbcDbc, &statement))) {
    reportError(SQL_HANDLE_DBC, c->odbcDbc);
    return false;
  }
  q.odbcStatement = statement;
  const SQLRETURN rc = run(c, statement, sql, true);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    reportError(SQL_HANDLE_STMT, statement);
    c->odbcTransactionFailed = c->odbcTransactionFailed || c->odbcInTransaction;
    return false;
  }
  SQLSMALLINT count = 0;
  SQLNumResultCols(statement, &count);
  std::vector<SQLULEN> sizes;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(statement, i, name, 256, &nameLength, &type, &size, &digits, &nullable);
    q.columns.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(name), qMin<SQLSMALLINT>(nameLength, 255)),
                         kindOfSqlType(type)});
    sizes.push_back(size);
  }
  if (q.mode == ReadMode::Streamed && count > 0) bindBlock(q, statement, sizes);
  return true;
}

bool odbcNext(Query::Impl& q) {
  q.cells.clear();
  auto statement = static_cast<SQLHSTMT>(q.odbcStatement);
  if (q.columns.empty()) return false;
  if (q.odbcBlock) return odbcBlockNext(q, statement);
  const SQLRETURN rc = SQLFetch(statement);
  if (rc == SQL_NO_DATA) return false;
  if (!SQL_SUCCEEDED(rc)) {
    reportError(SQL_HANDLE_STMT, statement);
    q.failed = true;
    return false;
  }
  q.cells.resize(q.columns.size());
  for (size_t i = 0; i < q.columns.size(); ++i) {
    Cell& cell = q.cells[i];
    const auto column = static_cast<SQLUSMALLINT>(i + 1);
    bool isNull = false;
    bool ok = true;
    switch (q.columns[i].kind) {
      case ColumnKind::Long:
      case ColumnKind::Quad: {
        SQLBIGINT value = 0;
        ok = readFixed(statement, column, SQL_C_SBIGINT, value, isNull);
        cell.type = Cell::Integer;
        cell.integer = value;
        break;
      }
      case ColumnKind::Float: {
        SQLREAL value = 0;
        ok = readFixed(statement, column, SQL_C_FLOAT, value, isNull);
        cell.type = Cell::Single;
        cell.real = value;
        break;
      }
      case ColumnKind::Double: {
        SQLDOUBLE value = 0;
        ok = readFixed(statement, column, SQL_C_DOUBLE, value, isNull);
        cell.type = Cell::Real;
        cell.real = value;
        break;
      }
      case ColumnKind::Text: ok = readText(q.connection, statement, column, cell); break;
      case ColumnKind::Other: ok = readText(q.connection, statement, column, cell, true); break;
    }
    if (!ok) {
      q.failed = true;
      return false;
    }
    if (isNull) cell = Cell{};
  }
  return true;
}

void odbcFinish(Query::Impl& q) {
  if (q.odbcStatement) SQLFreeHandle(SQL_HANDLE_STMT, static_cast<SQLHSTMT>(q.odbcStatement));
  q.odbcStatement = nullptr;
  q.odbcBlock.reset();  // the arrays the statement was bound to
}

}  // namespace db

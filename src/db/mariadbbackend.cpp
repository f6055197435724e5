// MariaDB servers through MariaDB Connector/C. Results are stored on the client, so that
// statements can run on the connection while the rows of a query are read; a streamed query
// reads its rows as they arrive and keeps the connection until it is finished.
#include "db/backend.h"
#include "db/serverdb.h"

#include <mysql.h>

#include <cstring>
#include <vector>

namespace db {

namespace {

// The connect timeout also bounds the wait for the server's greeting, so a server that
// takes the connection but never speaks costs these seconds. Connector/C fixes the read and
// write timeouts when it connects (setting them later has no effect), so one bound serves
// the log-in and every later statement: far above what any statement of the program needs,
// it still frees the program from a server that falls silent in the middle.
constexpr unsigned int connectTimeoutSeconds = 5;
constexpr unsigned int silenceTimeoutSeconds = 30;

// The session's settings in one statement, one round trip: literal backslashes, and utf8mb4,
// not utf8, for all that the client sends and reads: MariaDB's "utf8" is its three-byte form,
// which turns every character beyond the Basic Multilingual Plane ("😀") into "?" or refuses it.
const QString sessionSettings =
    literalBackslashes +
    QStringLiteral(", character_set_connection=utf8mb4, character_set_client=utf8mb4, character_set_results=utf8mb4");

void reportError(MYSQL* handle) { setLastError(QString::fromUtf8(mysql_error(handle))); }

// What kind of failure the server's error number tells, for the callers that answer it.
void markErrorKind(unsigned int error) {
  if (error == 1062) markLastErrorDuplicateKey();  // ER_DUP_ENTRY
  if (error == 1213) markLastErrorConflict();  // ER_LOCK_DEADLOCK, also a cluster node's failed certification
}

ColumnKind kindOfField(const MYSQL_FIELD& field) {
  switch (field.type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_YEAR: return ColumnKind::Long;
    case MYSQL_TYPE_LONGLONG: return ColumnKind::Quad;
    case MYSQL_TYPE_FLOAT: return ColumnKind::Float;
    case MYSQL_TYPE_DOUBLE:
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL: return ColumnKind::Double;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VARCHAR:
      return field.charsetnr == 63 ? ColumnKind::Other : ColumnKind::Text;  // 63: binary
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_NEWDATE:
    case MYSQL_TYPE_ENUM:
    case MYSQL_TYPE_SET: return ColumnKind::Text;
    default: return ColumnKind::Other;
  }
}

// Puts the connection's parameters in place of the "?" markers outside quoted texts,
// identifiers and comments, each escaped for the connection's character set.
QByteArray withParameters(Connection* c, const QString& sql) {
  const QByteArray text = sql.toUtf8();
  if (c->parameters.empty()) return text;
  QByteArray out;
  size_t next = 0;
  char quote = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (quote) {
      out += ch;
      if (ch == '\\' && quote != '`' && i + 1 < text.size()) out += text[++i];
      else if (ch == quote) quote = 0;
    } else if (ch == '\'' || ch == '"' || ch == '`') {
      quote = ch;
      out += ch;
    } else if (ch == '?' && next < c->parameters.size()) {
      const QVariant& value = c->parameters[next++];
      if (value.typeId() == QMetaType::LongLong) {
        out += QByteArray::number(value.toLongLong());
      } else if (value.typeId() == qMetaTypeId<NumberLiteral>()) {
        out += value.value<NumberLiteral>().text.toUtf8();
      } else if (!value.isValid()) {
        out += "NULL";
      } else {
        const QByteArray raw = value.toString().toUtf8();
        QByteArray escaped(raw.size() * 2 + 1, '\0');
        const unsigned long length =
            mysql_real_escape_string(c->mysql, escaped.data(), raw.constData(), raw.size());
        out += '\'';
        out += QByteArray(escaped.constData(), static_cast<qsizetype>(length));
        out += '\'';
      }
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

Connection* mariaOpen(const QString& connectionText, const QString& user, const QString& password) {
  const QMap<QString, QString> pairs = readMariaDbConnectionText(connectionText);
  const QString host = pairs.value(u"host"_qs), port = pairs.value(u"port"_qs),
                database = pairs.value(u"dbname"_qs);
  MYSQL* handle = mysql_init(nullptr);
  if (!handle) {
    setLastError(QStringLiteral("Zu wenig Speicher für die Verbindung"));
    return nullptr;
  }
  mysql_options(handle, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeoutSeconds);
  mysql_options(handle, MYSQL_OPT_READ_TIMEOUT, &silenceTimeoutSeconds);
  mysql_options(handle, MYSQL_OPT_WRITE_TIMEOUT, &silenceTimeoutSeconds);
  mysql_options(handle, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  const QByteArray h = host.toUtf8(), u = user.toUtf8(), p = password.toUtf8(), d = database.toUtf8();
  if (!mysql_real_connect(handle, h.constData(), u.constData(), p.constData(), d.constData(),
                          port.toUInt(), nullptr, 0)) {
    reportError(handle);
    mysql_close(handle);
    return nullptr;
  }
  auto* c = new Connection;
  c->backend = Backend::MariaDb;
  c->mysql = handle;
  if (!mariaExecute(c, sessionSettings)) {
    mariaClose(c);
    delete c;
    return nullptr;
  }
  return c;
}

void mariaClose(Connection* c) { mysql_close(c->mysql); }

bool mariaExecute(Connection* c, const QString& sql) {
  const QByteArray text = withParameters(c, sql);
  if (mysql_real_query(c->mysql, text.constData(), text.size()) != 0) {
    reportError(c->mysql);
    markErrorKind(mysql_errno(c->mysql));
    return false;
  }
  // A statement that returns rows anyway: drop them, so the connection is free again.
  if (MYSQL_RES* result = mysql_store_result(c->mysql)) mysql_free_result(result);
  while (mysql_next_result(c->mysql) == 0) {
    if (MYSQL_RES* result = mysql_store_result(c->mysql)) mysql_free_result(result);
  }
  return true;
}

bool mariaTransaction(Connection* c, TransactionStep step) {
  MYSQL* m = c->mysql;
  bool ok = true;
  if (step == TransactionStep::Begin) ok = mysql_autocommit(m, 0) == 0;
  else ok = (step == TransactionStep::Commit ? mysql_commit(m) : mysql_rollback(m)) == 0;
  if (!ok) {
    reportError(m);
    markErrorKind(mysql_errno(m));
    return false;
  }
  if (step != TransactionStep::Begin && mysql_autocommit(m, 1) != 0) {
    reportError(m);
    return false;
  }
  return true;
}

st_mysql_stmt* mariaPrepare(Connection* c, const QString& sql) {
  MYSQL_STMT* statement = mysql_stmt_init(c->mysql);
  if (!statement) {
    reportError(c->mysql);
    return nullptr;
  }
  const QByteArray text = sql.toUtf8();
  if (mysql_stmt_prepare(statement, text.constData(), static_cast<unsigned long>(text.size())) != 0) {
    setLastError(QString::fromUtf8(mysql_stmt_error(statement)));
    mysql_stmt_close(statement);
    return nullptr;
  }
  return statement;
}

// The values go in the binary protocol: integers as 64-bit integers, number literals as
// exact decimals in their written form, texts as their UTF-8 bytes, so that the server
// stores what it stores for the literals of the statement's text.
bool mariaExecutePrepared(Connection* c, st_mysql_stmt* statement, qint64& changed) {
  const size_t count = c->parameters.size();
  std::vector<MYSQL_BIND> binds(count);
  std::vector<QByteArray> texts(count);
  std::vector<long long> integers(count);
  std::vector<unsigned long> lengths(count);
  for (size_t i = 0; i < count; ++i) {
    MYSQL_BIND& bind = binds[i];
    std::memset(&bind, 0, sizeof bind);
    const QVariant& value = c->parameters[i];
    if (value.typeId() == QMetaType::LongLong) {
      integers[i] = value.toLongLong();
      bind.buffer_type = MYSQL_TYPE_LONGLONG;
      bind.buffer = &integers[i];
      continue;
    }
    if (!value.isValid()) {
      bind.buffer_type = MYSQL_TYPE_NULL;
      continue;
    }
    const bool number = value.typeId() == qMetaTypeId<NumberLiteral>();
    texts[i] = number ? value.value<NumberLiteral>().text.toUtf8() : value.toString().toUtf8();
    lengths[i] = static_cast<unsigned long>(texts[i].size());
    bind.buffer_type = number ? MYSQL_TYPE_NEWDECIMAL : MYSQL_TYPE_STRING;
    bind.buffer = texts[i].data();
    bind.buffer_length = lengths[i];
    bind.length = &lengths[i];
  }
  if (mysql_stmt_bind_param(statement, binds.data()) != 0 || mysql_stmt_execute(statement) != 0) {
    setLastError(QString::fromUtf8(mysql_stmt_error(statement)));
    markErrorKind(mysql_stmt_errno(statement));
    return false;
  }
  const my_ulonglong rows = mysql_stmt_affected_rows(statement);
  changed = rows == static_cast<my_ulonglong>(-1) ? -1 : static_cast<qint64>(rows);
  return true;
}

void mariaFreePrepared(st_mysql_stmt* statement) { mysql_stmt_close(statement); }

bool mariaQuery(Query::Impl& q, const QString& sql) {
  MYSQL* handle = q.connection->mysql;
  const QByteArray text = withParameters(q.connection, sql);
  if (mysql_real_query(handle, text.constData(), text.size()) != 0) {
    reportError(handle);
    markErrorKind(mysql_errno(handle));
    return false;
  }
  q.mysqlResult = q.mode == ReadMode::Streamed ? mysql_use_result(handle) : mysql_store_result(handle);
  if (!q.mysqlResult) {
    // A connection lost while the rows arrive also clears the field count, so only the
    // error number tells a failed read from a statement that has no rows.
    if (mysql_errno(handle) != 0 || mysql_field_count(handle) != 0) {
      reportError(handle);
      markErrorKind(mysql_errno(handle));
      return false;
    }
    return true;  // a statement without rows: a query with none
  }
  const unsigned int count = mysql_num_fields(q.mysqlResult);
  const MYSQL_FIELD* fields = mysql_fetch_fields(q.mysqlResult);
  for (unsigned int i = 0; i < count; ++i)
    q.columns.push_back({QString::fromUtf8(fields[i].name), kindOfField(fields[i])});
  return true;
}

bool mariaNext(Query::Impl& q) {
  q.mysqlRow = nullptr;
  q.mysqlLengths = nullptr;
  if (!q.mysqlResult) return false;
  MYSQL_ROW row = mysql_fetch_row(q.mysqlResult);
  if (!row) {
    if (mysql_errno(q.connection->mysql) != 0) {
      reportError(q.connection->mysql);
      markErrorKind(mysql_errno(q.connection->mysql));
      q.failed = true;
    }
    return false;
  }
  q.mysqlRow = row;
  q.mysqlLengths = mysql_fetch_lengths(q.mysqlResult);
  return true;
}

// The server sends every value as text; numbers are read from it by the column's kind.
Cell mariaCell(const Query::Impl& q, int column) {
  Cell cell;
  const char* value = q.mysqlRow[column];
  if (!value) return cell;
  const QByteArrayView bytes(value, static_cast<qsizetype>(q.mysqlLengths[column]));
  switch (q.columns[column].kind) {
    case ColumnKind::Long:
    case ColumnKind::Quad:
      cell.type = Cell::Integer;
      cell.integer = bytes.toLongLong();
      break;
    case ColumnKind::Float:
    case ColumnKind::Double:
      cell.type = q.columns[column].kind == ColumnKind::Float ? Cell::Single : Cell::Real;
      cell.real = bytes.toDouble();
      break;
    default:
      cell.type = Cell::Text;
      cell.text = QString::fromUtf8(bytes);
      break;
  }
  return cell;
}

bool mariaUtf8(const Query::Impl& q, int column, Utf8View& view) {
  view.data = q.mysqlRow[column];
  view.size = view.data ? static_cast<qsizetype>(q.mysqlLengths[column]) : 0;
  return true;
}

void mariaFinish(Query::Impl& q) {
  q.mysqlRow = nullptr;
  if (q.mysqlResult) mysql_free_result(q.mysqlResult);  // a streamed result is read to its end first
  q.mysqlResult = nullptr;
}

}  // namespace db

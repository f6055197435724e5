// The version check: the version server first, then each ODBC database the user names,
// until a published version differs from the program's own. No failure is shown.
#include "app/versioncheck.h"

#include "app/appstate.h"
#include "db/odbcsources.h"
#include "db/serverdb.h"

namespace app {

namespace {

const QString programName = u"VarnothM"_qs;
const QString excludedDatabases = u"|abrechnung|MS Access Database|ODBC Data Sources|Excel Files|dBase Files|"_qs;
const QString crlf = u"\r\n"_qs;

QString environmentOr(const char* name, const QString& fixed) {
  const QString value = qEnvironmentVariable(name);
  return value.isEmpty() ? fixed : value;
}

// Steps through the published rows of this program; the notice of the first row whose
// version is not the own one, or the empty text.
QString noticeFromQuery(db::Connection* connection, const QString& statement) {
  db::bindText(connection, 0, programName);
  db::Query query(connection, statement);
  if (!query.ok()) return {};
  while (query.next()) {
    const QString version = query.text(2);
    if (version != programVersion) return versionNotice(query.text(1), version, query.text(3));
  }
  return {};
}

}  // namespace

VersionServer versionServer() {
  return {environmentOr("VARNOTHM_VERSION_HOST", u"version.varnothm.example"_qs),
          environmentOr("VARNOTHM_VERSION_PORT", u"3307"_qs),
          environmentOr("VARNOTHM_VERSION_PASS", u"Vers$ion$7"_qs)};
}

QString versionNotice(const QString& programm, const QString& version, const QString& anmerkung) {
  QString notice = u"Programm VarnothM "_qs + programm + crlf + u" installierte Version "_qs + programVersion + crlf +
                   u" aktuelle Version "_qs + version + crlf;
  if (!anmerkung.isEmpty()) notice += anmerkung + crlf;
  return notice + u"Die aktuelle Version finden Sie auf der Internetseite "_qs + makerWebAddress;
}

QString checkVersion() {
  const VersionServer server = versionServer();
  {
    db::ConnectionGuard connection(
        db::openMariaDb(server.host, server.port, u"version"_qs, u"version"_qs, server.password));
    if (connection) {
      const QString notice = noticeFromQuery(
          connection.get(), u"SELECT ID,programm,version,anmerkung FROM version WHERE programm=?;"_qs);
      if (!notice.isEmpty()) return notice;
    }
  }
  QStringList candidates;
  listOdbcDatabases(candidates);
  for (const QString& candidate : candidates) {
    db::ConnectionGuard connection(db::openDatabase(candidate, QString(), QString(), db::Backend::Odbc));
    if (!connection) continue;
    const QString notice = noticeFromQuery(
        connection.get(), u"SELECT ID,programm,version,anmerkung FROM version.version WHERE programm=?;"_qs);
    if (!notice.isEmpty()) return notice;
  }
  return {};
}

int listOdbcDatabases(QStringList& names) {
  QStringList sources;
  db::userDataSources(sources);
  for (const QString& source : sources) {
    if (excludedDatabases.contains(u'|' + source + u'|', Qt::CaseInsensitive)) continue;
    if (const std::optional<QString> database = db::dataSourceSetting(source, u"DATABASE"_qs))
      names.append(database->trimmed());
  }
  return static_cast<int>(names.size());
}

}  // namespace app

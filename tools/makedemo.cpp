// makedemo FOLDER PROGRAM HELPDOCUMENT: a demo program folder with "VarnothM.CFG" (ODBC) and a
// data-source file of its own naming three demo buildings on SQLite files, filled around today.
#include "common/dates.h"
#include "common/filenames.h"
#include "db/database.h"
#include "db/localschema.h"
#include "db/quoting.h"
#include "platform/boxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

struct Outlet {
  QString auid, code, art, raum, region, hydron;
};

struct Building {
  QString name;  // the data source, and so the object
  QString file;  // the server database in the folder's "server" folder
  std::vector<Outlet> outlets;
};

// What is done at the outlets, with its recording dialog; a kind without one is recorded
// with a remark alone.
struct Kind {
  QString wastun;
  QString markup;  // empty: no dialog
};

// A recording dialog: a title, a line of guidance and its "_"-named fields, each with a label.
QString recordingDialog(const QString& title, const QString& guidance,
                        const std::vector<std::pair<QString, QString>>& fields) {
  QString rows;
  for (const auto& [label, name] : fields)
    rows += u"      <text text='"_qs + label + u"' /> <string name='"_qs + name + u"' text='' />\n"_qs;
  return u"<window id='#PB_Any' name='dialog' text='"_qs + title +
         u"' minwidth='380' minheight='auto' flags='#PB_Window_ScreenCentered|#PB_Window_SystemMenu'>\n"
         "  <vbox>\n    <text text='"_qs + guidance + u"' />\n    <gridbox columns='2'>\n"_qs + rows +
         u"    </gridbox>\n    <hbox>\n      <button name='doExit' text='Abbrechen' />\n"
         "      <button name='doOK' text='OK' />\n    </hbox>\n  </vbox>\n</window>"_qs;
}

const std::vector<Kind> kinds{
    {u"Temperaturmessung"_qs,
     recordingDialog(u"Temperaturmessung"_qs, u"Temperaturen nach Ablauf in °C (z. B. 12,5)"_qs,
                     {{u"Kaltwasser"_qs, u"_KW"_qs}, {u"Warmwasser"_qs, u"_WW"_qs}, {u"Anmerkung"_qs, u"_anmerkung"_qs}})},
    {u"Probenahme"_qs,
     recordingDialog(u"Probenahme"_qs, u"Probe nach Trinkwasserverordnung, Temperatur bei der Entnahme in °C"_qs,
                     {{u"Kaltwasser bei Entnahme"_qs, u"_KW_Entnahme"_qs},
                      {u"Warmwasser bei Entnahme"_qs, u"_WW_Entnahme"_qs},
                      {u"Anmerkung (Probennummer)"_qs, u"_anmerkung"_qs}})},
    {u"Spülen"_qs,
     recordingDialog(u"Spülen"_qs, u"Auslass gespült; Warmwassertemperatur am Ende in °C"_qs,
                     {{u"Warmwasser nach dem Spülen"_qs, u"_WW_nach_Spuelen"_qs}, {u"Anmerkung"_qs, u"_anmerkung"_qs}})},
    {u"Sichtprüfung"_qs, QString()}};

std::vector<Building> buildings() {
  return {
      {u"Kita Sonnenschein"_qs, u"kita-sonnenschein.sqlite"_qs,
       {{u"DU-EG-01"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Waschraum 0.04"_qs, u"Erdgeschoss"_qs, u"Strang 1"_qs},
        {u"WT-EG-01"_qs, u"Waschtisch"_qs, u"KW/WW"_qs, u"Waschraum 0.04"_qs, u"Erdgeschoss"_qs, u"Strang 1"_qs},
        {u"WT-EG-02"_qs, u"Waschtisch"_qs, u"KW"_qs, u"Gruppenraum 0.07"_qs, u"Erdgeschoss"_qs, u"Strang 2"_qs},
        {u"SP-KU-01"_qs, u"Spüle"_qs, u"KW/WW"_qs, u"Küche 0.11"_qs, u"Küche"_qs, u"Strang 3"_qs},
        {u"SP-KU-02"_qs, u"Ausgussbecken"_qs, u"KW/WW"_qs, u"Küche 0.11"_qs, u"Küche"_qs, u"Strang 3"_qs},
        {u"DU-OG-01"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Personalbad 1.02"_qs, u"Obergeschoss"_qs, u"Strang 1"_qs},
        {u"WT-OG-01"_qs, u"Waschtisch"_qs, u"KW/WW"_qs, u"Personalbad 1.02"_qs, u"Obergeschoss"_qs, u"Strang 1"_qs}}},
      {u"Seniorenheim Lindenhof"_qs, u"seniorenheim-lindenhof.sqlite"_qs,
       {{u"DU-A1-03"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Zimmer A1.03"_qs, u"Haus A 1. OG"_qs, u"Strang A"_qs},
        {u"DU-A1-05"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Zimmer A1.05"_qs, u"Haus A 1. OG"_qs, u"Strang A"_qs},
        {u"WT-A1-05"_qs, u"Waschtisch"_qs, u"KW/WW"_qs, u"Zimmer A1.05"_qs, u"Haus A 1. OG"_qs, u"Strang A"_qs},
        {u"DU-A2-01"_qs, u"Pflegedusche"_qs, u"KW/WW"_qs, u"Pflegebad A2.01"_qs, u"Haus A 2. OG"_qs, u"Strang A"_qs},
        {u"WT-A2-01"_qs, u"Waschtisch"_qs, u"KW/WW"_qs, u"Pflegebad A2.01"_qs, u"Haus A 2. OG"_qs, u"Strang A"_qs},
        {u"SP-B0-01"_qs, u"Spüle"_qs, u"KW/WW"_qs, u"Stationsküche B0.10"_qs, u"Haus B EG"_qs, u"Strang B"_qs},
        {u"DU-B0-02"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Zimmer B0.02"_qs, u"Haus B EG"_qs, u"Strang B"_qs},
        {u"ZK-TZ-01"_qs, u"Zirkulation Rücklauf"_qs, u"WW"_qs, u"Technikzentrale"_qs, u"Technikzentrale"_qs,
         u"Speicher 1"_qs}}},
      {u"Sporthalle Nord"_qs, u"sporthalle-nord.sqlite"_qs,
       {{u"DU-UD-01"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Umkleide Damen"_qs, u"Umkleide Damen"_qs, u"Strang 1"_qs},
        {u"DU-UD-02"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Umkleide Damen"_qs, u"Umkleide Damen"_qs, u"Strang 1"_qs},
        {u"DU-UH-01"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Umkleide Herren"_qs, u"Umkleide Herren"_qs, u"Strang 2"_qs},
        {u"DU-UH-02"_qs, u"Dusche"_qs, u"KW/WW"_qs, u"Umkleide Herren"_qs, u"Umkleide Herren"_qs, u"Strang 2"_qs},
        {u"WT-FO-01"_qs, u"Waschtisch"_qs, u"KW"_qs, u"WC Foyer"_qs, u"Foyer"_qs, u"Strang 3"_qs}}},
  };
}

bool failed = false;

bool run(db::Connection* connection, const QString& statement) {
  if (db::execute(connection, statement)) return true;
  std::fprintf(stderr, "makedemo: %s: %s\n", qPrintable(statement), qPrintable(db::lastError()));
  failed = true;
  return false;
}

QString q(const QString& text) { return db::quoteText(text); }

// The measures of one outlet over the days around today: two days back, yesterday, today,
// tomorrow and the day after. Past ones are mostly done, today's partly, later ones open.
void addMeasures(db::Connection* server, const Building& building, int& id) {
  const qint32 now = common::now();
  const qint32 today = common::startOfDay(now);
  const qint32 day = 24 * 60 * 60;
  const int hours[] = {7, 9, 11, 14};
  // Today's measures lie around the moment the demo is made, so that the assistant shows
  // overdue ones, ones due within minutes and later ones whenever it is walked.
  const qint32 aroundNow[] = {-2 * 3600, -40 * 60, 5 * 60, 3 * 3600};
  for (size_t o = 0; o < building.outlets.size(); ++o) {
    const Outlet& outlet = building.outlets[o];
    for (int offset = -2; offset <= 2; ++offset) {
      // Not every outlet every day: a pattern by outlet and day, with today always there.
      if (offset != 0 && (o + offset + 5) % 3 == 0) continue;
      const Kind& kind = kinds[(o + offset + 6) % kinds.size()];
      const qint32 due = offset == 0 ? qBound(today, now + aroundNow[o % 4], today + day - 60)
                                     : today + offset * day + hours[(o + offset + 4) % 4] * 3600 + (o % 2) * 1800;
      qint32 done = 0;
      QString who, remark;
      if (offset < 0 ? (o % 4 != 1) : (offset == 0 && o % 3 == 0)) {
        done = qMin(due + 20 * 60, now);
        who = u"mkeller"_qs;
        remark = offset < 0 ? u"ohne Befund"_qs : u"Perlator gereinigt & entkalkt"_qs;
      }
      run(server, u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES ("_qs +
                      QString::number(id++) + u","_qs + q(outlet.auid) + u","_qs + q(kind.wastun) + u","_qs +
                      QString::number(due) + u","_qs + QString::number(done) + u","_qs + q(who) + u","_qs + q(remark) +
                      u");"_qs);
    }
  }
}

void fillServer(db::Connection* server, const Building& building) {
  db::createOutletTable(server);
  db::createResultTable(server);
  db::createMeasureTable(server);
  db::createDialogTable(server);
  int id = 1;
  for (const Outlet& o : building.outlets)
    run(server, u"INSERT INTO auslass (ID,AUID,code,art,raum,region,hydron) VALUES ("_qs + QString::number(id++) +
                    u","_qs + q(o.auid) + u","_qs + q(o.code) + u","_qs + q(o.art) + u","_qs + q(o.raum) + u","_qs +
                    q(o.region) + u","_qs + q(o.hydron) + u");"_qs);
  int measure = 1001;
  addMeasures(server, building, measure);
  int dialog = 1;
  for (const Kind& kind : kinds) {
    if (kind.markup.isEmpty()) continue;
    run(server, u"INSERT INTO xele (ID,gruppe,element,XML) VALUES ("_qs + QString::number(dialog++) + u","_qs +
                    q(u"XML_merfassung"_qs) + u","_qs + q(kind.wastun) + u","_qs + q(kind.markup) + u");"_qs);
  }
  // A dialog of another group, which the program does not fetch.
  run(server, u"INSERT INTO xele (ID,gruppe,element,XML) VALUES (99,"_qs + q(u"XML_auswertung"_qs) + u","_qs +
                  q(u"Bericht"_qs) + u","_qs + q(u"<window name='bericht' />"_qs) + u");"_qs);
}

// The device of the first building as after "Auslassliste holen" and "Daten abholen" with
// today and a morning's work: its outlets, dialogs and today's measures, and results, so that
// both table browsers have rows from the first start on.
void prepareDevice(const QDir& folder, const Building& building, db::Connection* server) {
  const QString objectFolder = folder.filePath(common::safeFileName(building.name));
  const QString file = objectFolder + u"/Varnoth.DBF"_qs;
  if (!QDir().mkpath(objectFolder) || !QFile(file).open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "makedemo: %s kann nicht angelegt werden\n", qPrintable(file));
    failed = true;
    return;
  }
  db::ConnectionGuard device(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  db::createOutletTable(device.get());
  db::createResultTable(device.get());
  db::createMeasureTable(device.get());
  db::createDialogTable(device.get());
  const qint32 today = common::startOfDay(common::now());
  auto copy = [&](const QString& select, const QString& table, int columns) {
    db::Query rows(server, select);
    while (rows.next()) {
      QStringList values;
      for (int c = 0; c < columns; ++c)
        values << (rows.columnKind(c) == db::ColumnKind::Text ? u'\'' + QString(rows.text(c)).replace(u"'"_qs, u"''"_qs) + u'\''
                                                               : QString::number(rows.int64(c)));
      run(device.get(), u"INSERT INTO "_qs + table + u" VALUES ("_qs + values.join(u',') + u");"_qs);
    }
  };
  copy(u"SELECT ID,AUID,code,art,raum,region,hydron FROM auslass"_qs, u"auslass"_qs, 7);
  copy(u"SELECT ID,gruppe,element,XML FROM xele WHERE gruppe='XML_merfassung'"_qs, u"xele"_qs, 4);
  copy(u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE dasoll>="_qs +
           QString::number(today) + u" AND dasoll<="_qs + QString::number(common::endOfDay(today)),
       u"massnahme"_qs, 7);
  struct Result {
    QString auid, syst, keim;
    double temp;
    QString resu, prot, anme;
  };
  const Result results[] = {
      {u"DU-EG-01"_qs, u"WW"_qs, u"Temp"_qs, 58.5, u"i.O."_qs, QString(), u"nach 2 min konstant"_qs},
      {u"DU-EG-01"_qs, u"KW"_qs, u"Temp"_qs, 14.0, u"i.O."_qs, QString(), QString()},
      {u"WT-EG-01"_qs, u"WW"_qs, u"Legio"_qs, 55.0, u"< 100 KBE/100 ml"_qs, u"P-0815"_qs, u"Probe & Gegenprobe"_qs},
      {u"SP-KU-01"_qs, u"KW"_qs, u"Temp"_qs, 21.5, u"über 20 °C – spülen"_qs, QString(), u"Strahlregler verkalkt"_qs},
  };
  int id = 1;
  for (const Result& r : results)
    run(device.get(), u"INSERT INTO resultat (ID,AUID,abda,syst,keim,temp,resu,prot,anme) VALUES ("_qs +
                          QString::number(id++) + u","_qs + q(r.auid) + u","_qs + QString::number(today + 9 * 3600) +
                          u","_qs + q(r.syst) + u","_qs + q(r.keim) + u","_qs + QString::number(r.temp) + u","_qs +
                          q(r.resu) + u","_qs + q(r.prot) + u","_qs + q(r.anme) + u");"_qs);
}

int fail(const QString& text) {
  std::fprintf(stderr, "makedemo: %s\n", qPrintable(text));
  return 1;
}

bool writeFile(const QString& path, const QString& text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 4) return fail(u"Aufruf: makedemo ORDNER PROGRAMM HILFEDOKUMENT"_qs);
  const QDir folder(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
  const QString program = QString::fromLocal8Bit(argv[2]);
  const QString help = QString::fromLocal8Bit(argv[3]);

  // A database message has no window to go to here; it goes to the console instead.
  platform::setBoxResponder([](const platform::BoxRequest& box) {
    std::fprintf(stderr, "makedemo: %s: %s\n", qPrintable(box.title), qPrintable(box.text));
    failed = true;
    return platform::BoxReply{};
  });

  // Only a folder that this tool made is emptied: a demo starts afresh each time.
  if (folder.exists() && !folder.isEmpty() && !folder.exists(u"VarnothM.CFG"_qs))
    return fail(folder.path() + u" ist kein Demo-Ordner und wird nicht überschrieben"_qs);
  if (folder.exists() && !QDir(folder).removeRecursively()) return fail(folder.path() + u" kann nicht geleert werden"_qs);
  if (!QDir().mkpath(folder.filePath(u"server"_qs))) return fail(folder.path() + u" kann nicht angelegt werden"_qs);

  if (!QFile::copy(program, folder.filePath(u"VarnothM"_qs))) return fail(program + u" kann nicht kopiert werden"_qs);
  if (!QFile::copy(help, folder.filePath(u"VarnothM.PDF"_qs))) return fail(help + u" kann nicht kopiert werden"_qs);
  if (!writeFile(folder.filePath(u"VarnothM.CFG"_qs), u"DB_MODE = ODBC\n"_qs))
    return fail(u"VarnothM.CFG kann nicht geschrieben werden"_qs);

  QString sources = u"; Die Demo-Objekte: je eine Datenquelle auf einer SQLite-Datei.\n"_qs;
  for (const Building& building : buildings()) {
    const QString file = folder.filePath(u"server/"_qs + building.file);
    if (!QFile(file).open(QIODevice::WriteOnly)) return fail(file + u" kann nicht angelegt werden"_qs);
    db::ConnectionGuard server(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
    if (!server) return fail(file + u": "_qs + db::lastError());
    fillServer(server.get(), building);
    if (building.name == buildings().front().name) prepareDevice(folder, building, server.get());
    sources += u"\n["_qs + building.name + u"]\nDescription=Demo-Objekt\nDriver=SQLite3\nDatabase="_qs + file + u'\n';
  }
  if (!writeFile(folder.filePath(u"odbc.ini"_qs), sources)) return fail(u"odbc.ini kann nicht geschrieben werden"_qs);
  if (failed) return 1;
  std::printf("Demo in %s: %lld Objekte\n", qPrintable(folder.path()), static_cast<long long>(buildings().size()));
  return 0;
}

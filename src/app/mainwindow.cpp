// The main window's lists and status bar, the objects offered by the server, and the
// current object's local database.
#include "app/mainwindow.h"

#include "app/appstate.h"
#include "common/filenames.h"
#include "common/programend.h"
#include "db/localschema.h"
#include "db/odbcsources.h"
#include "platform/boxes.h"
#include "platform/controls.h"
#include "platform/iconlists.h"
#include "platform/statusbar.h"
#include "platform/windows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

// The icons are compiled into the program; a static library must register them by hand,
// from outside any namespace.
static void registerIconResources() { Q_INIT_RESOURCE(icons); }

namespace app {

namespace {

const QStringList iconNames{u"object"_qs, u"home"_qs, u"down"_qs,   u"up"_qs,   u"config"_qs,
                            u"help"_qs,   u"onoff"_qs, u"manahme"_qs, u"left"_qs, u"date"_qs,
                            u"plus"_qs,   u"shower"_qs, u"tap"_qs};

struct CommandItem {
  QString caption;
  QString icon;
};

const CommandItem commandItems[] = {
    {u"Objektname"_qs, u"object"_qs},       {u"Auslassliste holen"_qs, u"home"_qs},
    {u"Daten abholen"_qs, u"down"_qs},      {u"Daten abgeben"_qs, u"up"_qs},
    {u"Maßnahmen bearb."_qs, u"config"_qs}, {u"Resultate bearb."_qs, u"config"_qs},
    {u"Hilfe"_qs, u"help"_qs},              {u"Beenden"_qs, u"onoff"_qs},
    {u"Massnahmenassistent"_qs, u"manahme"_qs},
};

const QString excludedSources = u"|MS Access Database|ODBC Data Sources|Excel Files|dBase Files|"_qs;

void fatal(const QString& text) {
  platform::messageBox(u"Fehler"_qs, text);
  common::endProgram(1);
}

}  // namespace

void loadImages() {
  registerIconResources();
  for (const QString& name : iconNames) {
    const int number = platform::loadImage(u":/icons/"_qs + name + u".png"_qs);
    if (number) state().images.insert(name, number);
  }
}

int image(const QString& name) { return state().images.value(name, 0); }

void layoutMainLists() {
  AppState& s = state();
  if (!s.mainWindow || !s.commandList || !s.objectList) return;
  const int W = platform::windowClientWidth(s.mainWindow) - 20;
  const int H = platform::windowClientHeight(s.mainWindow);
  platform::hideControl(s.commandList);
  platform::hideControl(s.objectList);
  const double perRow = platform::iconItemCount(s.commandList) * 160.0 / W;
  const int rows = std::isfinite(perRow) ? static_cast<int>(std::trunc(perRow)) : 0;
  int h = rows * 120 + 60;
  if (h > H - 30) h = H - 30;
  platform::setControlGeometry(s.commandList, 10, 10, W, h);
  const int y = 10 + h + 10;
  platform::setControlGeometry(s.objectList, 10, y, W, H - y - 35);
  platform::rearrangeIcons(s.commandList);
  platform::rearrangeIcons(s.objectList);
  platform::showControl(s.commandList);
  platform::showControl(s.objectList);
}

void setStatusText(const QString& text) {
  const int window = state().mainWindow;
  if (window && platform::hasStatusBar(window)) platform::setStatusFieldText(window, 0, text, false);
}

void setStatusProgress(int value) {
  const int window = state().mainWindow;
  if (window && platform::hasStatusBar(window)) platform::setStatusFieldProgress(window, 1, value);
}

int listOdbcSources(QStringList& names) {
  QStringList sources;
  const bool ok = db::userDataSources(sources);
  for (const QString& name : sources) {
    if (!excludedSources.contains(u'|' + name + u'|', Qt::CaseInsensitive)) names.append(name);
  }
  return ok ? static_cast<int>(names.size()) : -1;
}

int listMariaDbSchemas(const QString& host, const QString& port, const QString& user,
                       const QString& password, QStringList& names, QString* failure) {
  const QString server = host + u':' + port;
  db::ConnectionGuard connection(db::openMariaDb(host, port, u"information_schema"_qs, user, password));
  if (!connection) {
    if (failure) *failure = u"Server "_qs + server + u" – "_qs + db::lastError();
    return 0;
  }
  int count = 0;
  db::Query query(connection.get(),
                  u"SELECT SCHEMA_NAME FROM information_schema.schemata WHERE "
                  "SCHEMA_NAME!='information_schema' ORDER BY SCHEMA_NAME"_qs);
  while (query.next()) {
    const QString name = query.text(0);
    if (name == u"version") continue;
    names.append(name);
    ++count;
  }
  if (failure && (!query.ok() || query.failed()))
    *failure = u"die Schemata des Servers "_qs + server + u" können nicht gelesen werden – "_qs + db::lastError();
  else if (failure && count == 0)
    *failure = u"der Benutzer "_qs + user + u" sieht auf dem Server "_qs + server + u" kein Schema"_qs;
  return count;
}

namespace {

// Collects the object names by the configured kind of server; the cause goes to reason
// when the list stays empty. A MariaDB server's schemas are read once: the commands that
// refill the lists afterwards change no schema, and a connection of its own for the list
// costs several round trips, seconds over a slow link. A list that stayed empty or broke off
// (a server out of reach, a user without schemas) is read again at the next fill.
QStringList objectNames(QString& reason) {
  AppState& s = state();
  QStringList names;
  const QString& mode = s.config.mode;
  if (mode == u"ODBC") {
    if (listOdbcSources(names) < 0)
      reason = u"die ODBC-Datenquellen können nicht gelesen werden – "_qs + db::lastError();
    else if (names.isEmpty())
      reason = u"keine ODBC-Datenquelle in "_qs + db::userDataSourceFile();
  } else if (mode == u"MARIADB") {
    if (s.serverSchemas.isEmpty()) {
      listMariaDbSchemas(s.config.host, s.config.port, s.config.user, s.config.password, names, &reason);
      if (reason.isEmpty()) s.serverSchemas = names;  // only a list read to its end is kept
    } else {
      names = s.serverSchemas;
    }
  } else if (const QFileInfo config(s.programFolder + u"VarnothM.CFG"_qs); !config.exists()) {
    reason = u"VarnothM.CFG fehlt in "_qs + QDir::toNativeSeparators(s.programFolder);
  } else if (!config.isFile() || !config.isReadable()) {
    reason = u"VarnothM.CFG in "_qs + QDir::toNativeSeparators(s.programFolder) + u" kann nicht gelesen werden"_qs;
  } else if (mode.isEmpty()) {
    reason = u"DB_MODE fehlt in VarnothM.CFG (ODBC oder MARIADB)"_qs;
  } else {
    reason = u"DB_MODE = "_qs + mode + u" in VarnothM.CFG ist weder ODBC noch MARIADB"_qs;
  }
  if (!names.isEmpty()) reason.clear();
  return names;
}

}  // namespace

QString emptyObjectListReason() { return state().noObjectsReason; }

void fillMainLists() {
  AppState& s = state();
  platform::setWindowTitle(s.mainWindow, u"VarnothM Objekt "_qs + s.currentObject.toUpper());
  platform::clearIconList(s.commandList);
  for (const CommandItem& item : commandItems) platform::addIconItem(s.commandList, item.caption, image(item.icon));
  platform::clearIconList(s.objectList);
  QString reason;
  const QStringList names = objectNames(reason);
  for (const QString& name : names) platform::addIconItem(s.objectList, name, image(u"object"_qs));
  s.noObjectsReason = reason.isEmpty() ? QString() : u"Keine Objekte: "_qs + reason;
  if (!s.noObjectsReason.isEmpty()) setStatusText(s.noObjectsReason);
  layoutMainLists();
}

namespace {

// SQLite opens a file lazily: only a first read tells a database from any other file. The
// number of tables, or -1 when the file is no database.
int localTableCount(db::Connection* local) {
  db::Query tables(local, u"SELECT COUNT(*) FROM sqlite_master WHERE type='table'"_qs);
  if (!tables.ok() || !tables.next()) return -1;
  return tables.int32(0);
}

}  // namespace

void openLocalDatabase() {
  AppState& s = state();
  const QString folder = s.programFolder + common::safeFileName(s.currentObject) + u'/';
  const QString file = folder + u"Varnoth.DBF"_qs;
  const QString notOpened = u"Datenbank kann in "_qs + folder + u" nicht geöffnet werden."_qs;
  s.localDb = db::openDatabase(file, {}, {}, db::Backend::Sqlite);
  if (!s.localDb) {
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
      fatal(u"Ordner "_qs + folder + u" kann nicht angelegt werden."_qs);
    if (!QFileInfo::exists(file)) {
      QFile empty(file);
      if (!empty.open(QIODevice::WriteOnly)) fatal(u"Datenbank kann in "_qs + folder + u" nicht angelegt werden."_qs);
    }
    s.localDb = db::openDatabase(file, {}, {}, db::Backend::Sqlite);
    if (!s.localDb) fatal(notOpened);
  }
  // A file with tables is the object's database as it was left. An empty one (also what an
  // interrupted first start leaves) gets its tables now; any other file is not ours to use.
  const int tables = localTableCount(s.localDb);
  if (tables < 0) {
    db::closeDatabase(s.localDb);
    s.localDb = nullptr;
    fatal(notOpened);
  }
  if (tables > 0) return;
  db::createOutletTable(s.localDb);
  db::createResultTable(s.localDb);
  db::createMeasureTable(s.localDb);
  db::createDialogTable(s.localDb);
}

common::MainScreen mainScreen() {
  const AppState& s = state();
  return {s.mainWindow, s.commandList, s.objectList, s.programFolder, s.currentObject,
          image, layoutMainLists, setStatusText, setStatusProgress};
}

void showCurrentObject() {
  AppState& s = state();
  platform::setWindowTitle(s.mainWindow, u"VarnothM Objekt "_qs + s.currentObject.toUpper());
  platform::setIconItemText(s.commandList, 0, s.currentObject);
}

void chooseObject(const QString& name) {
  AppState& s = state();
  db::closeDatabase(s.localDb);
  s.localDb = nullptr;
  s.currentObject = name;
  openLocalDatabase();
  showCurrentObject();
}

}  // namespace app

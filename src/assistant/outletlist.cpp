// The assistant's working screen: the measures of one area in the main window, and the
// recording of a measure through the remark prompt or the stored dialog of its kind.
#include "assistant/assistant.h"

#include "common/dates.h"
#include "common/numbers.h"
#include "common/programend.h"
#include "common/textlist.h"
#include "db/database.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "db/serverdb.h"
#include "db/snapshot.h"
#include "dialogs/markup.h"
#include "dialogs/storeddialogs.h"
#include "platform/boxes.h"
#include "platform/screenloop.h"
#include "platform/fonts.h"
#include "platform/system.h"
#include "platform/windows.h"

#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace assistant {

namespace {

constexpr qint32 lastDate = std::numeric_limits<qint32>::max();
const QString dialogGroup = u"XML_merfassung"_qs;

// What the screen keeps while it runs; nothing of it outlives the screen.
struct OutletScreen {
  db::Connection* db = nullptr;
  const common::MainScreen& screen;
  QString area;
  QString commandText;
  QString remark;  // the remark used last; the "all" row applies it
  QMap<QString, QString> fields;
  QList<MeasureRow> listed;  // the rows of objectList after the "all" row, in list order
  QStringList unwritten;     // the export files that lost a line in this action
};

void fatal(const QString& text) {
  platform::messageBox(u"Fehler"_qs, text, platform::BoxIcon::Error);
  common::endProgram(1);
}

// Loads the measure the row stands for, by its local row, so that of two measures with one
// ID the chosen one is recorded; false when the query failed or the measure is gone or is
// another one now (a row that names no measure is never carried out as an empty one).
bool loadListedMeasure(db::Connection* db, const MeasureRow& listed, MeasureRecord& measure) {
  measure = MeasureRecord{};
  return loadMeasureRow(db, listed.row, measure) == 1 && measure.row == listed.row &&
         common::trimBlanks(measureRowText(measure)) == listed.text;
}

// The export's answer for the user: a line that did not reach its file is named in the
// status bar once the list is shown again.
void exported(OutletScreen& s, bool written, const QString& path) {
  if (!written) s.unwritten.append(path);
}

void tellUnwritten(OutletScreen& s) {
  if (s.unwritten.isEmpty()) return;
  QStringList files;
  for (const QString& path : std::as_const(s.unwritten))
    if (!files.contains(path)) files.append(path);
  const QString text = s.unwritten.size() == 1
                           ? u"Protokollzeile konnte nicht geschrieben werden: "_qs + files.join(u", "_qs)
                           : QString::number(s.unwritten.size()) +
                                 u" Protokollzeilen konnten nicht geschrieben werden: "_qs + files.join(u", "_qs);
  s.unwritten.clear();
  s.screen.statusText(text);
}

void showList(OutletScreen& s) {
  s.listed = showMeasureRows(s.db, s.screen, s.area, s.commandText);
}

// One measure row of the prepared query (its values bound); sql is the statement as the
// user reads it in a failure.
int loadOneMeasure(db::Connection* db, const QString& prepared, const QString& sql, MeasureRecord& measure) {
  db::Query row(db, prepared);
  if (!row.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return 0;
  }
  if (row.next()) {
    measure = measureFromRow(row);
  } else if (row.failed()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return 0;
  }
  return 1;
}

// The stored dialog of a kind of measure. The local xele holds its texts decoded (the
// dialog fetch writes them so), so the kind is looked up as it reads, through parameters:
// "&", "<" or an apostrophe in a kind find its dialog. A failure names the statement in its
// quoted form. 1 found, 0 none, -1 after the reported failure.
int findMeasureDialog(db::Connection* db, const QString& kind, dialogs::DialogRecord& record) {
  const QString shown = u"SELECT ID,gruppe,element,XML FROM xele WHERE gruppe="_qs + db::quoteTrimmed(dialogGroup) +
                        u" AND element="_qs + db::quoteTrimmed(kind) + u';';
  db::bindText(db, 0, common::trimBlanks(dialogGroup));
  db::bindText(db, 1, common::trimBlanks(kind));
  db::Query row(db, u"SELECT ID,gruppe,element,XML FROM xele WHERE gruppe=? AND element=?;"_qs);
  if (!row.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, shown);
    return -1;
  }
  if (!row.next()) {
    if (!row.failed()) return 0;
    db::reportFailure(db::MessageForm::QueryFailed, shown);
    return -1;
  }
  record.ID = row.int32(0);
  record.gruppe = common::trimBlanks(row.text(1));
  record.element = common::trimBlanks(row.text(2));
  record.XML = row.text(3);
  return 1;
}

// The dialogs' font, the default for their controls while it lives.
class DialogFont {
 public:
  DialogFont() : font_(platform::loadFont(u"Arial"_qs, 16)) {
    if (!font_) fatal(u"Font kann nicht geladen werden."_qs);
    platform::setDefaultFont(font_);
  }
  ~DialogFont() {
    platform::restoreDefaultFont();
    platform::freeFont(font_);
  }
  DialogFont(const DialogFont&) = delete;
  DialogFont& operator=(const DialogFont&) = delete;

 private:
  int font_;
};

// Records the measure as carried out now by the user with the remark, writes and exports it,
// and shows the list anew.
void carryOut(OutletScreen& s, MeasureRecord& measure, const QString& remark) {
  measure.dadurch = common::now();
  measure.werdurch = platform::loginName();
  measure.anmerkung = remark;
  saveMeasure(s.db, measure);
  exported(s, exportMeasure(s.screen.currentObject, measure), measureExportPath(s.screen.currentObject));
  showList(s);
}

// Carries out every listed measure that is open and due within ten minutes, all in one
// local transaction: one write of the file for the whole list, and a failure on the way
// leaves every measure as it was. The journal gets the lines once the measures are stored.
void executeAll(OutletScreen& s) {
  QList<MeasureRecord> recorded;
  if (!db::beginTransaction(s.db)) {
    db::reportFailure(db::MessageForm::QueryFailed, u"BEGIN;"_qs);
    return;
  }
  bool stored = true;
  for (const MeasureRow& listed : std::as_const(s.listed)) {
    MeasureRecord measure;
    if (!loadListedMeasure(s.db, listed, measure)) continue;
    const qint32 now = common::now();
    if (measure.dadurch >= 1 || static_cast<qint64>(measure.dasoll) > static_cast<qint64>(now) + 600) continue;
    measure.dadurch = now;
    measure.werdurch = platform::loginName();
    measure.anmerkung = s.remark;
    if (saveMeasure(s.db, measure) != 1) {
      stored = false;
      break;
    }
    recorded.append(measure);
  }
  if (stored && !db::commitTransaction(s.db)) {
    db::reportFailure(db::MessageForm::QueryFailed, u"COMMIT;"_qs);
    stored = false;
  }
  if (!stored) {
    db::rollbackTransaction(s.db);
    recorded.clear();
  }
  for (const MeasureRecord& measure : std::as_const(recorded))
    exported(s, exportMeasure(s.screen.currentObject, measure), measureExportPath(s.screen.currentObject));
  showList(s);
}

void executeWithPrompt(OutletScreen& s, MeasureRecord& measure) {
  s.remark = platform::inputBox(u"Anmerkung"_qs, QString(), u" "_qs);
  if (s.remark.isEmpty()) return;  // cancelled, or the blank deleted
  s.remark = common::trimBlanks(s.remark);
  carryOut(s, measure, s.remark);
}

// The remark fields are no readings; every other "_"-named field is one.
bool isRemarkField(const QString& key) { return key.contains(u"_anmerkung"_qs, Qt::CaseInsensitive); }

// The values of the document's "_"-named text fields, decoded.
QMap<QString, QString> dialogFields(int document) {
  QMap<QString, QString> fields;
  dialogs::collectFields(dialogs::mainElement(document), u"string"_qs, u"name"_qs, u"text"_qs, fields);
  for (QString& value : fields) value = db::unescapeText(value);
  return fields;
}

// What the technician is told about the reading fields that hold a text where a number
// belongs, one sentence per field; empty when every reading is a number or left empty.
// Such a text is refused rather than cut: "warm" would otherwise be recorded as 0 degrees.
QString unreadableFields(const QMap<QString, QString>& fields) {
  QStringList notes;
  for (auto field = fields.cbegin(); field != fields.cend(); ++field) {
    if (isRemarkField(field.key()) || field.value().trimmed().isEmpty() || isReading(field.value())) continue;
    QString name = field.key();
    if (name.startsWith(u'_')) name.remove(0, 1);
    notes.append(u"Im Feld „"_qs + name + u"“ steht „"_qs + field.value().trimmed() +
                 u"“; dort gehört eine Zahl hin, etwa 36,6."_qs);
  }
  return notes.join(u'\n');
}

// The dialog's window runs until it is accepted with readable values or cancelled; the values
// stay in the document, so a refused acceptance opens the dialog again as it was left.
void executeWithDialog(OutletScreen& s, MeasureRecord& measure, const dialogs::DialogRecord& definition) {
  const int number = dialogs::freeMarkupNumber();
  if (number == 0 || !dialogs::createMarkupDocument(number))
    fatal(u"XML-Dialog nicht richtig definiert "_qs + u"keine freie Dokumentnummer"_qs);
  const dialogs::MarkupGuard document(number);
  const dialogs::MarkupStatus parsed = dialogs::parseMarkupInto(number, definition.XML);
  if (!parsed.ok) fatal(u"XML-Dialog nicht richtig definiert "_qs + parsed.error);
  int result;
  {
    const DialogFont font;
    for (;;) {
      result = dialogs::runStoredDialog(number, u"dialog"_qs);
      if (result == dialogs::dialogAccepted) {
        const QString note = unreadableFields(dialogFields(number));
        if (note.isEmpty()) break;
        platform::messageBox(u"Hinweis"_qs, note, platform::BoxIcon::Info);
        continue;
      }
      if (result == dialogs::dialogCancelled) break;
      // A dialog that cannot be built would fail the same way again: end as on cancel.
      if (result == dialogs::dialogNotBuilt) break;
      if (result == 2) measurementRequest(number);
    }
  }
  if (result != dialogs::dialogAccepted) return;

  s.fields = dialogFields(number);
  QString remark = s.fields.value(u"_anmerkung"_qs);
  if (remark.isEmpty()) remark = s.fields.value(u"_Anmerkung"_qs);
  s.remark = remark;
  carryOut(s, measure, remark);
  for (auto field = s.fields.cbegin(); field != s.fields.cend(); ++field) {
    if (isRemarkField(field.key())) continue;
    // A field left empty is no reading: a result of 0 could not be told from 0 degrees.
    if (field.value().trimmed().isEmpty()) continue;
    ResultRecord result = resultFromField(field.key(), field.value(), measure.AUID);
    insertResult(s.db, result);
    exported(s, exportResult(s.screen.currentObject, result), resultExportPath(s.screen.currentObject));
  }
  s.fields.clear();
}

void executeOne(OutletScreen& s, const MeasureRow& listed) {
  MeasureRecord measure;
  if (!loadListedMeasure(s.db, listed, measure)) return;
  dialogs::DialogRecord definition;
  if (findMeasureDialog(s.db, measure.wastun, definition) == 1) executeWithDialog(s, measure, definition);
  else executeWithPrompt(s, measure);
}

}  // namespace

QString runOutletList(db::Connection* local, const common::MainScreen& screen, const QString& area,
                      const QString& commandText) {
  OutletScreen s{local, screen, area, commandText, QString(), {}, {}, {}};
  showList(s);
  for (;;) {
    const int index = platform::waitScreenChoice(screen);
    if (index < 0) return QString();
    const QString text = platform::iconItemText(screen.objectList, index);
    if (rowTag(text) == u"***") executeAll(s);
    else if (rowId(text) >= 0 && index >= 1 && index <= s.listed.size()) executeOne(s, s.listed[index - 1]);
    tellUnwritten(s);
  }
}

void showOutletList(db::Connection* local, const common::MainScreen& screen, const QString& area,
                    const QString& commandText) {
  showMeasureRows(local, screen, area, commandText);
}

QList<MeasureRow> showMeasureRows(db::Connection* local, const common::MainScreen& screen, const QString& area,
                                  const QString& commandText) {
  platform::setWindowTitle(screen.window,
                           u"VarnothM Objekt "_qs + screen.currentObject.toUpper() + u' ' + commandText);
  platform::showScreenCommands(screen);
  const db::ReadSnapshot snapshot(local);  // a query per measure and outlet: one file lock for all
  QList<MeasureRow> rows;
  const int n = collectMeasureRows(local, area, rows);
  if (n > 0) {
    platform::addIconItem(screen.objectList, allRowText, screen.image(u"plus"_qs));
    platform::setIconItemBackground(screen.objectList, 0, {0, 0, 170});
    platform::setIconItemTextColour(screen.objectList, 0, {255, 255, 255});
  }
  for (int k = 1; k <= n; ++k) {
    const QString& text = rows[k - 1].text;
    screen.statusProgress(k * 100 / (n + 1));
    const bool shower = text.contains(u"DU"_qs, Qt::CaseInsensitive);
    platform::addIconItem(screen.objectList, text, screen.image(shower ? u"shower"_qs : u"tap"_qs));
    const int item = platform::iconItemCount(screen.objectList) - 1;
    MeasureRecord measure;
    loadMeasureRow(local, rows[k - 1].row, measure);
    const platform::Rgb background = measureColour(measure);
    platform::setIconItemBackground(screen.objectList, item, background);
    platform::setIconItemTextColour(screen.objectList, item, contrastTextColour(background));
  }
  screen.statusProgress(0);
  screen.statusText(QString());
  screen.layout();
  return rows;
}

int collectMeasureRows(db::Connection* db, const QString& area, QList<MeasureRow>& rows) {
  rows.clear();
  QList<MeasureRecord> measures;
  loadMeasureRowsDue(db, 0, lastDate, measures);
  common::SortedTextList sorted;
  for (const MeasureRecord& measure : measures) {
    OutletRecord outlet;
    if (loadOutlet(db, measure.AUID, outlet) != 1 || !common::sameListEntry(outlet.region, area)) continue;
    const qsizetype before = sorted.items.size();
    common::insertSortedUnique(sorted, measureRowText(measure));
    // A new text takes its sorted place; a text already listed keeps its first measure.
    if (sorted.items.size() > before) rows.insert(sorted.current, MeasureRow{sorted.items[sorted.current], measure.row});
  }
  return static_cast<int>(rows.size());
}

int collectMeasureRows(db::Connection* db, const QString& area, QStringList& rows) {
  QList<MeasureRow> listed;
  collectMeasureRows(db, area, listed);
  rows.clear();
  for (const MeasureRow& row : std::as_const(listed)) rows.append(row.text);
  return static_cast<int>(rows.size());
}

QString measureRowText(const MeasureRecord& measure) {
  return measure.AUID + u' ' + measure.wastun + u" ("_qs + QString::number(measure.ID) + u')';
}

QString rowTag(const QString& rowText) {
  const qsizetype close = rowText.lastIndexOf(u')');
  const qsizetype open = rowText.lastIndexOf(u'(');
  if (close < 0 || open < 0 || close <= open) return QString();
  return rowText.mid(open + 1, close - open - 1);
}

qint32 rowId(const QString& rowText) {
  // The number at the start of the tag, as far as it goes.
  const QString tag = rowTag(rowText);
  qsizetype i = 0;
  while (i < tag.size() && (tag[i] == u' ' || tag[i] == u'\t')) ++i;
  bool negative = false;
  if (i < tag.size() && (tag[i] == u'-' || tag[i] == u'+')) negative = tag[i++] == u'-';
  qint64 value = 0;
  for (; i < tag.size() && tag[i].isDigit() && tag[i].unicode() < 128; ++i) {
    value = value * 10 + (tag[i].unicode() - u'0');
    if (value > std::numeric_limits<qint32>::max()) return 0;
  }
  return static_cast<qint32>(negative ? -value : value);
}

QString textBetween(const QString& text, const QString& start, const QString& stop) {
  const qsizetype from = text.indexOf(start);
  if (from < 0) return QString();
  const qsizetype begin = from + start.size();
  const qsizetype end = text.indexOf(stop, begin);
  if (end < 0) return QString();
  return common::trimBlanks(text.mid(begin, end - begin));
}

platform::Rgb measureColour(const MeasureRecord& measure) {
  if (measure.dadurch >= 1) return {0, 128, 0};
  if (measure.dasoll < common::now()) return {128, 0, 0};
  return {0, 0, 128};
}

int loadMeasure(db::Connection* db, qint32 id, MeasureRecord& measure) {
  // Run once per row of the list: the number goes in as a parameter of one prepared
  // statement; a failure names the statement with the number written in.
  const QString sql =
      u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE ID="_qs + QString::number(id) + u';';
  db::bindInteger(db, 0, id);
  return loadOneMeasure(db, u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung,rowid FROM massnahme WHERE ID=?;"_qs,
                        sql, measure);
}

int loadMeasureRow(db::Connection* db, qint64 row, MeasureRecord& measure) {
  const QString sql = u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung,rowid FROM massnahme WHERE rowid="_qs +
                      QString::number(row) + u';';
  db::bindInteger(db, 0, row);
  return loadOneMeasure(
      db, u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung,rowid FROM massnahme WHERE rowid=?;"_qs, sql, measure);
}

int saveMeasure(db::Connection* db, const MeasureRecord& m) {
  // Only what carrying out changed, and only in the measure's own row: another measure
  // with the same ID, and every other column, keep their stored values.
  const QString sql = u"UPDATE massnahme SET dadurch="_qs + QString::number(m.dadurch) + u",werdurch="_qs +
                      db::quoteText(m.werdurch) + u",anmerkung="_qs + db::quoteText(m.anmerkung) + u" WHERE rowid="_qs +
                      QString::number(m.row) + u';';
  db::bindInteger(db, 0, m.dadurch);
  db::bindText(db, 1, db::escapeText(m.werdurch));
  db::bindText(db, 2, db::escapeText(m.anmerkung));
  db::bindInteger(db, 3, m.row);
  if (db::execute(db, u"UPDATE massnahme SET dadurch=?,werdurch=?,anmerkung=? WHERE rowid=?;"_qs)) return 1;
  db::reportFailure(db::MessageForm::QueryFailed, sql);
  return 0;
}

int insertResult(db::Connection* db, ResultRecord& r) {
  r.ID = static_cast<qint32>(db::maxId(db, u"resultat"_qs) + 1);
  const QString sql = u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES ("_qs +
                      QString::number(r.ID) + u',' + db::quoteText(r.AUID) + u',' + QString::number(r.abda) + u',' +
                      db::quoteText(r.anme) + u',' + db::quoteText(r.keim) + u',' + db::quoteText(r.syst) + u',' +
                      QString::number(static_cast<double>(r.temp), 'f', 1) + u',' + db::quoteText(r.resu) + u',' +
                      db::quoteText(r.prot) + u");"_qs;
  if (db::execute(db, sql)) return 1;
  db::reportFailure(db::MessageForm::QueryFailed, sql);
  return 0;
}

void measurementRequest(int document) {
  QMap<QString, QString> fields;
  dialogs::collectFields(dialogs::mainElement(document), u"string"_qs, u"name"_qs, u"text"_qs, fields);
  if (fields.isEmpty()) fatal(u"Im Aufruf ist keine Messung festgelegt."_qs);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[4096]);
  if (!buffer) fatal(u"Speicher für Zeichenpuffer kann nicht angefordert werden."_qs);
  // The dialog opens again with the values entered so far; the document stays as it is.
}

float readTemperature(const QString& value) {
  // A decimal comma, as German users type it, reads as the decimal point; the longest
  // leading part that forms a number counts.
  double number = 0;
  common::readLeadingDecimal(value, number);
  const float temperature = static_cast<float>(number);
  return std::isfinite(temperature) ? temperature : 0.0f;
}

bool isReading(const QString& value) {
  double number = 0;
  return common::readLeadingDecimal(value, number) > 0 && std::isfinite(static_cast<float>(number));
}

ResultRecord resultFromField(const QString& key, const QString& value, const QString& AUID) {
  ResultRecord r;
  r.resu = QString(key).replace(u'_', u'°');
  if (key.contains(u"KW"_qs, Qt::CaseInsensitive)) r.syst = u"K"_qs;
  if (key.contains(u"WW"_qs, Qt::CaseInsensitive)) r.syst = u"W"_qs;
  r.temp = readTemperature(value);
  r.AUID = AUID;
  r.abda = common::now();
  r.keim = u"M"_qs;
  return r;
}

}  // namespace assistant

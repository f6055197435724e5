// The outlet screen: its rows and colours, the remark prompt, the "all" row, and the recording
// through a stored dialog with its results, played through the scripted user.
#include "assistant_fixture.h"

#include "platform/fonts.h"

namespace {

using platform::Rgb;

const QString command = u"Massnahmenassistent"_qs;
const QString area = u"Bad & WC"_qs;

class OutletScreenTest : public AssistantTest {
 protected:
  void SetUp() override {
    AssistantTest::SetUp();
    addOutlet(1, u"DU-1"_qs, area);
    addOutlet(2, u"WT-1"_qs, area);
    addOutlet(3, u"WT-2"_qs, u"Keller"_qs);
  }

  QStringList run(const QString& script, bool expectComplete = true) {
    const common::MainScreen s = screen();
    return play(script, [&] { assistant::runOutletList(local, s, area, command); }, expectComplete);
  }

  QString measure(int id) {
    const QStringList r = rows(u"SELECT dadurch>0, werdurch, anmerkung FROM massnahme WHERE ID="_qs + QString::number(id));
    return r.value(0);
  }
  QString done(const QString& remark) { return u"1|"_qs + platform::loginName() + u'|' + remark; }
};

TEST_F(OutletScreenTest, RowsOfTheAreaAreListedWithTheAllRowInTheColoursOfTheirState) {
  const qint32 now = common::now();
  addMeasure(10, u"DU-1"_qs, u"Spülen"_qs, now - 86400, now - 80000, u"mkeller"_qs);
  addMeasure(11, u"WT-1"_qs, u"Probe"_qs, now - 3600);
  addMeasure(12, u"WT-1"_qs, u"spülen"_qs, now + 86400);
  addMeasure(13, u"WT-2"_qs, u"Spülen"_qs, now - 3600);  // another area
  addMeasure(14, u"XX-9"_qs, u"Spülen"_qs, now - 3600);  // no outlet on the device
  const QStringList seen = run(u"click commandList 0\n"_qs);
  EXPECT_FALSE(ended);
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt HAUS SÜD Massnahmenassistent"_qs));
  EXPECT_EQ(seen.filter(u"item objectList"_qs),
            (QStringList{u"item objectList | 0 | Alle Items (von ***)(***) | 0,0,170 | 255,255,255"_qs,
                         u"item objectList | 1 | DU-1 Spülen (10) | 0,128,0 | 255,204,255"_qs,
                         u"item objectList | 2 | WT-1 Probe (11) | 128,0,0 | 255,204,255"_qs,
                         u"item objectList | 3 | WT-1 spülen (12) | 0,0,128 | 255,204,255"_qs}))
      << seen.join(u'\n').toStdString();
  EXPECT_EQ(seen.filter(u"icon objectList"_qs),
            (QStringList{u"icon objectList | 0 | plus"_qs, u"icon objectList | 1 | shower"_qs,
                         u"icon objectList | 2 | tap"_qs, u"icon objectList | 3 | tap"_qs}));
  EXPECT_EQ(seen.filter(u"icon commandList"_qs),
            (QStringList{u"icon commandList | 0 | left"_qs, u"icon commandList | 1 | help"_qs,
                         u"icon commandList | 2 | onoff"_qs}));
  EXPECT_EQ(seen.filter(u"item commandList"_qs),
            (QStringList{u"item commandList | 0 | Zurück | - | -"_qs, u"item commandList | 1 | Hilfe | - | -"_qs,
                         u"item commandList | 2 | Beenden | - | -"_qs}));
  EXPECT_EQ(progress, (QList<int>{25, 50, 75, 0}));
}

TEST_F(OutletScreenTest, AnAreaWithoutListedMeasuresHasNoAllRow) {
  addMeasure(14, u"XX-9"_qs, u"Spülen"_qs, common::now());
  const QStringList seen = run(u"click commandList 0\n"_qs);
  EXPECT_TRUE(seen.filter(u"item objectList"_qs).isEmpty()) << seen.join(u'\n').toStdString();
}

TEST_F(OutletScreenTest, TheRemarkPromptRecordsExactlyWhatWasTypedAndTheAllRowAppliesIt) {
  const qint32 now = common::now();
  addMeasure(11, u"WT-1"_qs, u"Probe"_qs, now - 3600);
  addMeasure(12, u"WT-1"_qs, u"Spülen"_qs, now + 86400);
  addMeasure(14, u"DU-1"_qs, u"Sichtprüfung"_qs, now + 300);
  addMeasure(15, u"DU-1"_qs, u"Sichtprüfung"_qs, now + 86400);
  const QString remark = u"Spülen & 'ok' \\ C:\\temp <1/2> 😀"_qs;
  const QStringList seen = run(u"click objectList \"WT-1 Spülen (12)\"\n"
                               "input \"  Spülen & 'ok' \\\\ C:\\\\temp <1/2> 😀  \"\n"
                               "click objectList 0\n"
                               "click commandList 0\n"_qs);
  EXPECT_TRUE(seen.contains(u"input Anmerkung |  |  "_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(measure(12), done(remark));
  EXPECT_EQ(measure(11), done(remark));  // overdue: the "all" row
  EXPECT_EQ(measure(14), done(remark));  // due within ten minutes
  EXPECT_EQ(measure(15), u"0||"_qs);     // later
  // The list was built anew after each execution: 12 is green now.
  EXPECT_TRUE(seen.contains(u"item objectList | 4 | WT-1 Spülen (12) | 0,128,0 | 255,204,255"_qs));
  const QStringList when = rows(u"SELECT dadurch FROM massnahme WHERE dadurch>0"_qs);
  for (const QString& w : when) EXPECT_GE(w.toInt(), now);
}

TEST_F(OutletScreenTest, ConfirmingThePresetRecordsAnEmptyRemarkAndCancellingClearsTheRememberedOne) {
  const qint32 now = common::now();
  addMeasure(12, u"WT-1"_qs, u"Spülen"_qs, now + 86400);
  addMeasure(15, u"DU-1"_qs, u"Sichtprüfung"_qs, now + 86400);
  addMeasure(16, u"DU-1"_qs, u"Spülen"_qs, now + 90000);
  addMeasure(18, u"WT-1"_qs, u"Probe"_qs, now - 60);
  run(u"click objectList \"DU-1 Sichtprüfung (15)\"\ninput \"\"\n"  // the blank deleted: as cancel
      "click objectList \"WT-1 Spülen (12)\"\ninput \"vorher\"\n"
      "click objectList \"DU-1 Sichtprüfung (15)\"\ninput cancel\n"
      "click objectList 0\n"
      "click objectList \"DU-1 Spülen (16)\"\nanswer OK\n"
      "click commandList 0\n"_qs);
  EXPECT_EQ(measure(12), done(u"vorher"_qs));
  EXPECT_EQ(measure(15), u"0||"_qs);
  EXPECT_EQ(measure(18), done(QString()));  // the remembered remark was cleared by the cancel
  EXPECT_EQ(measure(16), done(QString()));
  const QStringList lines = QString::fromLatin1(readBytes(assistant::measureExportPath(u"Haus Süd"_qs))).split(u"\r\n"_qs);
  EXPECT_EQ(lines.size(), 5) << lines.join(u'|').toStdString();  // header, three lines, the last CR LF
  EXPECT_TRUE(lines.value(1).startsWith(u"WT-1;"_qs));
}

TEST_F(OutletScreenTest, TheAllRowCarriesOutWhatIsDueWithinSixHundredSecondsAndNotOneSecondLater) {
  // The clock may pass a second between the rows' set-up and the click; then the round is
  // played again with fresh rows.
  for (int round = 0; round < 5; ++round) {
    testsupport::run(local, {u"DELETE FROM massnahme"_qs});
    const qint32 now = common::now();
    addMeasure(20, u"WT-1"_qs, u"Spülen"_qs, now + 600);
    addMeasure(21, u"WT-1"_qs, u"Spülen"_qs, now + 601);
    addMeasure(22, u"DU-1"_qs, u"Spülen"_qs, now - 100000, now - 90000, u"mkeller"_qs, u"alt"_qs);
    run(u"click objectList 0\nclick commandList 0\n"_qs);
    if (common::now() != now) continue;
    EXPECT_EQ(measure(20), done(QString()));
    EXPECT_EQ(measure(21), u"0||"_qs);
    EXPECT_EQ(measure(22), u"1|mkeller|alt"_qs);  // done ones stay as they were
    return;
  }
  FAIL() << "the clock never stood still for one round";
}

TEST_F(OutletScreenTest, ARowWhoseMeasureIsGoneIsNotCarriedOutAsAnEmptyOne) {
  const qint32 now = common::now();
  addMeasure(50, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  addMeasure(51, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  // Another program removes measure 51 the moment 50 is recorded, while the list still shows it.
  testsupport::run(local, {u"CREATE TRIGGER weg AFTER UPDATE ON massnahme WHEN NEW.ID=50 "
                           "BEGIN DELETE FROM massnahme WHERE ID=51; END"_qs});
  run(u"click objectList 0\nclick commandList 0\n"_qs);
  EXPECT_EQ(measure(50), done(QString()));
  const QByteArray exported = readBytes(assistant::measureExportPath(u"Haus Süd"_qs));
  EXPECT_EQ(exported.count("\r\n"), 2) << exported.toStdString();  // the header and measure 50
  EXPECT_FALSE(exported.contains("leer"));
}

const QString kind = u"Spülen & Prüfen 'heiß' <2> \\ 1/2"_qs;
const QString fields = u"<text text='KW 60'/><string name='_KW_60' text=''/>\n"
                       "<text text='ww'/><string name='_ww' text=''/>\n"
                       "<text text='beide'/><string name='_KWWW' text=''/>\n"
                       "<text text='leer'/><string name='_leer' text=''/>\n"
                       "<text text='blank'/><string name='_KW_blank' text=''/>\n"
                       "<text text='a2'/><string name='_anmerkung2' text=''/>\n"
                       "<text text='A'/><string name='_ANMERKUNG' text=''/>\n"
                       "<text text='Anmerkung'/><string name='_anmerkung' text=''/>\n"
                       "<text text='frei'/><string name='frei' text='kein Wert'/>"_qs;

TEST_F(OutletScreenTest, AStoredDialogOfAnyKindRecordsItsRemarkAndOneResultPerValueField) {
  const qint32 now = common::now();
  addMeasure(30, u"WT-1"_qs, kind, now + 86400);
  addMeasure(31, u"DU-1"_qs, u"Spülen"_qs, now - 10);  // no dialog for this kind
  addDialog(1, kind, recordingDialog(fields));
  const QString row = u"WT-1 "_qs + kind + u" (30)"_qs;
  QString script = u"click objectList \""_qs + QString(row).replace(u"\\"_qs, u"\\\\"_qs) + u"\"\n"_qs;
  script += u"set _KW_60 \"12,5\"\nset _ww \" 7.25\"\nset _KWWW \"60\"\nset _anmerkung2 \"zwei\"\nset _KW_blank \"  \"\n"
            "set _ANMERKUNG \"gross\"\nset _anmerkung \"Bad & 'Keller' \\\\ <ok>\"\n"
            "press do2\npress do3\npress doOK\n"_qs;
  // Opened again and cancelled: nothing more, and the remembered remark stays for the "all" row.
  script += u"click objectList \""_qs + QString(row).replace(u"\\"_qs, u"\\\\"_qs) + u"\"\nset _KW_60 \"99\"\nkey Escape\n"_qs;
  script += u"click objectList 0\nclick commandList 0\n"_qs;
  const QStringList seen = run(script);

  // Reopened after do2 and do3 with the values entered so far. The fields left empty or
  // blank are no readings: they give no result (a 0 would read as 0 degrees).
  EXPECT_EQ(seen.filter(u"field _KW_60 | 12,5"_qs).size(), 2) << seen.join(u'\n').toStdString();
  EXPECT_EQ(measure(30), done(u"Bad & 'Keller' \\ <ok>"_qs));
  EXPECT_EQ(measure(31), done(u"Bad & 'Keller' \\ <ok>"_qs));
  EXPECT_EQ(rows(u"SELECT AUID,keim,syst,temp,resu,anme,prot FROM resultat ORDER BY resu"_qs),
            (QStringList{u"WT-1|M|W|60.0|°KWWW||"_qs, u"WT-1|M|K|12.5|°KW°60||"_qs, u"WT-1|M|W|7.3|°ww||"_qs}));
  EXPECT_EQ(rows(u"SELECT COUNT(DISTINCT ID), MIN(ID), MAX(ID), MIN(abda)>="_qs + QString::number(now) +
                 u" FROM resultat"_qs),
            (QStringList{u"3|1|3|1"_qs}));
  const QByteArray journal = readBytes(assistant::resultExportPath(u"Haus Süd"_qs));
  EXPECT_EQ(journal.count("\r\n"), 4) << journal.toStdString();  // the header and three results
  EXPECT_FALSE(journal.contains("leer") || journal.contains("blank"));
  EXPECT_EQ(seen.filter(u"box"_qs), QStringList());
}

TEST_F(OutletScreenTest, AReadingThatIsNoNumberIsRefusedAndTheDialogOpensAgainWithEverythingTyped) {
  addDialog(1, u"Spülen"_qs,
            recordingDialog(u"<string name='_KW_Temp' text=''/><string name='_WW_Temp' text=''/>"
                            "<string name='_anmerkung' text=''/>"_qs));
  const struct {
    QString typed;       // first into _KW_Temp, with "55,5" into _WW_Temp and a remark
    QString correction;  // after the box: the new text, "cancel" for Escape; empty when none came
    QString temp;        // _KW_Temp's recorded temperature; empty when nothing is recorded
  } cases[] = {
      {u"warm"_qs, u"36,6"_qs, u"36.6"_qs},
      {u"ca. 40"_qs, u"cancel"_qs, QString()},
      {u"40 °C"_qs, QString(), u"40.0"_qs},
      {u" 36,6 °C"_qs, QString(), u"36.6"_qs},
  };
  const QString results = assistant::resultExportPath(u"Haus Süd"_qs);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    testsupport::run(local, {u"DELETE FROM massnahme"_qs, u"DELETE FROM resultat"_qs});
    QFile::remove(results);
    addMeasure(30, u"WT-1"_qs, u"Spülen"_qs, common::now() + 86400);
    QString script = u"click objectList \"WT-1 Spülen (30)\"\nset _KW_Temp \""_qs + c.typed +
                     u"\"\nset _WW_Temp \"55,5\"\nset _anmerkung \"Küche & <Keller>\"\npress doOK\n"_qs;
    const bool refused = !c.correction.isEmpty();
    if (refused) script += u"answer OK\n"_qs;
    if (c.correction == u"cancel"_qs) script += u"key Escape\n"_qs;
    else if (refused) script += u"set _KW_Temp \""_qs + c.correction + u"\"\npress doOK\n"_qs;
    const QStringList seen = run(script + u"click commandList 0\n"_qs);

    const QStringList box{u"box Hinweis | info | Im Feld „KW_Temp“ steht „"_qs + c.typed.trimmed() +
                          u"“; dort gehört eine Zahl hin, etwa 36,6."_qs};
    EXPECT_EQ(seen.filter(u"box "_qs), refused ? box : QStringList()) << seen.join(u'\n').toStdString();
    // After the box the dialog is open again with every value as typed.
    if (refused) {
      const QStringList typed{u"field _KW_Temp | "_qs + c.typed, u"field _WW_Temp | 55,5"_qs,
                              u"field _anmerkung | Küche & <Keller>"_qs};
      EXPECT_EQ(seen.mid(seen.indexOf(box.value(0)) + 1).filter(u"field "_qs), typed) << seen.join(u'\n').toStdString();
    }
    if (c.temp.isEmpty()) {
      EXPECT_EQ(measure(30), u"0||"_qs);
      EXPECT_EQ(rows(u"SELECT COUNT(*) FROM resultat"_qs), QStringList{u"0"_qs});
      EXPECT_FALSE(QFileInfo::exists(results));
      continue;
    }
    EXPECT_EQ(measure(30), done(u"Küche & <Keller>"_qs));
    EXPECT_EQ(rows(u"SELECT resu,temp FROM resultat ORDER BY resu"_qs),
              (QStringList{u"°KW°Temp|"_qs + c.temp, u"°WW°Temp|55.5"_qs}));
    EXPECT_EQ(readBytes(results).count("\r\n"), 3);  // the header and the two results
  }
}

TEST_F(OutletScreenTest, OfTwoMeasuresWithOneIdOnlyTheChosenOneIsRecordedAndJournalled) {
  // The local table has no key, and servers deliver such rows: 7 of DU-1, then 7 of WT-1.
  const qint32 now = common::now();
  addMeasure(7, u"DU-1"_qs, u"Spülen"_qs, now + 86400, 0, QString(), u"vom Server"_qs);
  addMeasure(7, u"WT-1"_qs, u"Spülen"_qs, now + 86400, 0, QString(), u"Bad & 'WC'"_qs);
  addMeasure(8, u"WT-1"_qs, u"Probe"_qs, now - 60);
  addMeasure(8, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  run(u"click objectList \"WT-1 Spülen (7)\"\ninput \"gespült\"\nclick commandList 0\n"_qs);
  const QString order = u"SELECT ID,AUID,wastun,dadurch>0,werdurch,anmerkung FROM massnahme ORDER BY rowid"_qs;
  EXPECT_EQ(rows(order), (QStringList{u"7|DU-1|Spülen|0||vom Server"_qs,
                                      u"7|WT-1|Spülen|1|"_qs + platform::loginName() + u"|gespült"_qs,
                                      u"8|WT-1|Probe|0||"_qs, u"8|WT-1|Spülen|0||"_qs}));
  QByteArray journal = readBytes(assistant::measureExportPath(u"Haus Süd"_qs));
  EXPECT_TRUE(journal.contains("\r\nWT-1;")) << journal.toStdString();
  EXPECT_FALSE(journal.contains("DU-1"));

  // The "all" row records each of two due measures with one ID in its own row (with the
  // empty remark of a screen just opened).
  run(u"click objectList 0\nclick commandList 0\n"_qs);
  EXPECT_EQ(rows(order).mid(2), (QStringList{u"8|WT-1|Probe|1|"_qs + platform::loginName() + u'|',
                                             u"8|WT-1|Spülen|1|"_qs + platform::loginName() + u'|'}));
  EXPECT_EQ(rows(order).value(0), u"7|DU-1|Spülen|0||vom Server"_qs);
  journal = readBytes(assistant::measureExportPath(u"Haus Süd"_qs));
  EXPECT_TRUE(journal.contains("\r\nWT-1;") && journal.contains(";Probe;") && journal.contains(";Sp\xFClen;"));
}

TEST_F(OutletScreenTest, TheAllRowStoresEveryMeasureInOneGoOrNoneWhenAWriteFailsOnTheWay) {
  const qint32 now = common::now();
  addMeasure(41, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  addMeasure(42, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  addMeasure(43, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  // The second write fails, as a full disk would make it.
  testsupport::run(local, {u"CREATE TRIGGER voll BEFORE UPDATE ON massnahme WHEN NEW.ID=42 "
                           "BEGIN SELECT RAISE(ABORT, 'Platte voll'); END"_qs});
  const QStringList seen = run(u"click objectList 0\nanswer OK\nclick commandList 0\n"_qs);
  const QStringList boxes = seen.filter(u"box "_qs);
  ASSERT_EQ(boxes.size(), 1) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(boxes[0].startsWith(u"box Datenbankfehler | error | Die Abfrage UPDATE massnahme SET dadurch="_qs));
  EXPECT_TRUE(boxes[0].endsWith(u"konnte nicht ausgeführt werden: Platte voll"_qs)) << boxes[0].toStdString();
  EXPECT_EQ(rows(u"SELECT COUNT(*) FROM massnahme WHERE dadurch>0 OR werdurch<>''"_qs), QStringList{u"0"_qs});
  EXPECT_FALSE(QFileInfo::exists(assistant::measureExportPath(u"Haus Süd"_qs)));  // nothing was recorded

  testsupport::run(local, {u"DROP TRIGGER voll"_qs});
  run(u"click objectList 0\nclick commandList 0\n"_qs);
  EXPECT_EQ(rows(u"SELECT COUNT(*) FROM massnahme WHERE dadurch>0"_qs), QStringList{u"3"_qs});
}

TEST_F(OutletScreenTest, AJournalLineThatCannotBeWrittenIsNamedInTheStatusBarAndTheRecordingStays) {
  const qint32 now = common::now();
  addMeasure(11, u"WT-1"_qs, u"Probe"_qs, now - 60);
  addMeasure(12, u"WT-1"_qs, u"Spülen"_qs, now - 60);
  addMeasure(13, u"DU-1"_qs, u"Spülen"_qs, now - 60);
  // The temporary folder is gone.
  qputenv("TMPDIR", QFile::encodeName(folder + u"weg/fehlt"_qs));
  const QString file = assistant::measureExportPath(u"Haus Süd"_qs);
  QStringList seen = run(u"click objectList \"WT-1 Probe (11)\"\ninput \"ok\"\nclick commandList 0\n"_qs);
  EXPECT_EQ(measure(11), done(u"ok"_qs));
  EXPECT_TRUE(seen.contains(u"status Protokollzeile konnte nicht geschrieben werden: "_qs + file))
      << seen.join(u'\n').toStdString() << statusTexts.join(u'|').toStdString();
  seen = run(u"click objectList 0\nclick commandList 0\n"_qs);  // the remark starts empty again
  EXPECT_EQ(measure(12), done(QString()));
  EXPECT_EQ(measure(13), done(QString()));
  EXPECT_TRUE(seen.contains(u"status 2 Protokollzeilen konnten nicht geschrieben werden: "_qs + file))
      << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"box "_qs).isEmpty());
}

TEST_F(OutletScreenTest, TheCapitalisedRemarkFieldServesWhenTheOtherIsEmpty) {
  addMeasure(30, u"WT-1"_qs, u"Probe"_qs, common::now() + 86400);
  addDialog(1, u"Probe"_qs, recordingDialog(u"<string name='_anmerkung' text=''/><string name='_Anmerkung' text=''/>"_qs));
  run(u"click objectList \"WT-1 Probe (30)\"\nset _Anmerkung \"Probe 17\"\npress doOK\nclick commandList 0\n"_qs);
  EXPECT_EQ(measure(30), done(u"Probe 17"_qs));
  EXPECT_EQ(rows(u"SELECT COUNT(*) FROM resultat"_qs), QStringList{u"0"_qs});
}

TEST_F(OutletScreenTest, ADialogThatCannotBeBuiltEndsTheExecutionAsOnCancel) {
  addMeasure(30, u"WT-1"_qs, u"Probe"_qs, common::now() + 86400);
  addDialog(1, u"Probe"_qs, u"<window name='anders'><string name='_x'/></window>"_qs);
  const QStringList seen = run(u"click objectList \"WT-1 Probe (30)\"\nanswer OK\nclick commandList 0\n"_qs);
  EXPECT_FALSE(ended);
  const QStringList boxes = seen.filter(u"box "_qs);
  ASSERT_EQ(boxes.size(), 1) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(boxes[0].startsWith(u"box Fehler | error | Interner Fehler bei der Erstellung des XML-Dialogs (OpenXMLDialog) "_qs));
  EXPECT_EQ(measure(30), u"0||"_qs);
  EXPECT_EQ(dialogs::freeMarkupNumber(), 1);  // the document was released
}

TEST_F(OutletScreenTest, AnUnparsableDialogOrAMeasurementWithoutFieldsEndsTheProgramAfterItsMessage) {
  addMeasure(30, u"WT-1"_qs, u"Probe"_qs, common::now() + 86400);
  addMeasure(31, u"WT-1"_qs, u"Spülen"_qs, common::now() + 86400);
  addDialog(1, u"Probe"_qs, u"<window name='dialog'><string name='_x'></window>"_qs);
  addDialog(2, u"Spülen"_qs, recordingDialog(u"<string name='ohne' text=''/>"_qs));
  QStringList seen = run(u"click objectList \"WT-1 Probe (30)\"\nanswer OK\n"_qs);
  EXPECT_TRUE(ended);
  ASSERT_EQ(seen.filter(u"box "_qs).size(), 1);
  EXPECT_TRUE(seen.filter(u"box "_qs)[0].startsWith(u"box Fehler | error | XML-Dialog nicht richtig definiert "_qs));
  seen = run(u"click objectList \"WT-1 Spülen (31)\"\npress do2\nanswer OK\n"_qs);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(seen.contains(u"box Fehler | error | Im Aufruf ist keine Messung festgelegt."_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(measure(31), u"0||"_qs);
}

TEST_F(OutletScreenTest, AFailedDialogQueryIsReportedInItsQuotedFormAndThePromptServes) {
  addMeasure(30, u"WT-1"_qs, u"Probe & Co"_qs, common::now() + 86400);
  testsupport::run(local, {u"DROP TABLE xele"_qs});
  const QStringList seen = run(u"click objectList 1\nanswer OK\ninput \"ohne Dialog\"\nclick commandList 0\n"_qs);
  ASSERT_EQ(seen.filter(u"box "_qs).size(), 1) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"box "_qs)[0].startsWith(
      u"box Datenbankfehler | error | Die Abfrage SELECT ID,gruppe,element,XML FROM xele WHERE gruppe='XML_merfassung' "
      "AND element='Probe &amp; Co'; konnte nicht ausgeführt werden: no such table"_qs));
  EXPECT_EQ(measure(30), done(u"ohne Dialog"_qs));
}

TEST(DialogFont, ArialAtSixteenLoadsThroughItsMetricCompatibleStandIn) {
  const int font = platform::loadFont(u"Arial"_qs, 16);
  EXPECT_NE(font, 0);
  platform::freeFont(font);
  EXPECT_EQ(platform::loadFont(u"VarnothM gibt es nicht"_qs, 16), 0);
}

TEST(RowTexts, TagIdAndTextBetweenReadTheRowText) {
  EXPECT_EQ(assistant::measureRowText({345, u"A17"_qs, u"Spülen"_qs, 0, 0, {}, {}}), u"A17 Spülen (345)"_qs);
  EXPECT_EQ(assistant::rowTag(u"A17 Spülen (heiß) (345)"_qs), u"345"_qs);
  EXPECT_EQ(assistant::rowId(u"A17 Spülen (heiß) (345)"_qs), 345);
  EXPECT_EQ(assistant::rowTag(assistant::allRowText), u"***"_qs);
  EXPECT_EQ(assistant::rowId(assistant::allRowText), 0);
  EXPECT_EQ(assistant::rowId(u"ohne Klammern"_qs), 0);
  EXPECT_EQ(assistant::rowId(u"x (12ab)"_qs), 12);
  EXPECT_EQ(assistant::textBetween(u"A17 Spülen  (345)"_qs, u" "_qs, u"("_qs), u"Spülen"_qs);
  EXPECT_EQ(assistant::textBetween(u"A17"_qs, u" "_qs, u"("_qs), QString());
}

TEST(DialogResults, FieldNamesAndValuesBecomeResultTextsSystemsAndTemperatures) {
  const struct {
    QString key, value, resu, syst;
    float temp;
  } table[] = {
      {u"_KW_60"_qs, u"12,5"_qs, u"°KW°60"_qs, u"K"_qs, 12.5f},  {u"_ww"_qs, u"12.5"_qs, u"°ww"_qs, u"W"_qs, 12.5f},
      {u"_kw_ww"_qs, u" 7"_qs, u"°kw°ww"_qs, u"W"_qs, 7.0f},      {u"_Probe"_qs, u""_qs, u"°Probe"_qs, u""_qs, 0.0f},
      {u"_t"_qs, u"warm"_qs, u"°t"_qs, u""_qs, 0.0f},            {u"_t"_qs, u"-3,5 °C"_qs, u"°t"_qs, u""_qs, -3.5f},
      {u"_t"_qs, u"1e2"_qs, u"°t"_qs, u""_qs, 100.0f},           {u"_t"_qs, u"58.5.1"_qs, u"°t"_qs, u""_qs, 58.5f},
  };
  for (const auto& c : table) {
    const assistant::ResultRecord r = assistant::resultFromField(c.key, c.value, u"A7"_qs);
    EXPECT_EQ(r.resu, c.resu);
    EXPECT_EQ(r.syst, c.syst) << c.key.toStdString();
    EXPECT_FLOAT_EQ(r.temp, c.temp) << c.value.toStdString();
    EXPECT_EQ(r.keim, u"M"_qs);
    EXPECT_EQ(r.AUID, u"A7"_qs);
  }
}

}  // namespace

// The area choice: which areas are listed, their colours, the query routines, and the screen
// in the main window played through the scripted user.
#include "assistant_fixture.h"

namespace {

using assistant::areaColour;
using platform::Rgb;

const qint32 morning = common::makeDate(2026, 12, 9, 8);

TEST_F(AssistantTest, AreaColourFollowsTheShareOfOpenAndCarriedOutMeasures) {
  const struct {
    int open, done;
    Rgb colour;
  } table[] = {{4, 0, {128, 0, 0}}, {3, 1, {96, 32, 0}}, {1, 2, {42, 85, 0}}, {0, 5, {0, 128, 0}}, {0, 0, {153, 153, 153}}};
  int id = 1;
  for (const auto& c : table) {
    const QString area = QStringLiteral("Bereich %1/%2").arg(c.open).arg(c.done);
    // Two outlets per area, the measures spread over both.
    const QString a = QStringLiteral("A%1").arg(id), b = QStringLiteral("B%1").arg(id);
    addOutlet(id, a, area);
    addOutlet(id + 1000, b, area);
    for (int i = 0; i < c.open; ++i) addMeasure(id * 100 + i, i % 2 ? a : b, u"Spülen"_qs, morning);
    for (int i = 0; i < c.done; ++i) addMeasure(id * 100 + 50 + i, i % 2 ? b : a, u"Spülen"_qs, morning, morning + 60);
    ++id;
    EXPECT_EQ(areaColour(local, area), c.colour) << area.toStdString();
  }
  // A measure due before 1970 counts for nothing; one due later than any day stays counted.
  addOutlet(99, u"N1"_qs, u"Dach"_qs);
  addMeasure(9901, u"N1"_qs, u"Spülen"_qs, -5);
  EXPECT_EQ(areaColour(local, u"Dach"_qs), (Rgb{153, 153, 153}));
  addMeasure(9902, u"N1"_qs, u"Spülen"_qs, 2147483647);
  EXPECT_EQ(areaColour(local, u"Dach"_qs), (Rgb{128, 0, 0}));
}

TEST_F(AssistantTest, AreasAreListedOnceSortedWithoutRegardToCaseOnlyWhereMeasuresAre) {
  addOutlet(1, u"K1"_qs, u"Keller"_qs);
  addOutlet(2, u"K2"_qs, u"KELLER"_qs);
  addOutlet(3, u"O1"_qs, u"Obergeschoss"_qs);
  addOutlet(4, u"L1"_qs, QString());           // no area
  addOutlet(5, u"E1"_qs, u"Erdgeschoss"_qs);   // no measures
  addOutlet(6, u"Ä1"_qs, u"ärztezimmer"_qs);
  addMeasure(10, u"K1"_qs, u"Spülen"_qs, morning);
  addMeasure(11, u"K2"_qs, u"Spülen"_qs, morning, morning + 5);
  addMeasure(12, u"O1"_qs, u"Spülen"_qs, morning);
  addMeasure(13, u"L1"_qs, u"Spülen"_qs, morning);
  addMeasure(14, u"X9"_qs, u"Spülen"_qs, morning);  // its outlet is not on the device
  addMeasure(15, u"Ä1"_qs, u"Spülen"_qs, 0);
  QStringList areas;
  EXPECT_EQ(assistant::collectAreas(local, areas), 3);
  EXPECT_EQ(areas, (QStringList{u"Keller"_qs, u"Obergeschoss"_qs, u"ärztezimmer"_qs}));
  // The listed area stands for both spellings: its colour counts K1's open and K2's carried-out
  // measure, and its list holds both, as does the list of a region stored with outer blanks.
  addRawOutlet(7, u"K3"_qs, u" kELLER "_qs);
  addMeasure(16, u"K3"_qs, u"Probe"_qs, morning);
  EXPECT_EQ(assistant::collectAreas(local, areas), 3);
  for (const QString& area : {u"Keller"_qs, u"KELLER"_qs}) {
    EXPECT_EQ(areaColour(local, area), (Rgb{85, 42, 0})) << area.toStdString();
    QStringList rows;
    EXPECT_EQ(assistant::collectMeasureRows(local, area, rows), 3);
    EXPECT_EQ(rows, (QStringList{u"K1 Spülen (10)"_qs, u"K2 Spülen (11)"_qs, u"K3 Probe (16)"_qs}));
  }
}

TEST_F(AssistantTest, AreaAndOutletTextsOfEveryKindMatchTheirStoredFormAndInjectNothing) {
  const QStringList areas{u"Bad 'Nord'"_qs, u"Küche & <Spül> \\ 1/2"_qs, u"Zimmer 😀 ß"_qs,
                          u"x' OR region LIKE '%"_qs};
  int id = 1;
  for (const QString& area : areas) {
    const QString auid = u"A&'"_qs + QString::number(id) + u"\\/"_qs;
    addOutlet(id, auid, area);
    addMeasure(id * 10, auid, u"Spülen"_qs, morning);
    addMeasure(id * 10 + 1, auid, u"Spülen"_qs, morning, morning + 1);
    addMeasure(id * 10 + 2, auid, u"Spülen"_qs, morning, morning + 1);
    addMeasure(id * 10 + 3, auid, u"Spülen"_qs, morning, morning + 1);
    ++id;
  }
  testsupport::BoxRecorder boxes;
  for (const QString& area : areas) EXPECT_EQ(areaColour(local, area), (Rgb{32, 96, 0})) << area.toStdString();
  EXPECT_TRUE(boxes.boxes.empty());
  QStringList listed;
  assistant::collectAreas(local, listed);
  EXPECT_EQ(listed.size(), areas.size());

  // A stored region with outer blanks is listed trimmed and coloured by its own measures.
  addRawOutlet(50, u"R1"_qs, u" Randlage "_qs);
  addMeasure(500, u"R1"_qs, u"Spülen"_qs, morning);
  assistant::collectAreas(local, listed);
  EXPECT_TRUE(listed.contains(u"Randlage"_qs));
  EXPECT_EQ(areaColour(local, u"Randlage"_qs), (Rgb{128, 0, 0}));
}

TEST_F(AssistantTest, QueryRoutinesRenderEachTypeClassAndReportTheirFailures) {
  testsupport::run(local, {u"CREATE TABLE probe (n longint, t varchar(20), r double, f float, b blob)"_qs,
                           u"INSERT INTO probe VALUES (7, ' Bad &amp; WC ', 12.5, 3.0, x'00'), "
                           "(-2, 'C:\\\\temp', 0.1, -0.25, NULL)"_qs});
  QStringList texts{u"davor"_qs};
  EXPECT_EQ(assistant::selectRowsAsText(local, u"probe"_qs, u"n,t,r,f,b"_qs, QString(), u"ORDER BY n DESC"_qs, texts), 3);
  EXPECT_EQ(texts, (QStringList{u"davor"_qs, u"7; Bad & WC; 12.5; 3; "_qs, u"-2; C:\\temp; 0.1; -0.25; "_qs}));

  testsupport::BoxRecorder boxes;
  EXPECT_EQ(assistant::countWhere(local, u"probe"_qs, u"n>0"_qs), 1);
  EXPECT_EQ(assistant::countWhere(local, u"fehlt"_qs, u"n>0"_qs), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Fehler"_qs);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(u"Abfrage SELECT COUNT(*) FROM fehlt WHERE n>0; hat folgende Fehlermeldung ergeben:no such table"_qs))
      << boxes.boxes[0].text.toStdString();
  EXPECT_EQ(assistant::selectRowsAsText(local, u"fehlt"_qs, u"AUID"_qs, u"DISTINCT"_qs, QString(), texts), -1);
  EXPECT_EQ(boxes.boxes.back().title, u"Datenbankfehler"_qs);
  EXPECT_TRUE(boxes.boxes.back().text.startsWith(u"Die Abfrage SELECT DISTINCT AUID FROM fehlt ; konnte nicht ausgeführt werden: "_qs));

  // Without a measure table: the counts fail in form B, naming the described statement, and
  // the area is grey; the area list stays empty after form A.
  addOutlet(1, u"A7"_qs, u"Keller"_qs);
  testsupport::run(local, {u"DROP TABLE massnahme"_qs});
  EXPECT_EQ(areaColour(local, u"Keller"_qs), (Rgb{153, 153, 153}));
  ASSERT_GE(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[boxes.boxes.size() - 2].title, u"Fehler"_qs);
  EXPECT_TRUE(boxes.boxes[boxes.boxes.size() - 2].text.startsWith(
      u"Abfrage SELECT COUNT(*) FROM massnahme WHERE dasoll>=0 AND dasoll<=2147483647 AND dadurch<=0 AND AUID='A7'; "
      "hat folgende Fehlermeldung ergeben:no such table"_qs))
      << boxes.boxes[boxes.boxes.size() - 2].text.toStdString();
  QStringList areas;
  EXPECT_EQ(assistant::collectAreas(local, areas), 0);
  EXPECT_TRUE(boxes.boxes.back().text.startsWith(
      u"Die Abfrage SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE dasoll>=0 And "
      "dasoll<=2147483647; konnte nicht ausgeführt werden: "_qs));
}

TEST_F(AssistantTest, AMeasureListThatBreaksOffInTheMiddleIsReportedAndListsNoArea) {
  addOutlet(1, u"K1"_qs, u"Keller"_qs);
  addOutlet(2, u"K2"_qs, u"Dach"_qs);
  for (int id = 1; id <= 5; ++id) addMeasure(id, id < 3 ? u"K1"_qs : u"K2"_qs, u"Spülen"_qs, morning);
  // The measures as a view whose fourth row fails while the answer is read.
  testsupport::run(local, {u"ALTER TABLE massnahme RENAME TO gespeichert"_qs,
                           u"CREATE VIEW massnahme AS SELECT ID,AUID,wastun,CASE WHEN ID=4 THEN json('kaputt') "
                           "ELSE dasoll END AS dasoll,dadurch,werdurch,anmerkung FROM gespeichert"_qs});
  testsupport::BoxRecorder boxes;
  QList<assistant::MeasureRecord> measures;
  EXPECT_EQ(assistant::loadMeasuresDue(local, 0, 2147483647, measures), -1);
  EXPECT_TRUE(measures.isEmpty());
  QStringList areas;
  EXPECT_EQ(assistant::collectAreas(local, areas), 0);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].title, u"Datenbankfehler"_qs);
  EXPECT_TRUE(boxes.boxes[0].text.endsWith(u"konnte nicht ausgeführt werden: malformed JSON"_qs))
      << boxes.boxes[0].text.toStdString();
}

TEST_F(AssistantTest, OutletsAreLoadedByTheirIdentifierTrimmedAndDecoded) {
  testsupport::run(local, {u"INSERT INTO auslass VALUES (3, 'WT &amp; 1', ' C ', 'Waschtisch', "_qs +
                           db::quoteText(u"Bad '2'"_qs) + u", ' EG ', 'H1')"_qs});
  assistant::OutletRecord outlet;
  EXPECT_EQ(assistant::loadOutlet(local, u" WT & 1 "_qs, outlet), 1);
  EXPECT_EQ(outlet.ID, 3);
  EXPECT_EQ(outlet.code, u"C"_qs);
  EXPECT_EQ(outlet.raum, u"Bad '2'"_qs);
  EXPECT_EQ(outlet.region, u"EG"_qs);
  EXPECT_EQ(assistant::loadOutlet(local, u"fehlt"_qs, outlet), 1);
  EXPECT_EQ(outlet.ID, 0);
  EXPECT_TRUE(outlet.AUID.isEmpty() && outlet.region.isEmpty());
}

TEST(ContrastTextColour, TheProgramsRowsGetTheLightTextAndLightBackgroundsADarkOne) {
  for (Rgb background : {Rgb{128, 0, 0}, Rgb{96, 32, 0}, Rgb{42, 85, 0}, Rgb{0, 128, 0}, Rgb{153, 153, 153},
                         Rgb{0, 0, 128}, Rgb{0, 0, 170}, Rgb{153, 153, 153}, Rgb{200, 200, 59}})
    EXPECT_EQ(assistant::contrastTextColour(background), (Rgb{255, 204, 255}));
  EXPECT_EQ(assistant::contrastTextColour({255, 255, 255}), (Rgb{0, 0, 0}));
  EXPECT_EQ(assistant::contrastTextColour({200, 200, 60}), (Rgb{0, 0, 0}));
}

TEST_F(AssistantTest, TheAreaScreenShowsTitleItemsAndColoursAndReturnsTheChosenArea) {
  addOutlet(1, u"DU-1"_qs, u"Keller"_qs);
  addOutlet(2, u"WT-1"_qs, u"Bad & WC"_qs);
  addMeasure(10, u"DU-1"_qs, u"Spülen"_qs, morning);
  addMeasure(11, u"WT-1"_qs, u"Spülen"_qs, morning, morning + 1);
  QString chosen;
  const common::MainScreen s = screen();
  const QStringList seen = play(u"click commandList \"Hilfe\"\nclick objectList \"Keller\"\n"_qs,
                                [&] { chosen = assistant::chooseArea(local, s, u"Massnahmenassistent"_qs); });
  EXPECT_EQ(chosen, u"Keller"_qs);
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt HAUS SÜD Bereichswahl für Massnahmenassistent"_qs));
  EXPECT_TRUE(seen.contains(u"item commandList | 0 | Zurück | - | -"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"item commandList | 1 | Hilfe | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"item commandList | 2 | Beenden | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"item objectList | 0 | Bad & WC | 0,128,0 | 255,204,255"_qs));
  EXPECT_TRUE(seen.contains(u"item objectList | 1 | Keller | 128,0,0 | 255,204,255"_qs));
  EXPECT_EQ(seen.filter(u"icon objectList"_qs),
            (QStringList{u"icon objectList | 0 | date"_qs, u"icon objectList | 1 | date"_qs}));
  EXPECT_TRUE(seen.contains(u"shell "_qs + folder + u"VarnothM.PDF"_qs));
  EXPECT_EQ(statusTexts, (QStringList{u"Itemliste wird aufgebaut"_qs, QString()}));
  EXPECT_EQ(progress, (QList<int>{33, 66, 0}));  // never 100: the divisor is the areas plus one

  // "Zurück" leaves; the close box and "Beenden" end the program.
  play(u"click commandList 0\n"_qs, [&] { chosen = assistant::chooseArea(local, s, u"Massnahmenassistent"_qs); });
  EXPECT_TRUE(chosen.isEmpty());
  EXPECT_FALSE(ended);
  play(u"click commandList \"Beenden\"\n"_qs, [&] { assistant::chooseArea(local, s, u"Massnahmenassistent"_qs); });
  EXPECT_TRUE(ended);
  play(u"close\n"_qs, [&] { assistant::chooseArea(local, s, u"Massnahmenassistent"_qs); });
  EXPECT_TRUE(ended);
}

TEST_F(AssistantTest, TheCommandWithoutObjectOnlySaysSoAndWithoutMeasuresShowsNoArea) {
  const common::MainScreen s = screen();
  QStringList seen = play(u"answer OK\n"_qs, [&] { assistant::assistantCommand(nullptr, s, u"Massnahmenassistent"_qs); });
  EXPECT_EQ(seen, (QStringList{u"box Meldung | none | Noch kein Objekt ausgewählt."_qs, u"buttons OK"_qs}));

  addOutlet(1, u"DU-1"_qs, u"Keller"_qs);
  seen = play(u"click commandList 0\n"_qs, [&] { assistant::assistantCommand(local, s, u"Massnahmenassistent"_qs); });
  EXPECT_FALSE(ended);
  EXPECT_TRUE(seen.filter(u"item objectList"_qs).isEmpty()) << seen.join(u'\n').toStdString();
}

}  // namespace

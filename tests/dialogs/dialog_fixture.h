// What every dialog test starts from (no window, no script, no markup document), the stored
// measure dialog the tests share, and helpers that play a script while a dialog runs.
#pragma once

#include "testservers.h"

#include "common/programend.h"
#include "dialogs/markup.h"
#include "platform/events.h"
#include "platform/scripteduser.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <sstream>

// A stored measure dialog holding every value element of the dialect. The window's and some
// elements' names are spelled in other cases than the system asks for them.
inline const QString measureDialog = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Window id=\"#PB_Any\" name=\"Dialog\" text=\"Spülen und Temperatur\" minwidth=\"auto\" minheight=\"auto\"\n"
    "        flags=\"#PB_Window_ScreenCentered|#PB_Window_SystemMenu|#PB_Window_SizeGadget\">\n"
    "  <vbox expand=\"item:1\" spacing=\"8\">\n"
    "    <gridbox columns=\"2\" colexpand=\"item:2\" rowspacing=\"6\">\n"
    "      <text text=\"Anmerkung\" />        <string name=\"_anmerkung\" data=\"7\" text=\"\" />\n"
    "      <text text=\"Temperatur °C\" />    <String name=\"_KW_60\" text=\"\" maxwidth=\"120\" />\n"
    "      <text text=\"Abnahme\" />          <date name=\"_abnahme\" data=\"-3\" state=\"1779616800\" />\n"
    "      <text text=\"Protokoll\" />        <editor name=\"_protokoll\" height=\"70\" text=\"Probe 1\\nProbe 2\" />\n"
    "      <text text=\"Sichtprüfung\" />     <CheckBox name=\"_geprueft\" text=\"in Ordnung\" state=\"2\" />\n"
    "      <text text=\"System\" />\n"
    "      <combobox name=\"_system\" state=\"0\">\n"
    "        <item text=\"Kaltwasser\" data=\"1\" /><item text=\"Warmwasser\" data=\"2\" /><item text=\"Zirkulation\" data=\"3\" />\n"
    "      </combobox>\n"
    "      <text text=\"Parameter\" />\n"
    "      <listview name=\"_keim\" state=\"-1\" height=\"70\">\n"
    "        <item text=\"Legionellen\" /><item text=\"E. coli\" /><item text=\"Coliforme Bakterien\" state=\"4\" />\n"
    "      </listview>\n"
    "      <text text=\"Proben\" />\n"
    "      <listicon name=\"_proben\" text=\"Probe\" state=\"0\" height=\"70\">\n"
    "        <item text=\"P1\\nKüche\" data=\"11\" /><item text=\"P2\\nBad &amp; WC\" data=\"12\" />\n"
    "      </listicon>\n"
    "      <text text=\"Bereich\" />\n"
    "      <tree name=\"_bereich\" data=\"5\" height=\"90\">\n"
    "        <item text=\"EG\" level=\"0\" state=\"2\" /><item text=\"Küche\" level=\"1\" data=\"21\" />\n"
    "        <item text=\"Bad\" level=\"1\" /><item text=\"OG\" level=\"0\" />\n"
    "      </tree>\n"
    "      <text text=\"Nächster Termin\" />  <calendar name=\"_termin\" state=\"1780000000\" />\n"
    "      <text text=\"Ohne Unterstrich\" /> <string name=\"frei\" text=\"bleibt\" />\n"
    "    </gridbox>\n"
    "    <hbox expand=\"no\" align=\"right\" spacing=\"6\">\n"
    "      <button name=\"doExit\" text=\"Abbrechen\" /><button name=\"do1\" text=\"do1\" />\n"
    "      <button name=\"do100\" text=\"do100\" /><button name=\"do2\" text=\"Messung\" />\n"
    "      <button name=\"do99\" text=\"do99\" /><button name=\"do3\" text=\"Weitere\" />\n"
    "      <button name=\"doOK\" text=\"OK\" />\n"
    "    </hbox>\n"
    "  </vbox>\n"
    "</Window>\n");

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }

  static void reset() {
    platform::stopScript();
    for (int window : platform::liveWindows()) platform::closeWindow(window);
    platform::clearWindowEvents();
    for (int number = 1; number <= 20; ++number) dialogs::freeMarkupDocument(number);
  }

  // Plays the script while the program side runs; the transcript of what was seen. A script
  // that runs out before the program side is done fails the test.
  template <class Program>
  static QStringList playWhile(const QString& script, Program program) {
    platform::clearWindowEvents();
    EXPECT_TRUE(platform::startScript(script));
    try {
      program();
    } catch (const common::ProgramEnd&) {
      ADD_FAILURE() << "the script ran out while the dialog waited";
    }
    QStringList seen = platform::transcript();
    platform::stopScript();
    EXPECT_TRUE(seen.filter(QStringLiteral("skipped")).isEmpty()) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen.filter(QStringLiteral("unanswered")).isEmpty()) << seen.join(u'\n').toStdString();
    return seen;
  }

  // The whole document as text, for "unchanged" comparisons.
  static QString markupOf(int document) {
    std::ostringstream out;
    dialogs::markupDocument(document)->save(out);
    return QString::fromStdString(out.str());
  }

  // The n-th element (from 0) whose name attribute is the name, depth first.
  static pugi::xml_node named(int document, const char* name, int n = 0) {
    int seen = 0;
    pugi::xml_node found;
    dialogs::markupDocument(document)->find_node([&](const pugi::xml_node& node) {
      if (QString::fromUtf8(node.attribute("name").value()) != QString::fromUtf8(name)) return false;
      if (seen++ != n) return false;
      found = node;
      return true;
    });
    return found;
  }

  static QString attributeOf(const pugi::xml_node& node, const char* attribute) {
    return QString::fromUtf8(node.attribute(attribute).value());
  }

  // The attribute of the n-th item child.
  static QString itemAttribute(const pugi::xml_node& node, int n, const char* attribute) {
    int i = 0;
    for (pugi::xml_node item : node.children()) {
      if (QString::fromUtf8(item.name()).toLower() != QLatin1String("item")) continue;
      if (i++ == n) return attributeOf(item, attribute);
    }
    return QStringLiteral("<no item>");
  }
};

// Benchmark of the stored dialog's value transfer: forms of 1,000 to 8,000 fields filled from
// the markup and written back, beside the same values moved by the bare toolkit and parser
// calls on the same widgets and elements (the limit no layer can beat), and an editor opened
// with a megabyte of text beside putting that text into an editor directly. The time per
// field stays the same from 1,000 to 8,000 fields when the transfer grows linearly.
#include "db/quoting.h"
#include "dialogs/markup.h"
#include "dialogs/storeddialogs.h"
#include "platform/dialogengine.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextStream>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

QTextStream out(stdout);

double millisecondsOf(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return double(timer.nsecsElapsed()) / 1e6;
}

QString formOf(int fields) {
  QString markup = QStringLiteral("<window name='dialog' minheight='auto'><vbox><gridbox columns='2'>");
  for (int i = 0; i < fields; ++i) {
    markup += QStringLiteral("<text text='Stelle %1' /><string name='_f%1' data='%1' text='%2' />")
                  .arg(i)
                  .arg(db::escapeText(QStringLiteral("Wert %1 \"Bad & WC\" \\ ß").arg(i)));
  }
  return markup + QStringLiteral("</gridbox></vbox></window>");
}

struct Row {
  int fields;
  double open, fill, writeBack, bareFill, bareWriteBack;
};

Row measure(int fields) {
  Row row{fields, 0, 0, 0, 0, 0};
  const dialogs::MarkupGuard document(dialogs::parseDialogMarkup(formOf(fields)));
  EXPECT_GT(document.number(), 0);
  const pugi::xml_node main = dialogs::mainElement(document.number());
  const platform::DialogGuard dialog;
  QString error;
  row.open = millisecondsOf([&] {
    EXPECT_TRUE(platform::openXmlDialog(dialog.number(), main, QStringLiteral("dialog"), error));
  });
  row.fill = millisecondsOf([&] { dialogs::fillDialog(dialog.number(), main); });
  row.writeBack = millisecondsOf([&] { dialogs::writeBackDialog(dialog.number(), main); });

  // The same fields and elements, paired up before the clock runs.
  std::vector<std::pair<pugi::xml_node, QLineEdit*>> pairs;
  for (pugi::xml_node node : main.child("vbox").child("gridbox").children("string")) {
    pairs.emplace_back(node, qobject_cast<QLineEdit*>(
                                 platform::controlWidget(platform::dialogElementControl(dialog.number(), node))));
  }
  EXPECT_EQ(int(pairs.size()), fields);
  row.bareFill = millisecondsOf([&] {
    for (auto& [node, field] : pairs) {
      field->setProperty("varnothData", node.attribute("data").as_int());
      field->setText(db::unescapeText(QString::fromUtf8(node.attribute("text").value())));
    }
  });
  row.bareWriteBack = millisecondsOf([&] {
    for (auto& [node, field] : pairs) {
      node.attribute("data").set_value(field->property("varnothData").toInt());
      node.attribute("text").set_value(db::escapeText(field->text()).toUtf8().constData());
    }
  });
  return row;
}

TEST(DialogBench, FillAndWriteBackGrowLinearlyWithTheFields) {
  out << "fields | open ms | fill ms | write-back ms | bare fill ms | bare write-back ms | fill µs/field | "
         "write-back µs/field\n";
  std::vector<Row> rows;
  for (int fields : {1000, 2000, 4000, 8000}) {
    const Row r = measure(fields);
    rows.push_back(r);
    out << QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8\n")
               .arg(r.fields)
               .arg(r.open, 0, 'f', 0)
               .arg(r.fill, 0, 'f', 1)
               .arg(r.writeBack, 0, 'f', 1)
               .arg(r.bareFill, 0, 'f', 1)
               .arg(r.bareWriteBack, 0, 'f', 1)
               .arg(1000 * r.fill / r.fields, 0, 'f', 2)
               .arg(1000 * r.writeBack / r.fields, 0, 'f', 2);
    out.flush();
  }
  const Row& small = rows.front();
  const Row& large = rows.back();
  out << QStringLiteral("time per field, 8,000 against 1,000 fields: fill %1×, write-back %2× (1× is linear)\n")
             .arg((large.fill / large.fields) / (small.fill / small.fields), 0, 'f', 2)
             .arg((large.writeBack / large.fields) / (small.writeBack / small.fields), 0, 'f', 2);
  out << QStringLiteral("8,000 fields against the bare calls: fill %1×, write-back %2×\n")
             .arg(large.fill / large.bareFill, 0, 'f', 2)
             .arg(large.writeBack / large.bareWriteBack, 0, 'f', 2);
}

TEST(DialogBench, AMegabyteEditorOpensAsFastAsTheEditorTakesTheText) {
  QString protocol;
  for (int i = 0; protocol.size() < 1000000; ++i)
    protocol += QStringLiteral("Zeile %1: 58,5 °C \"ok\" & <gut> \\ Größe ß\n").arg(i);
  const dialogs::MarkupGuard document(dialogs::parseDialogMarkup(
      QStringLiteral("<window name='dialog'><vbox><editor name='_protokoll' height='80' /></vbox></window>")));
  const pugi::xml_node main = dialogs::mainElement(document.number());
  dialogs::setMarkupAttribute(main.first_child().first_child(), "text", db::escapeText(protocol));
  const platform::DialogGuard dialog;
  QString error;
  const double engine = millisecondsOf([&] {
    EXPECT_TRUE(platform::openXmlDialog(dialog.number(), main, QStringLiteral("dialog"), error));
    dialogs::fillDialog(dialog.number(), main);
    QApplication::processEvents();
  });
  QPlainTextEdit bare;
  bare.resize(600, 400);
  bare.show();
  const double direct = millisecondsOf([&] {
    bare.setPlainText(db::unescapeText(QString::fromUtf8(main.first_child().first_child().attribute("text").value())));
    QApplication::processEvents();
  });
  out << QStringLiteral("editor with %1 characters: opened and filled %2 ms, put into a bare editor %3 ms\n")
             .arg(protocol.size())
             .arg(engine, 0, 'f', 0)
             .arg(direct, 0, 'f', 0);
}

}  // namespace

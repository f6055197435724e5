// Pictures of the table editor on the demo's first building, rendered offscreen, for the
// documentation: VARNOTHM_PICTURES names the folder (docs/ of the repository to renew them).
#include "testservers.h"

#include "common/programend.h"
#include "platform/dialogengine.h"
#include "platform/events.h"
#include "platform/scripteduser.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"
#include "tableeditor/tablesettings.h"

#include <QImage>
#include <QMap>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(DemoPictures, TheBrowserTheRecordDialogThePickerAndTheEditor) {
  const QString demo = testsupport::temporaryFolder() + u"/bilder"_qs;
  QProcess tool;
  tool.start(QStringLiteral(VARNOTH_MAKEDEMO), {demo, QStringLiteral(VARNOTH_PROGRAM), QStringLiteral(VARNOTH_HELP)});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0);
  db::ConnectionGuard local(db::openDatabase(demo + u"/Kita Sonnenschein/Varnoth.DBF"_qs, {}, {}, db::Backend::Sqlite));
  ASSERT_TRUE(local);
  const QString folder = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                                           : qEnvironmentVariable("VARNOTHM_PICTURES");

  // Each window is taken once, the first time the program waits with it in front.
  const QMap<QString, QString> pictures{{u"Bearbeiten der Maßnahmen von Objekt Kita Sonnenschein"_qs, u"tabelle.png"_qs},
                                        {u"Planzeit"_qs, u"datumzeit.png"_qs},
                                        {u"Anmerkung"_qs, u"langtext.png"_qs},
                                        {u"Tabelle massnahme ID="_qs, u"datensatz.png"_qs}};
  QMap<QString, QSize> taken;
  QTimer snapper;
  QObject::connect(&snapper, &QTimer::timeout, [&] {
    const int window = platform::frontWindow();
    QString title = platform::windowTitle(window);
    if (title.startsWith(u"Tabelle massnahme ID="_qs)) title = u"Tabelle massnahme ID="_qs;  // any row
    if (!pictures.contains(title) || taken.contains(title)) return;
    if (platform::saveWindowPicture(window, folder + u'/' + pictures[title]))
      taken[title] = platform::windowWidget(window)->size();
  });
  snapper.start(0);

  platform::WindowFeatures features;
  features.minimiseBox = features.maximiseBox = features.sizingBorder = true;
  const int window =
      platform::openWindow(0, 0, 1060, 420, u"Bearbeiten der Maßnahmen von Objekt Kita Sonnenschein"_qs, features);
  tableeditor::BrowserConfig config = tableeditor::measureBrowserConfig();
  platform::clearWindowEvents();
  platform::startScript(u"header tableList ID\nclick tableList 0 Planzeit\nkey Escape\nclick tableList 0 Anmerkung\n"
                        "key Escape\nkey Return\nkey Escape\nkey Escape\n"_qs);
  try {
    tableeditor::browseTable(window, local.get(), config);
  } catch (const common::ProgramEnd&) {
    ADD_FAILURE() << "the script ran out";
  }
  const QStringList seen = platform::transcript();
  platform::stopScript();
  platform::closeWindow(window);
  snapper.stop();
  EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << seen.join(u'\n').toStdString();
  for (auto it = pictures.begin(); it != pictures.end(); ++it) {
    ASSERT_TRUE(taken.contains(it.key())) << it.key().toStdString() << "\n" << seen.join(u'\n').toStdString();
    EXPECT_EQ(QImage(folder + u'/' + it.value()).size(), taken[it.key()]) << it.value().toStdString();
  }
}

}  // namespace

// Pictures of a stored measure dialog, rendered offscreen from the tests' definition, for the
// documentation: VARNOTHM_PICTURES names the folder (docs/ of the repository to renew them).
#include "dialog_fixture.h"

#include "db/quoting.h"
#include "dialogs/storeddialogs.h"
#include "platform/dialogengine.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

namespace {

TEST_F(DialogTest, AStoredMeasureDialogIsRenderedOffscreen) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  ASSERT_GT(document, 0);
  // Values as a technician leaves them, in the stored form.
  dialogs::setMarkupAttribute(named(document, "_anmerkung"), "text", db::escapeText(QStringLiteral("Spülzeit 5 min, Strahlregler entkalkt")));
  dialogs::setMarkupAttribute(named(document, "_KW_60"), "text", QStringLiteral("58,5"));
  dialogs::setMarkupAttribute(named(document, "_keim"), "state", 0);
  const platform::DialogGuard dialog;
  QString error;
  ASSERT_TRUE(platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document), QStringLiteral("dialog"), error));
  dialogs::fillDialog(dialog.number(), dialogs::mainElement(document));
  QApplication::processEvents();
  const QString folder = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                                           : qEnvironmentVariable("VARNOTHM_PICTURES");
  const QString path = folder + QStringLiteral("/dialog-messung.png");
  ASSERT_TRUE(platform::saveWindowPicture(platform::dialogWindow(dialog.number()), path));
  const QImage picture(path);
  QWidget* window = platform::windowWidget(platform::dialogWindow(dialog.number()));
  EXPECT_EQ(picture.size(), window->size());
  EXPECT_GE(window->height(), window->minimumSizeHint().height());  // "auto": every control shows
  dialogs::freeMarkupDocument(document);
}

}  // namespace

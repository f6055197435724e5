// The text dialog: generated markup, one editor "eview" that fills the window, and a loop that
// only Escape and the close box end. Nothing typed into it survives the call.
#include "dialogs/textdialog.h"

#include "dialogs/markup.h"
#include "platform/boxes.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"
#include "platform/events.h"
#include "platform/windows.h"

namespace dialogs {

namespace {

constexpr int closeKey = 1;

void reportError(const QString& text) {
  platform::messageBox(QStringLiteral("Fehler"), text, platform::BoxIcon::Error);
}

}  // namespace

QString textDialogMarkup(const QString& title) {
  const QString crlf = QStringLiteral("\r\n");
  return QStringLiteral("<window id='#PB_Any' name='dbdialog' text='") + xmlEscaped(title) +
         QStringLiteral("' minwidth='600' minheight='400' flags='#PB_Window_ScreenCentered|#PB_Window_SystemMenu|"
                        "#PB_Window_MinimizeGadget|#PB_Window_MaximizeGadget|#PB_Window_SizeGadget'>") +
         crlf + QStringLiteral("<vbox>") + crlf + QStringLiteral("<editor name='eview' />") + crlf +
         QStringLiteral("</vbox>") + crlf + QStringLiteral("</window>") + crlf;
}

void showTextDialog(const QString& title, const QString& text) {
  const MarkupGuard document(parseDialogMarkup(textDialogMarkup(title)));
  const platform::DialogGuard dialog;
  if (!dialog.number()) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (CreateDialog)"));
    return;
  }
  QString engineError;
  const pugi::xml_document* markup = markupDocument(document.number());
  if (!platform::openXmlDialog(dialog.number(), markup ? pugi::xml_node(*markup) : pugi::xml_node(),
                               QStringLiteral("dbdialog"), engineError)) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (OpenXMLDialog) ") + engineError);
    return;
  }
  const int window = platform::dialogWindow(dialog.number());
  platform::addShortcut(window, closeKey, Qt::Key_Escape);
  platform::setControlText(platform::dialogControl(dialog.number(), QStringLiteral("eview")), text);
  for (;;) {
    const platform::WindowEvent e = platform::waitWindowEvent();
    if (e.window != window) {
      platform::showWindowNormal(window);
      continue;
    }
    if (e.kind == platform::EventKind::Close) return;
    if (e.kind == platform::EventKind::Shortcut && e.control == closeKey) return;
    if (e.kind == platform::EventKind::Size || e.kind == platform::EventKind::Maximise ||
        e.kind == platform::EventKind::Restore)
      platform::refreshDialog(dialog.number());
  }
}

}  // namespace dialogs

// Message and input boxes over Qt's standard dialogs.
// Buttons carry German captions; the responder hook stands in for the person in tests.
#include "platform/boxes.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

BoxResponder& responder() {
  static BoxResponder r;
  return r;
}

QMessageBox::Icon qtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Info: return QMessageBox::Information;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void setBoxResponder(BoxResponder r) { responder() = std::move(r); }

QString boxIconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Info: return QStringLiteral("info");
    case BoxIcon::Warning: return QStringLiteral("warning");
    case BoxIcon::Error: return QStringLiteral("error");
    case BoxIcon::Question: return QStringLiteral("question");
    case BoxIcon::None: break;
  }
  return QStringLiteral("none");
}

BoxAnswer messageBox(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) {
  if (responder()) {
    BoxRequest request{false, title, text, icon, buttons, {}};
    return responder()(request).answer;
  }
  QMessageBox box(qtIcon(icon), title, text, QMessageBox::NoButton, QApplication::activeWindow());
  QPushButton* ok = nullptr;
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* cancel = nullptr;
  if (buttons == BoxButtons::Ok) {
    ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setEscapeButton(ok);
  } else {
    yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    if (buttons == BoxButtons::YesNoCancel) {
      cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
      box.setEscapeButton(cancel);
    } else {
      box.setEscapeButton(no);
    }
    box.setDefaultButton(yes);
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == ok && ok) return BoxAnswer::Ok;
  if (clicked == yes && yes) return BoxAnswer::Yes;
  if (clicked == no && no) return BoxAnswer::No;
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  return cancel ? BoxAnswer::Cancel : BoxAnswer::No;
}

QString inputBox(const QString& title, const QString& prompt, const QString& preset) {
  if (responder()) {
    BoxRequest request{true, title, prompt, BoxIcon::None, BoxButtons::Ok, preset};
    BoxReply reply = responder()(request);
    return reply.answer == BoxAnswer::Ok ? reply.text : QString();
  }
  QInputDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(title);
  dialog.setLabelText(prompt);
  dialog.setTextValue(preset);
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
  if (dialog.exec() != QDialog::Accepted) return QString();
  return dialog.textValue();
}

}  // namespace platform

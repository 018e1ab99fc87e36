#include "QtUiHook.h"

#include <QApplication>
#include <QMessageBox>

namespace quillmere {

std::int32_t windowHandle(const QWidget* window) {
  return static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(window) & 0x7fffffff);
}

namespace {

QWidget* windowByHandle(std::int32_t hwnd) {
  for (QWidget* w : QApplication::allWidgets())
    if (windowHandle(w) == hwnd) return w;
  return nullptr;
}

QMessageBox::Icon iconOf(int style) {
  switch (style & 0x70) {
    case msgbox::kCritical:
      return QMessageBox::Critical;
    case msgbox::kQuestion:
      return QMessageBox::Question;
    case msgbox::kExclamation:
      return QMessageBox::Warning;
    case msgbox::kInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

int QtUiHook::messageBox(const std::string& text, int style, const std::string& title) {
  QMessageBox box(iconOf(style),
                  title.empty() ? QApplication::applicationName() : QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::NoButton, m_owner);
  switch (style & 7) {
    case msgbox::kOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case msgbox::kYesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case msgbox::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return msgbox::kYes;
    case QMessageBox::No:
      return msgbox::kNo;
    case QMessageBox::Cancel:
      return msgbox::kCancel;
    default:
      return msgbox::kOk;
  }
}

std::int32_t QtUiHook::setWindowTopmost(std::int32_t hwnd, bool topmost) {
  QWidget* w = windowByHandle(hwnd);
  if (w == nullptr) return 0;
  const QRect geometry = w->geometry();
  w->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
  w->setGeometry(geometry);
  w->show();
  return 1;
}

}  // namespace quillmere

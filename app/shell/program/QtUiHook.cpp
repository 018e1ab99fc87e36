#include "QtUiHook.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
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
  if ((style & msgbox::kDefaultButton2) != 0 && (style & 7) != msgbox::kOkOnly)
    box.setDefaultButton((style & 7) == msgbox::kOkCancel ? QMessageBox::Cancel : QMessageBox::No);
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

std::vector<UiHook::Window> QtUiHook::topLevelWindows() {
  std::vector<Window> out;
  QWidget* active = QApplication::activeWindow();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || w->windowTitle().isEmpty()) continue;
    Window entry{windowHandle(w), w->windowTitle().toStdString()};
    if (w == active) {
      out.insert(out.begin(), entry);
    } else {
      out.push_back(entry);
    }
  }
  return out;
}

bool QtUiHook::closeWindow(std::int32_t hwnd) {
  QWidget* w = windowByHandle(hwnd);
  if (w == nullptr) return false;
  w->close();
  return true;
}

std::int32_t QtUiHook::resizeWindow(std::int32_t hwnd, std::int32_t width, std::int32_t height) {
  QWidget* w = windowByHandle(hwnd);
  if (w == nullptr) return 0;
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    // A combo box's height is the extent of its dropped-down list: show as many rows as fit.
    const int itemHeight = qMax(1, combo->view()->sizeHintForRow(0));
    combo->setMaxVisibleItems(qMax(1, (height - combo->height() - 2) / itemHeight));
    combo->view()->setMinimumWidth(width);
    return 1;
  }
  w->resize(width, height);
  return 1;
}

UiHook::ComboMetrics QtUiHook::comboMetrics(std::int32_t hwnd) {
  ComboMetrics m;
  auto* combo = qobject_cast<QComboBox*>(windowByHandle(hwnd));
  if (combo == nullptr) return m;
  m.itemHeight = qMax(1, combo->view()->sizeHintForRow(0));
  m.clientWidth = combo->width();
  m.clientHeight = combo->height();
  m.itemCount = combo->count();
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).isEmpty()) {
      m.firstEmptyItem = i;
      break;
    }
  }
  m.droppedDown = combo->view()->isVisible();
  return m;
}

bool QtUiHook::showComboList(std::int32_t hwnd) {
  auto* combo = qobject_cast<QComboBox*>(windowByHandle(hwnd));
  if (combo == nullptr) return false;
  combo->showPopup();
  return true;
}

bool QtUiHook::removeSystemMenuItem(std::int32_t hwnd, std::int32_t position) {
  QWidget* w = windowByHandle(hwnd);
  if (w == nullptr) return false;
  if (position == 4) {
    const bool visible = w->isVisible();
    w->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    if (visible) w->show();  // changing a window flag hides the window
  } else if (position == 2) {
    w->setFixedSize(w->size());
  } else {
    return false;
  }
  return true;
}

void QtUiHook::yield() {
  QApplication::processEvents();
}

}  // namespace quillmere

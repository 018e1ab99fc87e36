#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <string>

#include "core/Main.h"
#include "shell/core/ShellState.h"
#include "shell/panels/mirror/frmMirrorring.h"
#include "support/Fakes.h"
#include "support/TempTree.h"

namespace quillmere::mirror::panel::test {

using quillmere::test::ScriptedUiHook;
using quillmere::test::TempTree;

// A mirroring panel on its own settings file, shown offscreen and loaded as the window manager
// loads it.
class MirrorPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().programDrive = "c:\\";
    shell().ready = true;
    shell().state(Panel::Mirrorring) = kPanelOpen;
  }
  void TearDown() override { shell() = ShellState{}; }

  void open() {
    panel.resize(635, 438);
    panel.show();
    panel.load();
  }

  template <typename W = QWidget>
  W* control(const QString& name) {
    W* w = panel.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  void click(const QString& name) {
    auto* button = control<QAbstractButton>(name);
    ASSERT_TRUE(button->isVisible()) << name.toStdString();
    ASSERT_TRUE(button->isEnabled()) << name.toStdString();
    // Check boxes and option buttons take clicks on their box and caption, at the left.
    const bool pushButton = button->inherits("QPushButton");
    const QPoint at = pushButton ? button->rect().center() : QPoint(8, button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
  }
  bool checked(const QString& name) { return control<QAbstractButton>(name)->isChecked(); }
  bool enabled(const QString& name) { return control<QWidget>(name)->isEnabled(); }

  // The saved-setting combo: typing a title and pressing a key, or clicking a row.
  QComboBox* setting() { return control<QComboBox>("Setting"); }
  void type(const std::string& title, Qt::Key keyPressed) {
    setting()->lineEdit()->setText(QString::fromStdString(title));
    QTest::keyClick(setting()->lineEdit(), keyPressed);
  }
  void pick(int row) {
    setting()->setCurrentIndex(row);
    emit setting()->activated(row);
  }
  QStringList rows() {
    QStringList out;
    for (int i = 0; i < setting()->count(); ++i) out << setting()->itemText(i);
    return out;
  }

  std::string key(const std::string& name) const {
    return dll().DLL_GetStringFromINI(shell().iniPath, "Mirrorring", name, "absent");
  }
  void store(const std::string& name, const std::string& value) const {
    dll().DLL_WriteStringINI(shell().iniPath, "Mirrorring", name, value);
  }
  QString label(const char* name) { return control<QLabel>(name)->text(); }

  TempTree tree;
  ScriptedUiHook hook;
  frmMirrorring panel;
};

}  // namespace quillmere::mirror::panel::test

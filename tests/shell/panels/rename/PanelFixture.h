#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <string>

#include "core/Main.h"
#include "rename/RenameFixture.h"
#include "shell/core/ShellState.h"
#include "shell/panels/rename/frmReName.h"
#include "support/TempTree.h"

namespace quillmere::panel::test {

using quillmere::test::TempTree;

// A rename panel on its own settings file, shown offscreen and loaded as the window manager
// loads it.
class RenamePanel : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().programDrive = "c:\\";
    shell().ready = true;
  }
  void TearDown() override { shell() = ShellState{}; }

  void open() {
    panel.resize(635, 410);
    panel.show();
    panel.load();
  }
  void openDetails() { click("SettingOpen"); }

  template <typename W = QWidget>
  W* control(const char* name) {
    W* w = panel.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click(const char* name) {
    auto* button = control<QAbstractButton>(name);
    ASSERT_TRUE(button->isVisible()) << name;
    ASSERT_TRUE(button->isEnabled()) << name;
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
  }
  void choose(const char* list, int position) {
    control<QComboBox>(list)->setCurrentIndex(position);
  }
  std::string key(const std::string& name) const {
    return dll().DLL_GetStringFromINI(shell().iniPath, "ReName", name, "absent");
  }
  void store(const std::string& name, const std::string& value) const {
    dll().DLL_WriteStringINI(shell().iniPath, "ReName", name, value);
  }
  QString label(const char* name) { return control<QLabel>(name)->text(); }

  TempTree tree;
  frmReName panel;
};

}  // namespace quillmere::panel::test

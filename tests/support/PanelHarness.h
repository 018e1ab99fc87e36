#pragma once

// Helpers for window tests of the tool panels: a panel on its own settings file, shown and
// loaded as the window manager does it; clicks by control name; a watch that samples labels at
// every pass of the event loop during a run; screenshots for runs under Xvfb.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/Main.h"
#include "shell/core/ShellState.h"
#include "support/Fakes.h"
#include "support/TempTree.h"

namespace quillmere::test {

template <typename PanelType>
class PanelHarness : public ::testing::Test {
 protected:
  // windowSize: the size the window manager gives the panel; stateNumber: the panel state
  // number the shell holds for the panel during the test (none: left at 0).
  explicit PanelHarness(std::string section, QSize windowSize = QSize(635, 438),
                        std::optional<std::int32_t> stateNumber = std::nullopt)
      : m_section(std::move(section)), m_windowSize(windowSize), m_stateNumber(stateNumber) {}

  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().programDrive = "c:\\";
    shell().ready = true;
    if (m_stateNumber) shell().state(panel.panel()) = *m_stateNumber;
    panel.setCompletionStep([this](std::string_view word) { completions.emplace_back(word); });
  }
  void TearDown() override { shell() = ShellState{}; }

  void open() {
    panel.resize(m_windowSize);
    panel.show();
    panel.load();
  }
  void openDetails() { click("SettingOpen"); }

  template <typename W = QWidget>
  W* control(const QString& name) {
    W* w = panel.template findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  void click(const QString& name) {
    auto* button = control<QAbstractButton>(name);
    ASSERT_TRUE(button->isVisible()) << name.toStdString();
    ASSERT_TRUE(button->isEnabled()) << name.toStdString();
    // A push button in its middle; a check box or option button near its left edge, where its
    // box and caption are, not in the blank room a layout gives it.
    const QPoint at = button->inherits("QPushButton")
                          ? button->rect().center()
                          : QPoint(std::min(8, button->width() / 2), button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
  }
  void choose(const QString& list, int position) {
    control<QComboBox>(list)->setCurrentIndex(position);
  }
  bool checked(const QString& name) { return control<QAbstractButton>(name)->isChecked(); }
  bool enabled(const QString& name) { return control<QWidget>(name)->isEnabled(); }
  QString label(const QString& name) { return control<QLabel>(name)->text(); }
  std::string key(const std::string& name) const {
    return dll().DLL_GetStringFromINI(shell().iniPath, m_section, name, "absent");
  }
  void store(const std::string& name, const std::string& value) const {
    dll().DLL_WriteStringINI(shell().iniPath, m_section, name, value);
  }
  // The keys of the settings file in the order in which they stand there.
  std::vector<std::string> keysInFile() const {
    std::ifstream in(tree.path("quillmere.ini"));
    std::vector<std::string> keys;
    for (std::string line; std::getline(in, line);) {
      const auto equals = line.find('=');
      if (equals != std::string::npos) keys.push_back(line.substr(0, equals));
    }
    return keys;
  }
  // The wanted keys in the order in which the file holds them.
  std::vector<std::string> orderOf(const std::vector<std::string>& wanted) const {
    std::vector<std::string> out;
    for (const std::string& k : keysInFile())
      for (const std::string& w : wanted)
        if (k == w) out.push_back(k);
    return out;
  }

  TempTree tree;
  // Message boxes are answered by a script (OK or No unless answers are queued).
  ScriptedUiHook hook;
  PanelType panel;
  std::vector<std::string> completions;

 private:
  std::string m_section;
  QSize m_windowSize;
  std::optional<std::int32_t> m_stateNumber;
};

// Samples the texts of some labels at every pass of the event loop (the runs yield often) and
// can act on a sample.
class LabelWatch {
 public:
  LabelWatch(QWidget& panel, std::vector<QString> names) : m_panel(panel), m_names(names) {
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
    m_timer.start();
  }
  void sample() {
    std::vector<std::string> now;
    for (const QString& name : m_names) {
      auto* label = m_panel.findChild<QLabel*>(name);
      now.push_back(label != nullptr && label->isVisible() ? label->text().toStdString() : "");
    }
    if (seen.empty() || seen.back() != now) seen.push_back(now);
    if (onSample) onSample(now);
  }
  // True when label number i (in the order given) ever showed the text.
  bool showed(std::size_t i, const std::string& text) const {
    for (const auto& s : seen)
      if (s[i] == text) return true;
    return false;
  }
  // True when label number i ever showed a text ending in the given one ("3Files" for
  // "3/3Files": a count is overwritten by the first comparison before the loop passes).
  bool showedEnding(std::size_t i, const std::string& end) const {
    for (const auto& s : seen)
      if (s[i].size() >= end.size() && s[i].compare(s[i].size() - end.size(), end.size(), end) == 0)
        return true;
    return false;
  }
  std::vector<std::vector<std::string>> seen;
  std::function<void(const std::vector<std::string>&)> onSample;

 private:
  QWidget& m_panel;
  std::vector<QString> m_names;
  QTimer m_timer;
};

// Pictures of what a person sees go below the build folder (or QUILLMERE_SCREENSHOT_DIR).
inline void screenshot(QWidget& window, const QString& name) {
  const char* chosen = std::getenv("QUILLMERE_SCREENSHOT_DIR");
  const QString folder = chosen != nullptr && *chosen != '\0'
                             ? QString(chosen)
                             : QString(QUILLMERE_BIN_DIR) + "/../screenshots";
  QDir().mkpath(folder);
  window.grab().save(folder + "/" + name + ".png");
}

// Opens a folder the way a person does: a double click on its line in a folder list.
inline void openFolderLine(QListWidget& list, const QString& name) {
  for (int row = 0; row < list.count(); ++row) {
    QListWidgetItem* item = list.item(row);
    if (item->text().trimmed() != name) continue;
    list.scrollToItem(item);
    const QPoint at = list.visualItemRect(item).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    return;
  }
  ADD_FAILURE() << "no folder " << name.toStdString() << " in " << list.objectName().toStdString();
}

}  // namespace quillmere::test

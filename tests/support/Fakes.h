#pragma once

#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/UiHook.h"

namespace quillmere::test {

// A UI hook that answers message boxes from a script and records what was shown.
class ScriptedUiHook final : public UiHook {
 public:
  struct Shown {
    std::string text;
    int style;
    std::string title;
  };

  ScriptedUiHook() { setUiHook(this); }
  ~ScriptedUiHook() override { setUiHook(nullptr); }

  // Queues the answers of the next message boxes; when empty, OK/No is answered.
  void answer(int reply) { m_answers.push_back(reply); }

  int messageBox(const std::string& text, int style, const std::string& title) override {
    shown.push_back({text, style, title});
    if (m_answers.empty()) return (style & 7) == msgbox::kYesNo ? msgbox::kNo : msgbox::kOk;
    const int reply = m_answers.front();
    m_answers.pop_front();
    return reply;
  }

  std::vector<Shown> shown;

 private:
  std::deque<int> m_answers;
};

}  // namespace quillmere::test

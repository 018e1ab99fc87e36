#pragma once

#include <array>
#include <optional>

namespace quillmere {

// The shutdown countdown's row of 121 marks: each tick sets the next mark, so the first tick
// shows 120 seconds, each further tick one less, and the 121st shows 0 and asks for the
// shutdown (as does every later tick).
class CountdownMarks {
 public:
  static constexpr int kMarks = 121;

  struct Tick {
    std::optional<int> secondsShown;  // the text to show, when a mark was set
    bool requestShutdown = false;
  };

  Tick tick();
  void clear() { m_marks.fill(false); }

 private:
  std::array<bool, kMarks + 2> m_marks{};  // 1-based, with room for mark r + 1
};

}  // namespace quillmere

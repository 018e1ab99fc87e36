#include "shell/timer/Countdown.h"

namespace quillmere {

CountdownMarks::Tick CountdownMarks::tick() {
  Tick result;
  for (int r = kMarks - 1; r >= 1; --r) {
    if (m_marks[r] && !m_marks[r + 1]) {
      m_marks[r + 1] = true;
      result.secondsShown = (kMarks - 1) - r;
    }
  }
  if (!m_marks[1]) {
    m_marks[1] = true;
    result.secondsShown = kMarks - 1;
  }
  result.requestShutdown = m_marks[kMarks];
  return result;
}

}  // namespace quillmere

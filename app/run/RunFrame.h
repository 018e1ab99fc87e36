#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileOps.h"
#include "run/RunView.h"

namespace quillmere {

// The frame every run goes through. From its start the run's controls are disabled and long
// operations inside the library let the event loop run; each part of the run is guarded, so an
// unexpected error is shown once (the first of the run, with the shared run-error message) and
// the run still takes its closing steps; at its end the controls come back and, when asked,
// the completion step follows.
class RunFrame {
 public:
  // The error number of a failure that is not the library's own: the runtime's "internal error".
  static constexpr int kInternalError = 51;

  explicit RunFrame(RunView& view);
  ~RunFrame();
  RunFrame(const RunFrame&) = delete;
  RunFrame& operator=(const RunFrame&) = delete;

  // Runs one part of the run. Answers false when an unexpected error ended the part.
  bool guarded(const std::function<void()>& part);

  bool failed() const { return m_errorNumber.has_value(); }
  int errorNumber() const { return m_errorNumber.value_or(0); }
  const std::string& errorText() const { return m_errorText; }

  // The end of the run: the controls come back; with a section word its completion step follows.
  void end(std::string_view completionSection = {});

 private:
  void record(int number, const std::string& text);

  RunView& m_view;
  platform::fileops::ScopedYieldHandler m_yielding;
  std::optional<int> m_errorNumber;
  std::string m_errorText;
  bool m_ended = false;
};

}  // namespace quillmere

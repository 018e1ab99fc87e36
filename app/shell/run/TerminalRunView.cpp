#include "shell/run/TerminalRunView.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/UiHook.h"
#include "platform/DriveMap.h"

namespace quillmere::run {

namespace {
constexpr int kBarWidth = 24;

int terminalColumns() {
  struct winsize ws {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

// The text cut to a number of columns (wide characters count two), so the line never wraps
// and the carriage return always finds its start.
std::string fitted(const std::string& text, int columns) {
  int used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    const int width = c < 0x80 ? 1 : 2;
    if (used + width > columns) break;
    used += width;
    i += len;
  }
  return text.substr(0, std::min(i, text.size()));
}

long long leadingNumber(const std::string& s) {
  return std::strtoll(s.c_str(), nullptr, 10);  // "2000/ " -> 2000
}
}  // namespace

TerminalRunView::TerminalRunView(std::FILE* out, bool terminal, const std::atomic<bool>& cancelFlag)
    : m_out(out), m_terminal(terminal), m_cancel(cancelFlag) {}

TerminalRunView::~TerminalRunView() {
  finishLine();
}

void TerminalRunView::setLabel(std::string_view name, const std::string& text, int index) {
  std::string label(name);
  if (index >= 0) label += "(" + std::to_string(index) + ")";
  m_estimate.takeLabel(name, text, index);
  if (name == "FileNo") {
    m_fileNo = text;
    if (m_terminal) redraw(false);
    return;
  }
  std::string& slot = name == "Command" ? m_command : name == "FileMax" ? m_fileMax : m_command;
  const bool changed = slot != text;
  slot = text;
  if (m_terminal) {
    redraw(false);
  } else if (changed && !text.empty()) {
    std::fprintf(m_out, "%s: %s\n", label.c_str(), text.c_str());
    std::fflush(m_out);
  }
}

void TerminalRunView::redraw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - m_lastDraw < std::chrono::milliseconds(100)) return;
  m_lastDraw = now;
  std::string line;
  const long long max = leadingNumber(m_fileMax);
  const long long no = leadingNumber(m_fileNo);
  if (max > 0) {
    const int filled = static_cast<int>(std::clamp(no, 0LL, max) * kBarWidth / max);
    line = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " +
           m_estimate.text() + "  ";
  }
  line += fitted(m_command, std::max(20, terminalColumns() - static_cast<int>(line.size()) - 1));
  // Return to the line start, write, clear what an older, longer line left behind.
  std::fprintf(m_out, "\r%s\x1b[K", line.c_str());
  std::fflush(m_out);
  m_lineOpen = true;
}

void TerminalRunView::finishLine() {
  if (m_lineOpen) {
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_lineOpen = false;
  }
}

void TerminalRunView::yield() {
  if (m_terminal) redraw(false);
}

bool TerminalRunView::cancelRequested() const {
  return m_cancel.load();
}

int TerminalRunView::messageBox(const std::string& text, int style, const std::string& title) {
  finishLine();
  std::fprintf(m_out, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ",
               withNativePaths(text).c_str());
  std::fflush(m_out);
  const int buttons = style & 7;
  if (buttons == msgbox::kYesNo || buttons == msgbox::kYesNoCancel) return msgbox::kNo;
  return msgbox::kOk;
}

void TerminalRunView::note(const std::string& text) {
  finishLine();
  std::fprintf(m_out, "%s\n", text.c_str());
  std::fflush(m_out);
}

void TerminalRunView::setTimerLoop(int /*value*/) {}

void TerminalRunView::setRunning(bool running) {
  if (running) m_estimate.start();
  if (!running) finishLine();
}

// A script or a scheduled job never ends the machine: the completion options of the panels
// (end the program, shut down) are the panels' business, not the runner's.
void TerminalRunView::runCompleted(std::string_view /*sectionWord*/) {}

namespace {

// Where a path text starts in the line ("C:\\" at the start or after a blank, "(" or ":").
std::size_t pathTextStart(const std::string& line) {
  for (std::size_t i = 0; i + 2 < line.size(); ++i) {
    const char c = line[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool boundary = i == 0 || line[i - 1] == ' ' || line[i - 1] == '(' || line[i - 1] == ':';
    if (letter && boundary && line[i + 1] == ':' && line[i + 2] == '\\') return i;
  }
  return std::string::npos;
}

std::string lineWithNativePath(const std::string& line) {
  const std::size_t start = pathTextStart(line);
  if (start == std::string::npos) return line;
  std::size_t end = line.size();
  if (!line.empty() && line.back() == ')') {
    const std::size_t reason = line.rfind(" (");
    if (reason != std::string::npos && reason > start) end = reason;
  }
  const auto native = platform::nativePathOf(line.substr(start, end - start));
  if (!native) return line;
  return line.substr(0, start) + *native + line.substr(end);
}

}  // namespace

std::string withNativePaths(const std::string& text) {
  std::string out;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t nl = text.find('\n', from);
    const std::size_t end = nl == std::string::npos ? text.size() : nl;
    out += lineWithNativePath(text.substr(from, end - from));
    if (nl == std::string::npos) break;
    out += '\n';
    from = nl + 1;
  }
  return out;
}

}  // namespace quillmere::run

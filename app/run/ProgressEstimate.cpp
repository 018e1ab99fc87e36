#include "run/ProgressEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillmere {

namespace {
// Below this the average is mostly start-up time and the time left would jump about.
constexpr double kMinSeconds = 1.0;
}  // namespace

ProgressEstimate::ProgressEstimate(Clock clock) : m_clock(std::move(clock)) {}

void ProgressEstimate::start(std::int64_t totalFiles, std::int64_t totalBytes) {
  m_start = m_clock();
  m_started = true;
  m_totalFiles = std::max<std::int64_t>(totalFiles, 0);
  m_totalBytes = std::max<std::int64_t>(totalBytes, 0);
  m_filesDone = 0;
  m_bytesDone = -1;
}

void ProgressEstimate::learnTotalFiles(std::int64_t totalFiles) {
  if (totalFiles > 0) m_totalFiles = totalFiles;
}

namespace {

// The number a text starts with; none when it does not start with a digit.
std::optional<std::int64_t> leadingNumber(std::string_view text) {
  std::int64_t n = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) n = n * 10 + (text[i] - '0');
  if (i == 0) return std::nullopt;
  return n;
}

}  // namespace

bool ProgressEstimate::takeLabel(std::string_view name, const std::string& text, int index) {
  std::optional<std::int64_t> total, done;
  if (name == "FileMax") {
    total = leadingNumber(text);
  } else if (name == "MaxNo") {
    total = leadingNumber(text.rfind("/ ", 0) == 0 ? std::string_view(text).substr(2) : text);
  } else if (name == "FileNo" || name == "No") {
    if (text.find_first_not_of("0123456789") == std::string::npos) done = leadingNumber(text);
  } else if (name == "Run" && index == 2) {
    const auto slash = text.find('/');
    const auto left = leadingNumber(text);
    if (left && slash != std::string::npos) {
      total = leadingNumber(std::string_view(text).substr(slash + 1));
      if (total) done = *total - *left;
    }
  }
  if (!total && !done) return false;
  if (!m_started) start();
  if (total) learnTotalFiles(*total);
  if (done) update(*done);
  return true;
}

void ProgressEstimate::update(std::int64_t filesDone, std::int64_t bytesDone) {
  m_filesDone = std::max<std::int64_t>(filesDone, 0);
  m_bytesDone = bytesDone;
}

std::int64_t ProgressEstimate::bytesDone() const {
  if (m_bytesDone >= 0) return m_bytesDone;
  if (m_totalBytes == 0 || m_totalFiles == 0) return 0;
  const std::int64_t files = std::min(m_filesDone, m_totalFiles);
  return static_cast<std::int64_t>(static_cast<double>(m_totalBytes) * files / m_totalFiles);
}

double ProgressEstimate::elapsedSeconds() const {
  return std::chrono::duration<double>(m_clock() - m_start).count();
}

std::optional<double> ProgressEstimate::filesPerSecond() const {
  const double seconds = elapsedSeconds();
  if (!m_started || m_filesDone == 0 || seconds < kMinSeconds) return std::nullopt;
  return m_filesDone / seconds;
}

std::optional<double> ProgressEstimate::bytesPerSecond() const {
  const double seconds = elapsedSeconds();
  const std::int64_t bytes = bytesDone();
  if (!m_started || bytes == 0 || seconds < kMinSeconds) return std::nullopt;
  return bytes / seconds;
}

std::optional<std::chrono::seconds> ProgressEstimate::timeLeft() const {
  double left = 0;
  // Bytes measure copies better than file counts; files serve when no byte total is known.
  if (const auto rate = bytesPerSecond(); rate && m_totalBytes > 0)
    left = std::max<double>(m_totalBytes - bytesDone(), 0) / *rate;
  else if (const auto fileRate = filesPerSecond(); fileRate && m_totalFiles > 0)
    left = std::max<double>(m_totalFiles - m_filesDone, 0) / *fileRate;
  else
    return std::nullopt;
  return std::chrono::seconds(static_cast<std::int64_t>(std::ceil(left)));
}

std::string ProgressEstimate::text() const {
  if (!m_started) return {};
  std::string line = std::to_string(m_filesDone);
  if (m_totalFiles > 0) line += "/" + std::to_string(m_totalFiles);
  line += " ファイル";
  if (m_totalBytes > 0 || m_bytesDone >= 0) {
    line += "  " + byteText(static_cast<double>(bytesDone()));
    if (m_totalBytes > 0) line += "/" + byteText(static_cast<double>(m_totalBytes));
  }
  if (const auto rate = bytesPerSecond())
    line += "  " + byteText(*rate) + "/s";
  else if (const auto fileRate = filesPerSecond()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "  %.1f ファイル/s", *fileRate);
    line += buf;
  }
  if (const auto left = timeLeft()) line += "  残り " + durationText(*left);
  return line;
}

std::string byteText(double bytes) {
  static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 4) {
    bytes /= 1024;
    ++unit;
  }
  char buf[32];
  if (unit == 0)
    std::snprintf(buf, sizeof buf, "%.0f B", bytes);
  else
    std::snprintf(buf, sizeof buf, "%.1f %s", bytes, units[unit]);
  return buf;
}

std::string durationText(std::chrono::seconds left) {
  const long long s = left.count();
  char buf[48];
  if (s < 60)
    std::snprintf(buf, sizeof buf, "%lld秒", s);
  else if (s < 3600)
    std::snprintf(buf, sizeof buf, "%lld分%02lld秒", s / 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%lld時間%02lld分", s / 3600, (s % 3600) / 60);
  return buf;
}

}  // namespace quillmere

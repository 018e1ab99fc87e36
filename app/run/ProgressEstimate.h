#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// Files and bytes done of a run, its rate and the time left, from the totals a plan or the run's
// own count gives. The rate is the average since the start, so a burst of small files does not
// swing the time left. Bytes done that the run cannot tell are taken in proportion to the files
// done.
class ProgressEstimate {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit ProgressEstimate(Clock clock = &std::chrono::steady_clock::now);

  // A new run: nothing done, the clock starts now. Totals of 0 are unknown.
  void start(std::int64_t totalFiles = 0, std::int64_t totalBytes = 0);
  // The run's own file count, once it has one: it counts what the run's file number counts, so
  // it replaces a plan's count (the byte total of the plan stays).
  void learnTotalFiles(std::int64_t totalFiles);
  // Takes the counts from a progress label as the engines set it: "FileMax" ("2000/ "),
  // "FileNo" ("120"), the mirroring's "MaxNo" ("/ 2000") and "No", the duplicate runs' "Run"
  // label 2 ("57/120Files", 57 still to go). Starts the estimate when it was not started.
  // Answers true when the label carried a count.
  bool takeLabel(std::string_view name, const std::string& text, int index = -1);
  // bytesDone < 0: not known, taken in proportion to the files done.
  void update(std::int64_t filesDone, std::int64_t bytesDone = -1);

  bool started() const { return m_started; }
  std::int64_t filesDone() const { return m_filesDone; }
  std::int64_t totalFiles() const { return m_totalFiles; }
  std::int64_t totalBytes() const { return m_totalBytes; }
  // The bytes done as given, or in proportion to the files done; 0 without byte totals.
  std::int64_t bytesDone() const;
  // Files a second since the start; none before a file is done and a second has passed.
  std::optional<double> filesPerSecond() const;
  std::optional<double> bytesPerSecond() const;
  // None until there is a rate and a total.
  std::optional<std::chrono::seconds> timeLeft() const;

  // One line: "120/2000 ファイル  35.2/512.0 MB  4.1 MB/s  残り 1分57秒"; the parts that are not
  // known yet are left out. Empty before the start.
  std::string text() const;

 private:
  double elapsedSeconds() const;

  Clock m_clock;
  std::chrono::steady_clock::time_point m_start{};
  bool m_started = false;
  std::int64_t m_totalFiles = 0, m_totalBytes = 0;
  std::int64_t m_filesDone = 0, m_bytesDone = -1;
};

// A byte count with one decimal in the largest fitting unit ("512 B", "1.5 KB", "35.2 MB").
std::string byteText(double bytes);
// A duration as "45秒", "1分57秒", "2時間03分".
std::string durationText(std::chrono::seconds left);

}  // namespace quillmere

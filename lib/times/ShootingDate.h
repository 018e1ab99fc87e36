#pragma once

// The shooting-date search: cameras write the moment a picture was taken as text
// "YYYY:MM:DD HH:MM:SS" into the file's header. The head of the file is read line by line (a
// line ends at CR, LF or CR LF, which are dropped), the lines are joined, and the last date
// text in the joined head wins.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileOps.h"

namespace quillmere::times {

struct ShootingDate {
  bool found = false;
  std::int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::uint64_t bytesRead = 0;  // bytes of the file the search consumed
  bool timedOut = false;
};

// True when the 19 bytes at p form a date text: "[1-2][0-9][0-9][0-9]:[0-1][0-9]:[0-3][0-9]"
// + any byte + "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]".
bool isDateText(const char* p);

// The last date text in the bytes, never starting at position 0 (the first position of the
// joined head is not examined); npos when there is none.
std::size_t findLastDate(std::string_view joinedHead);

// Reads at most maxLines lines of the file (none when maxLines < 1), stopping early at the end
// of the file or once more than timeoutSeconds have passed, and searches the joined lines.
platform::FileResult findShootingDate(const std::string& nativePath, std::int64_t maxLines,
                                      double timeoutSeconds, ShootingDate& result);

// What a rename needs of one picture, from one open: its times and its shooting date.
struct PictureFacts {
  platform::FileTimes times;
  std::optional<std::uint64_t> size;  // a regular file's size
  ShootingDate date;
};

// Opens the file once, reads its times from the open file and searches its head as
// findShootingDate does. Fails (with the errno) when the file cannot be opened or its times read.
platform::FileResult surveyPicture(const std::string& nativePath, std::int64_t maxLines,
                                   double timeoutSeconds, PictureFacts& facts);

}  // namespace quillmere::times

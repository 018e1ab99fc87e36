#pragma once

// The shooting time of files whose date is no text in the head: MP4 and MOV videos keep it as
// the movie header's creation time (seconds since 1904-01-01 UTC), HEIC pictures in an Exif
// block that the file's item tables point to. Every read is bounded by the file's size and a
// cap, so a damaged or hostile file gives "no date", never a crash or a long read.

#include <string>
#include <string_view>

#include "times/ShootingDate.h"

namespace quillmere::times {

// The shooting time of an MP4/MOV (from 'moov'/'mvhd', as local time) or a HEIC file (from the
// Exif DateTimeOriginal, else DateTime, as written). The kind is told by the content, not the
// name. Answers the file's open or read error, else success with result.found false when the
// file holds no usable date.
platform::FileResult findMediaShootingDate(const std::string& nativePath, ShootingDate& result);

// The same on the bytes of a whole file held in memory.
ShootingDate mediaShootingDateOf(std::string_view fileBytes);

}  // namespace quillmere::times

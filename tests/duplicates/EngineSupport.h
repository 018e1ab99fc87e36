#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Fakes.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere::duplicates::test_support {

// Relative paths of the files of the home trash (the test's private home).
std::vector<std::string> trashedNames();

}  // namespace quillmere::duplicates::test_support

#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillmere::test {

// Root ignores permission bits, so a test that needs "permission denied" runs its subject as
// the unprivileged user. The parent calls runUnprivileged() with a gtest filter that selects a
// child test; the child test starts with `if (!insideUnprivilegedChild()) GTEST_SKIP()`.

// True in the child started by runUnprivileged().
bool insideUnprivilegedChild();

// Runs this test program again as uid/gid 65534 (setpriv) with only the tests matching
// gtestFilter and the extra environment. Answers the child's exit status (0 = passed), or -1
// when the program is not running as root or setpriv is missing (the caller then runs the
// subject directly when not root, or skips).
int runUnprivileged(const std::string& gtestFilter,
                    const std::vector<std::pair<std::string, std::string>>& env = {});

// True when this process runs as root (permission bits do not stop it).
bool runningAsRoot();

}  // namespace quillmere::test

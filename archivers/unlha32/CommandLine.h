#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace unlha {

// A parsed archiver command line: the command word, its switches and its other arguments
// (double-quoted arguments may hold blanks; the quotes are dropped).
struct CommandLine {
  std::string command;
  std::set<std::string> switches;  // "-d1", "-!", ...
  std::vector<std::string> args;
  bool has(const std::string& s) const { return switches.count(s) != 0; }
};

// Splits on blanks outside double quotes. Nothing when a quote is left open or there is no
// command word.
std::optional<CommandLine> parseCommandLine(const std::string& text);

// A path argument: an absolute native path ("/..."; the caller maps any other form of path
// before calling). `trailing` tells whether the text ended with a separator (a folder's
// contents, or the folder to extract into). Nothing for any other text.
struct PathArg {
  std::string path;
  bool trailing = false;
};
std::optional<PathArg> pathArgument(const std::string& arg);

// Windows-style wildcard on a name: "*" and "?", ASCII letters without regard to case;
// "*.*" matches every name, with or without a dot.
bool wildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace unlha

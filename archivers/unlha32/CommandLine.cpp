#include "CommandLine.h"

namespace unlha {

std::optional<CommandLine> parseCommandLine(const std::string& text) {
  std::vector<std::string> tokens;
  std::vector<bool> quoted;
  std::string cur;
  bool inQuote = false, have = false, wasQuoted = false;
  for (char c : text) {
    if (c == '"') {
      inQuote = !inQuote;
      have = true;
      wasQuoted = true;
    } else if ((c == ' ' || c == '\t') && !inQuote) {
      if (have) {
        tokens.push_back(cur);
        quoted.push_back(wasQuoted);
      }
      cur.clear();
      have = wasQuoted = false;
    } else {
      cur += c;
      have = true;
    }
  }
  if (inQuote) return std::nullopt;
  if (have) {
    tokens.push_back(cur);
    quoted.push_back(wasQuoted);
  }
  if (tokens.empty() || quoted[0]) return std::nullopt;
  CommandLine cl;
  cl.command = tokens[0];
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    if (!quoted[i] && tokens[i].size() > 1 && tokens[i][0] == '-') {
      cl.switches.insert(tokens[i]);
    } else {
      cl.args.push_back(tokens[i]);
    }
  }
  return cl;
}

std::optional<PathArg> pathArgument(const std::string& arg) {
  if (arg.empty() || arg[0] != '/') return std::nullopt;
  PathArg out;
  out.path = arg;
  out.trailing = arg.back() == '/' || arg.back() == '\\';
  while (out.path.size() > 1 && (out.path.back() == '/' || out.path.back() == '\\'))
    out.path.pop_back();
  return out;
}

namespace {
char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool match(const char* p, const char* n) {
  // iterative wildcard match with one backtrack point
  const char *star = nullptr, *retry = nullptr;
  while (*n) {
    if (*p == '*') {
      star = ++p;
      retry = n;
    } else if (*p == '?' || (*p && lower(*p) == lower(*n))) {
      ++p;
      ++n;
    } else if (star) {
      p = star;
      n = ++retry;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}
}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  return match(pattern.c_str(), name.c_str());
}

}  // namespace unlha

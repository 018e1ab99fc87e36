#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmere::settings {

// One private-profile file held in memory: its lines exactly as they were, plus an index of
// sections and keys. Section and key names match without regard to (ASCII) case; the first of
// two equal sections or keys wins. Comment lines and lines without "=" are kept as they are.
class IniDocument {
 public:
  static IniDocument parse(std::string_view utf8Text);

  // The value of a key (blanks around it and one pair of enclosing quotes dropped).
  std::optional<std::string> get(std::string_view section, std::string_view key) const;

  // Sets a key: replaced where it stands, appended to its section, or appended with a new
  // section at the end. Returns false when the value read back would not change.
  bool set(std::string_view section, std::string_view key, std::string_view value);
  // Removes a key's line. Returns false when the key was not there.
  bool remove(std::string_view section, std::string_view key);

  // The file text (lines joined with the file's own line ending).
  std::string serialize() const;

  std::size_t lineCount() const { return m_lines.size(); }

 private:
  enum class Kind { Other, Section, Key };
  struct Line {
    std::string text;
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // a key's value as read back
  };
  struct Section {
    std::size_t header = 0;                             // line index of "[name]"
    std::size_t end = 0;                                // one past its last line
    std::unordered_map<std::string, std::size_t> keys;  // lower-case key -> line index
  };

  static Line parseLine(std::string text);
  void reindex();

  std::vector<Line> m_lines;
  std::vector<Section> m_sections;
  std::unordered_map<std::string, std::size_t> m_sectionIndex;  // lower-case name -> section
  std::string m_eol = "\n";
  bool m_bom = false;
};

// The value a line "key=value" yields: blanks around it dropped, then one pair of quotes.
std::string readBackValue(std::string_view raw);

}  // namespace quillmere::settings

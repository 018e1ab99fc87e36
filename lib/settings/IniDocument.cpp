#include "settings/IniDocument.h"

#include "platform/Text.h"

namespace quillmere::settings {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A line break inside a value would split the file's line; only its first line is stored.
std::string_view firstLine(std::string_view value) {
  const std::size_t cut = value.find_first_of("\r\n");
  return cut == std::string_view::npos ? value : value.substr(0, cut);
}

}  // namespace

std::string readBackValue(std::string_view raw) {
  std::string_view v = trim(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

IniDocument::Line IniDocument::parseLine(std::string text) {
  Line line;
  const std::string_view t = trim(text);
  if (!t.empty() && t.front() == '[') {
    const std::size_t close = t.find(']');
    if (close != std::string_view::npos) {
      line.kind = Kind::Section;
      line.name = std::string(trim(t.substr(1, close - 1)));
    }
  } else if (!t.empty() && t.front() != ';') {
    const std::size_t eq = t.find('=');
    if (eq != std::string_view::npos && !trim(t.substr(0, eq)).empty()) {
      line.kind = Kind::Key;
      line.name = std::string(trim(t.substr(0, eq)));
      line.value = readBackValue(t.substr(eq + 1));
    }
  }
  line.text = std::move(text);
  return line;
}

IniDocument IniDocument::parse(std::string_view text) {
  IniDocument doc;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.m_bom = true;
    text.remove_prefix(3);
  }
  const std::size_t firstBreak = text.find('\n');
  if (firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
    doc.m_eol = "\r\n";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(start, end - start);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    doc.m_lines.push_back(parseLine(std::string(raw)));
    start = end + 1;
  }
  doc.reindex();
  return doc;
}

void IniDocument::reindex() {
  m_sections.clear();
  m_sectionIndex.clear();
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const Line& line = m_lines[i];
    if (line.kind == Kind::Section) {
      if (!m_sections.empty()) m_sections.back().end = i;
      m_sections.push_back(Section{i, m_lines.size(), {}});
      m_sectionIndex.try_emplace(text::asciiLower(line.name), m_sections.size() - 1);
    } else if (line.kind == Kind::Key && !m_sections.empty()) {
      m_sections.back().keys.try_emplace(text::asciiLower(line.name), i);
    }
  }
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
  const auto s = m_sectionIndex.find(text::asciiLower(trim(section)));
  if (s == m_sectionIndex.end()) return std::nullopt;
  const Section& sec = m_sections[s->second];
  const auto k = sec.keys.find(text::asciiLower(trim(key)));
  if (k == sec.keys.end()) return std::nullopt;
  return m_lines[k->second].value;
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  section = trim(section);
  key = trim(key);
  value = firstLine(value);
  const std::string lineText = std::string(key) + "=" + std::string(value);
  const auto s = m_sectionIndex.find(text::asciiLower(section));
  if (s != m_sectionIndex.end()) {
    const Section& sec = m_sections[s->second];
    const auto k = sec.keys.find(text::asciiLower(key));
    if (k != sec.keys.end()) {
      Line& line = m_lines[k->second];
      if (line.value == readBackValue(value)) return false;
      // Keep the key's own spelling; only the value changes.
      line = parseLine(line.name + "=" + std::string(value));
      return true;
    }
    // Append after the section's last non-blank line, so a blank line before the next
    // section stays where it is.
    std::size_t at = sec.end;
    while (at > sec.header + 1 && trim(m_lines[at - 1].text).empty()) --at;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), parseLine(lineText));
    reindex();
    return true;
  }
  if (!m_lines.empty() && !trim(m_lines.back().text).empty()) m_lines.push_back(parseLine(""));
  m_lines.push_back(parseLine("[" + std::string(section) + "]"));
  m_lines.push_back(parseLine(lineText));
  reindex();
  return true;
}

bool IniDocument::remove(std::string_view section, std::string_view key) {
  const auto s = m_sectionIndex.find(text::asciiLower(trim(section)));
  if (s == m_sectionIndex.end()) return false;
  const auto& keys = m_sections[s->second].keys;
  const auto k = keys.find(text::asciiLower(trim(key)));
  if (k == keys.end()) return false;
  m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(k->second));
  reindex();
  return true;
}

std::string IniDocument::serialize() const {
  std::string out;
  if (m_bom) out += "\xEF\xBB\xBF";
  for (const Line& line : m_lines) {
    out += line.text;
    out += m_eol;
  }
  return out;
}

}  // namespace quillmere::settings

#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/Main.h"
#include "rename/RenameEngine.h"
#include "rename/RenameSettings.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere::rename::test {

using quillmere::test::RecordingRunView;
using quillmere::test::TempTree;

// The head of a camera picture: a JPEG start, an Exif block holding the shooting date as
// cameras write it, then the given body (kept unique per file so contents can be traced).
inline std::string picture(const std::string& date, const std::string& body) {
  std::string head(
      "\xFF\xD8\xFF\xE1\x00\x40"
      "Exif\0\0MM\0*\0\0\0\x08",
      20);
  if (!date.empty()) head += "Camera\0" + date + std::string(1, '\0');
  return head + "\n" + body + "\n";
}

// A folder tree, a settings file and a recording view for one rename run.
class RenameFixture : public ::testing::Test {
 protected:
  std::string ini() const { return tree.pathText("quillmere.ini"); }
  std::string in(const std::string& rel = "") const { return tree.pathText(join("in", rel)); }
  std::string out(const std::string& rel = "") const { return tree.pathText(join("out", rel)); }
  static std::string join(const std::string& a, const std::string& b) {
    return b.empty() ? a : a + "/" + b;
  }

  // Writes the options as the panel would, with the source folder "in" (and "out" as target).
  void options(Mode mode, NameFormat format = NameFormat::Date,
               CaseOption c = CaseOption::AsBuilt) {
    tree.mkdir("in");
    settings.normaliseOnLoad();
    settings.setInDir(in());
    settings.chooseMode(mode);
    if (mode != Mode::Stay) {
      tree.mkdir("out");
      settings.setOutDir(out());
    }
    settings.chooseFormat(format);
    settings.chooseCase(c);
  }
  void set(const std::string& key, const std::string& value) const {
    dll().DLL_WriteStringINI(ini(), "ReName", key, value);
  }

  RunReport rename() {
    RenameEngine engine(settings, view);
    return engine.run();
  }

  // Relative path -> contents of every file below a folder of the tree.
  std::map<std::string, std::string> contents(const std::string& folder) const {
    std::map<std::string, std::string> out;
    for (const auto& f : tree.files())
      if (f.rfind(folder + "/", 0) == 0) out[f.substr(folder.size() + 1)] = tree.read(f);
    return out;
  }
  std::vector<std::string> namesIn(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : contents(folder)) names.push_back(name);
    return names;
  }

  TempTree tree;
  RenameSettings settings{ini(), "c:\\"};
  RecordingRunView view;
};

}  // namespace quillmere::rename::test

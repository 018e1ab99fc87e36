#pragma once

#include <string>
#include <vector>

#include "core/Main.h"
#include "support/TempTree.h"

namespace quillmere::test {

// A card emptied in one job: its pictures copied into the archive under their own names, the
// card's copies deleted, the archive backed up as archive.lzh and mirrored to a second disk.
// The options of the four panels and the job's steps 1, 3, 5 and 8 (step 2 unchecked, with
// mirroring chosen) are stored in tree's quillmere.ini.
struct CardJob {
  explicit CardJob(TempTree& t) : tree(t) {
    tree.write("card/a.jpg", "picture a");
    tree.write("card/b.jpg", "picture bb");
    tree.mkdir("archive");
    tree.mkdir("backups");
    tree.mkdir("mirror2");
    put("ReName", "ReName-InDir", tree.pathText("card"));
    put("ReName", "ReName-OutDir", tree.pathText("archive"));
    put("ReName", "ReName-Copy_Mode", "True");
    put("ReName", "ReName-Stay_Mode", "False");
    put("ReName", "ReName-Move_Mode", "False");
    put("ReName", "ReName-FileNameFormat_Date", "False");
    put("ReName", "ReName-FileNameFormat_Not", "True");
    put("ReName", "ReName-LookSubDir", "0");
    put("ReName", "ReName-MakeSubDir", "0");
    put("WFileDel", "WFileDel-InDir", tree.pathText("archive"));
    put("WFileDel", "WFileDel-OutDir", tree.pathText("card"));
    put("WFileDel", "WFileDel-OutFileDel", "0");
    put("BackUP", "BackUP-InDir", tree.pathText("archive"));
    put("BackUP", "BackUP-OutDir", tree.pathText("backups"));
    put("BackUP", "BackUP-Time", "False");
    put("BackUP", "BackUP-Dir", "True");
    put("BackUP", "BackUP-FileName", "False");
    put("BackUP", "BackUP-Exe", "0");
    put("Mirrorring", "Mirrorring-InDir", tree.pathText("archive"));
    put("Mirrorring", "Mirrorring-OutDir", tree.pathText("mirror2"));
    put("Mirrorring", "Mirrorring-DustBox", "0");
    chooseStep(1, 2);  // rename
    chooseStep(2, 5);  // mirroring, but the step is not checked
    put("Job", "Job-Check2", "0");
    chooseStep(3, 3);  // duplicate delete
    chooseStep(5, 4);  // backup
    chooseStep(8, 5);  // mirroring
  }

  std::string ini() const { return tree.pathText("quillmere.ini"); }
  void put(const std::string& section, const std::string& key, const std::string& value) {
    dll().DLL_WriteStringINI(ini(), section, key, value);
  }
  void chooseStep(int step, int choice) {
    put("Job", "Job-Check" + std::to_string(step), "1");
    for (int k = 1; k <= 10; ++k)
      put("Job", "Job-Option" + std::to_string((step - 1) * 10 + k),
          k == choice ? "True" : "False");
  }

  // The files of a folder of the tree, by name.
  std::vector<std::string> filesIn(const std::string& folder) const {
    std::vector<std::string> names;
    const std::string prefix = folder + "/";
    for (const std::string& f : tree.files())
      if (f.rfind(prefix, 0) == 0 && f.find('/', prefix.size()) == std::string::npos)
        names.push_back(f.substr(prefix.size()));
    return names;
  }

  TempTree& tree;
};

}  // namespace quillmere::test

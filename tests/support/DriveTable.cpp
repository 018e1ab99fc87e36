#include "support/DriveTable.h"

#include <cstdlib>

namespace quillmere::test {

DriveTable::~DriveTable() {
  ::unsetenv("QUILLMERE_DRIVES");
}

void DriveTable::set(const std::vector<Drive>& drives) {
  std::string text;
  for (const Drive& d : drives)
    text += std::string(1, d.letter) + "\t" + d.nativeFolder + "\t" + std::to_string(d.type) +
            "\t" + d.label + "\n";
  ::setenv("QUILLMERE_DRIVES", m_folder.write("drives.tsv", text).c_str(), 1);
}

void DriveTable::setMissing() {
  ::setenv("QUILLMERE_DRIVES", m_folder.path("missing.tsv").c_str(), 1);
}

void DriveTable::clear() {
  ::unsetenv("QUILLMERE_DRIVES");
}

}  // namespace quillmere::test

// The CAB archiver: round trip of the two command lines, and cabinets with hostile names.
#include <gtest/gtest.h>
#include <libgcab.h>
#include <sys/stat.h>

#include <filesystem>

#include "Harness.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using namespace quillmere::test;

namespace {

TEST(Cab, MakesAndExtractsAFolderWithoutPackingItself) {
  TempTree tree;
  ::umask(022);
  tree.write("src/a.txt", "alpha");
  tree.write("src/sub/写真.jpg", std::string(100000, 'j'));
  ASSERT_EQ(::symlink("/etc", tree.path("src/link").c_str()), 0);  // never followed
  std::string report;
  ASSERT_EQ(
      cabLib()("-a -r -i \"" + tree.path("src/src.cab") + "\" \"" + tree.path("src/*.*") + "\"",
               &report),
      0)
      << report;
  // Made a second time, the old cabinet is not packed into the new one.
  ASSERT_EQ(
      cabLib()("-a -r -i \"" + tree.path("src/src.cab") + "\" \"" + tree.path("src/*.*") + "\"",
               &report),
      0)
      << report;
  EXPECT_NE(report.find("2 files"), std::string::npos) << report;
  // Not left private like the temporary file it was written as.
  EXPECT_EQ(fs::status(tree.path("src/src.cab")).permissions() & fs::perms::others_read,
            fs::perms::others_read);
  ASSERT_EQ(cabLib()("-x -o -j \"" + tree.path("src/src.cab") + "\" \"" + tree.path("out") + "\\\"",
                     &report),
            0)
      << report;
  EXPECT_EQ(tree.read("out/a.txt"), "alpha");
  EXPECT_EQ(tree.read("out/sub/写真.jpg"), std::string(100000, 'j'));
  EXPECT_FALSE(fs::exists(tree.path("out/link")));
  // Without -o an existing file stays.
  tree.write("out/a.txt", "mine");
  EXPECT_NE(
      cabLib()("-x \"" + tree.path("src/src.cab") + "\" \"" + tree.path("out/") + "\"", &report),
      0);
  EXPECT_EQ(tree.read("out/a.txt"), "mine");
  // Nothing of the private extraction folder is left behind.
  for (const auto& e : fs::directory_iterator(tree.path("out")))
    EXPECT_NE(e.path().filename().string().substr(0, 5), ".cab-");
  EXPECT_NE(
      cabLib()("-x \"" + tree.path("missing.cab") + "\" \"" + tree.path("o2/") + "\"", &report), 0);
}

TEST(Cab, NamesThatLeaveTheTargetAreRefused) {
  TempTree tree;
  tree.write("payload", "x");
  tree.mkdir("box/target");
  // A cabinet with hostile names, made with libgcab itself.
  GCabCabinet* cabinet = gcab_cabinet_new();
  GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_NONE);
  GFile* payload = g_file_new_for_path(tree.path("payload").c_str());
  for (const char* name : {"..\\evil.txt", "\\abs.txt", "C:\\drive.txt", "ok\\fine.txt"}) {
    GCabFile* f = gcab_file_new_with_file(name, payload);
    ASSERT_TRUE(gcab_folder_add_file(folder, f, FALSE, nullptr, nullptr));
    g_object_unref(f);
  }
  ASSERT_TRUE(gcab_cabinet_add_folder(cabinet, folder, nullptr));
  GFile* out = g_file_new_for_path(tree.path("evil.cab").c_str());
  GFileOutputStream* os = g_file_replace(out, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, nullptr);
  ASSERT_TRUE(
      gcab_cabinet_write_simple(cabinet, G_OUTPUT_STREAM(os), nullptr, nullptr, nullptr, nullptr));
  g_output_stream_close(G_OUTPUT_STREAM(os), nullptr, nullptr);
  g_object_unref(os);
  g_object_unref(out);
  g_object_unref(payload);
  g_object_unref(folder);
  g_object_unref(cabinet);
  std::string report;
  EXPECT_NE(
      cabLib()("-x -o -j \"" + tree.path("evil.cab") + "\" \"" + tree.path("box/target/") + "\"",
               &report),
      0);
  std::vector<std::string> found;
  for (auto it = fs::recursive_directory_iterator(tree.path("box"));
       it != fs::recursive_directory_iterator(); ++it)
    found.push_back(it->path().lexically_relative(tree.path("box")).string());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"target", "target/ok", "target/ok/fine.txt"}))
      << report;
}

}  // namespace

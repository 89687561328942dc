// The sample set of the repository builds and checks clean.
#include <gtest/gtest.h>

#include <sstream>

#include "commands.h"
#include "test_support.h"

namespace quarnset {
namespace {

TEST(SampleSet, BuildsAndChecksClean) {
  testing::ScratchDir dir;
  // The real stand-in is a Windows build product; any file of a plausible size stands in for it here.
  std::string exe = "MZ";
  for (int i = 0; i < 70001; ++i) exe.push_back(static_cast<char>(i * 31));
  testing::WriteBytes(dir / "QuarnWin32.exe", exe);
  const std::string manifest = std::string(QUARNSET_REPO_DIR) + "/sample/sample.qset";
  std::ostringstream out, err;
  ASSERT_EQ(RunQuarnset({"build", "-q", "-D", "STANDIN=" + (dir / "QuarnWin32.exe"), manifest, dir / "set"}, out, err), kExitClean)
      << out.str() << err.str();
  EXPECT_EQ(out.str(), "") << "the sample set must build without warnings";
  std::ostringstream out2, err2;
  EXPECT_EQ(RunQuarnset({"check", "-q", dir / "set"}, out2, err2), kExitClean) << out2.str();
  EXPECT_EQ(out2.str(), "");
  // Three discs, and the set ends with a missing fourth list.
  for (const char* list : {"Disc_01/Fajls_1.ini", "Disc_02/Fajls_2.ini", "Disc_03/Fajls_3.ini"})
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string("set/KelvaranDemo/") + list))) << list;
  EXPECT_FALSE(std::filesystem::exists(dir / "set/KelvaranDemo/Disc_04"));
  const std::string desc = testing::ReadBytes(dir / "set/KelvaranDemo/Disc_01/Install.ini");
  for (const char* needle : {"FontFile1=DejaVuSans.ttf\r\n", "Command1=[CreateGroup(", "hh.exe", "%s", "#\\QuarnWin32"})
    EXPECT_NE(desc.find(needle), std::string::npos) << needle;
  const std::string list1 = testing::ReadBytes(dir / "set/KelvaranDemo/Disc_01/Fajls_1.ini");
  EXPECT_NE(list1.find("=\\QuarnWin32.ex_ \\QuarnWin32\\QuarnWin32.exe\r\n"), std::string::npos) << list1;
  EXPECT_NE(list1.find("*%\\Fonts\\DejaVuSans.ttf\r\n"), std::string::npos) << list1;
  EXPECT_NE(list1.find("*?\\"), std::string::npos);
  EXPECT_NE(testing::ReadBytes(dir / "set/KelvaranDemo/Disc_02/Fajls_2.ini").find("*-\\"), std::string::npos);
}

}  // namespace
}  // namespace quarnset

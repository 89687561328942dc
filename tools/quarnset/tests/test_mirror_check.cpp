// `quarnset check --mirrors` against live mirrors (nginx, tools/nginx/serve_set.sh): one whole copy of
// the set, one with a damaged file, one with a file missing, and one that cannot be reached. Each is
// reported for what it is, per mirror and per file.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "commands.h"
#include "test_support.h"

namespace quarnset {
namespace {

namespace fs = std::filesystem;

using testing::FreePort;

class MirrorCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v nginx >/dev/null 2>&1") != 0) GTEST_SKIP() << "nginx is not installed";
    serve_ = std::string(QUARNSET_REPO_DIR) + "/tools/nginx/serve_set.sh";
    for (int& p : ports_) p = FreePort();
    testing::WriteManifestFiles(dir_);
    testing::WriteBytes(dir_ / "set.qset", testing::ValidManifest());
    std::vector<std::string> args = {"build", "-q"};
    for (int m = 0; m < 4; ++m) {
      args.push_back("--mirror");
      args.push_back(Url(m));
    }
    args.push_back(dir_ / "set.qset");
    args.push_back(dir_ / "set");
    std::ostringstream out, err;
    ASSERT_EQ(RunQuarnset(args, out, err), kExitClean) << out.str() << err.str();
    // Mirror 1 whole, 2 with a damaged file (same length), 3 without a file; 4 is never started.
    for (int m = 0; m < 3; ++m) {
      const std::string root = dir_ / ("m" + std::to_string(m + 1));
      fs::copy(dir_ / "set", root, fs::copy_options::recursive);
    }
    testing::WriteBytes(dir_ / "m2/KelvaranDemo/Disc_01/f.ttf", std::string(1000, '\x02'));
    fs::remove(dir_ / "m3/KelvaranDemo/Disc_02/a.htm");
    for (int m = 0; m < 3; ++m) {
      const std::string n = std::to_string(m + 1);
      const std::string start = serve_ + " start --root " + (dir_ / ("m" + n)) + " --state " + (dir_ / ("nginx" + n)) +
                                " --pki " QUARNSET_TEST_PKI " --https-port " + std::to_string(FreePort()) +
                                " --http-port " + std::to_string(ports_[m]) + " >" + (dir_ / "serve.log") + " 2>&1";
      ASSERT_EQ(std::system(start.c_str()), 0) << testing::ReadBytes(dir_ / "serve.log");
      started_ = m + 1;
    }
  }
  void TearDown() override {
    for (int m = 1; m <= started_; ++m)
      std::system((serve_ + " stop --state " + (dir_ / ("nginx" + std::to_string(m))) + " >/dev/null 2>&1").c_str());
  }
  std::string Url(int m) const { return "http://127.0.0.1:" + std::to_string(ports_[m]) + "/UpDate-V9.20"; }

  testing::ScratchDir dir_;
  std::string serve_;
  int ports_[4] = {};
  int started_ = 0;
};

TEST_F(MirrorCheck, ReportsEachMirrorsFaults) {
  std::ostringstream o, e;
  EXPECT_EQ(RunQuarnset({"check", "-q", "--timeout", "20", "--mirrors", dir_ / "set"}, o, e), kExitFindings);
  const std::string out = o.str();
  const struct {
    const char* name;
    std::string line;
  } expected[] = {
      {"the damaged file", Url(1) + "/KelvaranDemo/Disc_01/f.ttf: error: different on the mirror: SHA-256 "},
      {"the missing file", Url(2) + "/KelvaranDemo/Disc_02/a.htm: error: missing on the mirror (status 404"},
      {"the unreachable mirror", "mirror 4 " + Url(3) + ": error: unreachable: "},
  };
  for (const auto& x : expected) {
    SCOPED_TRACE(x.name);
    EXPECT_NE(out.find(x.line), std::string::npos) << out;
  }
  // Nothing about the whole mirror, and each fault once: three errors in all.
  EXPECT_EQ(out.find(Url(0)), std::string::npos) << out;
  EXPECT_NE(e.str().find(": 3 error(s), 0 warning(s)"), std::string::npos) << e.str() << out;
  // Without --mirrors the same set checks clean: the mirrors are not asked.
  std::ostringstream o2, e2;
  EXPECT_EQ(RunQuarnset({"check", "-q", dir_ / "set"}, o2, e2), kExitClean) << o2.str();
}

}  // namespace
}  // namespace quarnset

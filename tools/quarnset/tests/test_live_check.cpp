// `quarnset check URL` against a live nginx serving a built set (tools/nginx/serve_set.sh): clean when
// the set is served right, and each fault of the server reported for the file it concerns.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "commands.h"
#include "test_support.h"

namespace quarnset {
namespace {

using testing::FreePort;

class LiveCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v nginx >/dev/null 2>&1") != 0) GTEST_SKIP() << "nginx is not installed";
    testing::WriteManifestFiles(dir_);
    testing::WriteBytes(dir_ / "set.qset", testing::ValidManifest());
    std::ostringstream out, err;
    ASSERT_EQ(RunQuarnset({"build", "-q", dir_ / "set.qset", dir_ / "set"}, out, err), kExitClean) << out.str();
    httpsPort_ = FreePort();
    httpPort_ = FreePort();
    serve_ = std::string(QUARNSET_REPO_DIR) + "/tools/nginx/serve_set.sh";
    const std::string start = serve_ + " start --root " + (dir_ / "set") + " --state " + (dir_ / "nginx") +
                              " --pki " QUARNSET_TEST_PKI " --https-port " + std::to_string(httpsPort_) + " --http-port " + std::to_string(httpPort_) +
                              " >" + (dir_ / "serve.log") + " 2>&1";
    ASSERT_EQ(std::system(start.c_str()), 0) << testing::ReadBytes(dir_ / "serve.log");
    started_ = true;
  }
  void TearDown() override {
    if (started_) std::system((serve_ + " stop --state " + (dir_ / "nginx") + " >/dev/null 2>&1").c_str());
  }

  std::string HttpsUrl() const { return "https://localhost:" + std::to_string(httpsPort_) + "/Download/UpDate-V9.20"; }
  std::string HttpUrl() const { return "http://127.0.0.1:" + std::to_string(httpPort_) + "/UpDate-V9.20"; }

  int Check(std::vector<std::string> extra, std::string* out) {
    std::vector<std::string> args = {"check", "-q", "--timeout", "20"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream o, e;
    const int rc = RunQuarnset(args, o, e);
    *out = o.str();
    return rc;
  }

  testing::ScratchDir dir_;
  std::string serve_;
  int httpsPort_ = 0, httpPort_ = 0;
  bool started_ = false;
};

TEST_F(LiveCheck, BothHostsServeTheSetClean) {
  std::string out;
  EXPECT_EQ(Check({"--https", HttpsUrl(), "--http", HttpUrl(), "--cacert", QUARNSET_TEST_PKI "/ca.crt"}, &out), kExitClean) << out;
  EXPECT_EQ(out, "");
}

TEST_F(LiveCheck, ServerFaultsAreReportedPerFile) {
  std::string out;
  // Without the test CA the HTTPS host cannot be trusted: the probe fails.
  EXPECT_EQ(Check({"--https", HttpsUrl()}, &out), kExitFindings);
  EXPECT_NE(out.find(HttpsUrl() + "/Update.ini: error: cannot be fetched"), std::string::npos) << out;
  // A listed file missing on the server.
  std::filesystem::remove(dir_ / "set/KelvaranDemo/Disc_02/a.htm");
  EXPECT_EQ(Check({"--http", HttpUrl()}, &out), kExitFindings);
  EXPECT_NE(out.find("/KelvaranDemo/Disc_02/Fajls_2.ini:6: error: status 404"), std::string::npos) << out;
  // An empty file: Content-Length 0.
  testing::WriteBytes(dir_ / "set/KelvaranDemo/Disc_02/a.htm", "");
  EXPECT_EQ(Check({"--http", HttpUrl()}, &out), kExitFindings);
  EXPECT_NE(out.find("Content-Length 0"), std::string::npos) << out;
  // A server directory at the wrong place: nothing found at all.
  EXPECT_EQ(Check({"--http", "http://127.0.0.1:" + std::to_string(httpPort_) + "/Download/UpDate-V9.20"}, &out), kExitFindings);
  EXPECT_NE(out.find("/Update.ini: error: status 404: the installer takes the file as missing; the installer does not accept this host"),
            std::string::npos) << out;
}

}  // namespace
}  // namespace quarnset

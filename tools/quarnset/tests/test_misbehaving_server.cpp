// `quarnset check URL` against the project's misbehaving test server (tools/testserver): every kind of
// misbehaviour is reported for the file it hits.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "commands.h"
#include "test_support.h"

namespace quarnset {
namespace {

using testing::FreePort;

class MisbehavingServer : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteManifestFiles(dir_);
    testing::WriteBytes(dir_ / "set.qset", testing::ValidManifest());
    std::ostringstream out, err;
    ASSERT_EQ(RunQuarnset({"build", "-q", dir_ / "set.qset", dir_ / "set"}, out, err), kExitClean) << out.str();
    ASSERT_EQ(std::system((std::string(QUARNSET_REPO_DIR) + "/tools/pki/make_pki.sh " QUARNSET_TEST_PKI).c_str()), 0);
    httpsPort_ = FreePort();
    httpPort_ = FreePort();
    SetRules("[]");
    const std::string script = std::string(QUARNSET_REPO_DIR) + "/tools/testserver/quarn_testserver.py";
    const std::string ready = dir_ / "ready.txt";
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      freopen(ready.c_str(), "w", stdout);
      const std::string https = std::to_string(httpsPort_), http = std::to_string(httpPort_);
      const std::string root = dir_ / "set", rules = dir_ / "rules.json";
      execlp("python3", "python3", script.c_str(), "--root", root.c_str(), "--https-port", https.c_str(), "--http-port",
             http.c_str(), "--cert", QUARNSET_TEST_PKI "/server.chain.crt", "--key", QUARNSET_TEST_PKI "/server.key",
             "--rules", rules.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (testing::ReadBytes(ready).find("ready") == std::string::npos) {
      int status = 0;
      ASSERT_EQ(waitpid(pid_, &status, WNOHANG), 0) << "the test server ended early";
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the test server did not start";
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The server reads its rules at every request; a new file is renamed over the old one.
  void SetRules(const std::string& rules) {
    testing::WriteBytes(dir_ / "rules.new", "{\"rules\": " + rules + "}");
    std::filesystem::rename(dir_ / "rules.new", dir_ / "rules.json");
  }

  std::string HttpUrl() const { return "http://127.0.0.1:" + std::to_string(httpPort_) + "/UpDate-V9.20"; }
  std::string HttpsUrl() const { return "https://localhost:" + std::to_string(httpsPort_) + "/Download/UpDate-V9.20"; }

  int Check(const std::vector<std::string>& urls, std::string* out, const std::string& timeout = "20") {
    std::vector<std::string> args = {"check", "-q", "--timeout", timeout, "--cacert", QUARNSET_TEST_PKI "/ca.crt"};
    args.insert(args.end(), urls.begin(), urls.end());
    std::ostringstream o, e;
    const int rc = RunQuarnset(args, o, e);
    *out = o.str();
    return rc;
  }

  testing::ScratchDir dir_;
  pid_t pid_ = -1;
  int httpsPort_ = 0, httpPort_ = 0;
};

TEST_F(MisbehavingServer, WellBehavedServerIsClean) {
  std::string out;
  EXPECT_EQ(Check({"--https", HttpsUrl(), "--http", HttpUrl()}, &out), kExitClean) << out;
  EXPECT_EQ(out, "");
}

struct Misbehaviour {
  const char* name;
  const char* rules;
  const char* fragment;    // what the finding must say
  const char* place;       // the file (suffix of the finding's place) it must name
  bool error;              // an error (true) or only a warning
};

const Misbehaviour kMisbehaviours[] = {
    {"404", R"([{"match": "*/Disc_02/a.htm", "action": "status", "status": 404}])", "status 404", "/Disc_02/Fajls_2.ini:6", true},
    {"server error on a list", R"([{"match": "*/Fajls_2.ini", "action": "status", "status": 500}])",
     "the set ends at disc 2 (Fajls_2.ini answers status 500)", "/Disc_01/Install.ini:", true},
    {"chunked", R"([{"match": "*/f.ttf", "action": "chunked"}])", "no Content-Length", "/Disc_01/Fajls_1.ini:7", true},
    {"no length", R"([{"match": "*/Install.ini", "action": "nolength"}])", "no Content-Length", "/Disc_01/Install.ini", true},
    {"length 0", R"([{"match": "*/f.ttf", "action": "length0"}])", "Content-Length 0", "/Disc_01/Fajls_1.ini:7", true},
    {"short body", R"([{"match": "*/f.ttf", "action": "short", "bytes": 400}])", "the body ends after 400 of 1000 announced bytes",
     "/Disc_01/Fajls_1.ini:7", true},
    {"reset", R"([{"match": "*/QuarnWin32.ex_", "action": "reset", "bytes": 100}])", "announced bytes", "/Disc_01/Fajls_1.ini:6", true},
    {"redirect", R"([{"match": "*/a.htm", "action": "redirect", "location": "/UpDate-V9.20/KelvaranDemo/Disc_02/a.htm", "times": 1}])",
     "answered with a redirect", "/Disc_02/Fajls_2.ini:6", false},
    {"wrong probe", R"([{"match": "*/Update.ini", "action": "body", "body": "QuarnCAD WEB update system: V9.21\r\n"}])",
     "does not accept this host", "/Update.ini", true},
    {"bad length header", R"([{"match": "*/Fajls_1.ini", "action": "content_length", "value": "abc"}])", "cannot be fetched", "/Disc_01/Fajls_1.ini", true},
};

TEST_F(MisbehavingServer, EachMisbehaviourIsReported) {
  for (const Misbehaviour& m : kMisbehaviours) {
    SCOPED_TRACE(m.name);
    SetRules(m.rules);
    std::string out;
    const int rc = Check({"--http", HttpUrl()}, &out);
    EXPECT_EQ(rc, m.error ? kExitFindings : kExitClean) << out;
    bool found = false;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      const size_t colon = line.find(m.error ? ": error: " : ": warning: ");
      if (colon == std::string::npos) continue;
      if (line.substr(0, colon).find(m.place) != std::string::npos && line.find(m.fragment) != std::string::npos) found = true;
    }
    EXPECT_TRUE(found) << "expected \"" << m.fragment << "\" at " << m.place << "; got:\n" << out;
  }
}

TEST_F(MisbehavingServer, SlowTrickleEndsAtTheTimeout) {
  SetRules(R"([{"match": "*/f.ttf", "action": "trickle", "chunk": 10, "delay": 0.5}])");
  std::string out;
  EXPECT_EQ(Check({"--http", HttpUrl()}, &out, "2"), kExitFindings);
  EXPECT_NE(out.find("announced bytes"), std::string::npos) << out;
}

}  // namespace
}  // namespace quarnset

// The web transfer against the real test servers over HTTPS and over HTTP: session, remote files,
// probe, remote description and the staging of a whole set. Run by tests/e2e/test_web_transfer.py,
// which starts the servers; skipped in the plain win_tests run.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "layout/description.h"
#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "app/set_policy_win.h"
#include "base/text.h"
#include "live_web_support.h"
#include "resource.h"
#include "web/bounded_read_win.h"
#include "web/file_transfer_win.h"
#include "web/remote_file_win.h"
#include "layout/server_layout.h"
#include "web/session_win.h"
#include "web/set_crypto_win.h"
#include "web/set_download_win.h"
#include "layout/set_hashes.h"
#include "ui/web_display_win.h"

namespace {

// The steps below the worker show nothing through this one (no dialog).
WebDisplay& NoDisplay() {
  static WebDisplay none;
  return none;
}

const char kGoodUpdateIni[] =
    "[UpDate]\r\nQuarnCAD WEB update system: V9.21\r\nVersion=9.21\r\nQuarnSoft Ltd. 1992-2019.\r\n";

// One file of a published set.
struct SetFile {
  int disc;
  int part;          // PartIndex
  std::string name;  // server name, "\" for subfolders
  std::string content;
};

struct PublishOptions {
  std::string root = "QTest";
  std::vector<int> discsWithoutSection;  // their section is left out of Install.ini
  std::map<int, std::string> extraList;   // disc -> extra lines for its list (after the files)
  std::string extraInstallIni;            // appended to Install.ini
};

class LiveWeb : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!live::GetEnv(&env_)) GTEST_SKIP() << "no test servers: run through tests/e2e/test_web_transfer.py";
    secure_ = GetParam();
    ResetInstallState();
    ResetSessionPrecheckForTest();
    SetStallBoundForTest(0);
    live::SetRules(env_, "[]");
    live::ClearRequests(env_);
    live::DeleteTree(env_.tree + "KelvaranDemo");
    ASSERT_TRUE(live::WriteFileBytes(env_.tree + "Update.ini", kGoodUpdateIni));
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    work_ = std::string(temp) + "quarn-web-live";
    live::DeleteTree(work_);
    ASSERT_TRUE(live::MakeDirs(work_ + "\\QTest\\QuarnWin32\\Install"));
    snprintf(g_state.paths.programFolder, sizeof g_state.paths.programFolder, "%s\\", work_.c_str());
    snprintf(g_state.paths.stagingFolder, sizeof g_state.paths.stagingFolder, "%s\\QTest\\QuarnWin32\\Install\\",
             work_.c_str());
    staging_ = g_state.paths.stagingFolder;
  }

  void TearDown() override {
    SetStallBoundForTest(0);
    CloseSession();
    if (!env_.tree.empty()) live::SetRules(env_, "[]");
  }

  // A new run within the test: the session it opened is closed first (the state's reset would drop its
  // handles without closing them), then the state starts anew.
  void ResetState() {
    CloseSession();
    ResetInstallState();
  }

  // A new run with this test's program and staging folders.
  void NewRun() {
    ResetState();
    snprintf(g_state.paths.programFolder, sizeof g_state.paths.programFolder, "%s\\", work_.c_str());
    snprintf(g_state.paths.stagingFolder, sizeof g_state.paths.stagingFolder, "%s", staging_.c_str());
  }

  // Opens the session of this test's mode on the build's host (closing the one it opened before).
  void Open() {
    CloseSession();
    g_state.download.httpsMode = secure_;
    ASSERT_EQ(OpenSession(secure_, ServerHost(secure_)), 0);
    ASSERT_NE(g_state.internet.session, nullptr);
  }

  std::string Url(const std::string& rel) {
    char dir[256];
    g_state.download.httpsMode = secure_;
    EXPECT_TRUE(UpdateDirectoryUrl(g_state.download.httpsMode, dir, sizeof dir));
    return std::string(dir) + "/" + rel;
  }

  std::string ServedPath(const std::string& rel) {
    std::string p = env_.tree + rel;
    for (char& c : p) c = c == '/' ? '\\' : c;
    return p;
  }

  void Serve(const std::string& rel, const std::string& bytes) {
    ASSERT_TRUE(live::WriteFileBytes(ServedPath(rel), bytes)) << rel;
  }

  // The rule list as JSON, with this test's scheme so that rules never leak into the other mode.
  std::string Rule(const std::string& match, const std::string& rest) {
    return std::string("{\"match\": \"") + match + "\", \"scheme\": \"" + (secure_ ? "https" : "http") +
           "\", " + rest + "}";
  }

  // Writes a set to the served tree: files (filler-encoded when their name says so), a list per disc
  // from 1 to the last disc used, and Install.ini with each present part's size.
  void Publish(const std::vector<SetFile>& files, const PublishOptions& o = PublishOptions()) {
    int lastDisc = 0;
    for (const SetFile& f : files) lastDisc = f.disc > lastDisc ? f.disc : lastDisc;
    std::string install = "[System]\r\nRootDirectory=" + o.root + "\r\nCadSystem=Q\r\n";
    for (int disc = 1; disc <= lastDisc; ++disc) {
      char folder[16];
      FormDiscFolder(disc, folder, sizeof folder);
      std::string list = "[Disc]\r\nName=Disc " + std::to_string(disc) + "\r\n";
      std::string section = "[Disc" + std::string(disc < 10 ? "0" : "") + std::to_string(disc) +
                            "]\r\nName=Disc " + std::to_string(disc) + "\r\n";
      for (int part = 0; part < kPartCount; ++part) {
        long long size = 0;
        int n = 0;
        std::string lines;
        for (const SetFile& f : files) {
          if (f.disc != disc || f.part != part) continue;
          size += static_cast<long long>(f.content.size());
          lines += "File" + std::to_string(++n) + "=\\" + f.name + " \\QuarnWin32\\" + f.name + "\r\n";
          Serve(std::string("KelvaranDemo/") + folder + "/" + f.name,
                IsFillerName(f.name.c_str()) ? live::FillerEncode(f.content) : f.content);
        }
        if (n == 0) continue;
        list += std::string("[") + kPartNames[part] + "]\r\n" + lines;
        section += std::string(kPartNames[part]) + "=" + std::to_string(size) + "\r\n";
      }
      auto extra = o.extraList.find(disc);
      if (extra != o.extraList.end()) list += extra->second;
      Serve(std::string("KelvaranDemo/") + folder + "/Fajls_" + std::to_string(disc) + ".ini", list);
      bool skip = false;
      for (int d : o.discsWithoutSection) skip = skip || d == disc;
      if (!skip) install += section;
    }
    install += o.extraInstallIni;
    installIni_ = install;
    Serve("KelvaranDemo/Disc_01/Install.ini", install);
  }

  std::string Staged(const std::string& rel) { return staging_ + rel; }

  void ExpectStaged(const std::string& rel, const std::string& content) {
    std::string got;
    ASSERT_TRUE(live::ReadFileBytes(Staged(rel), &got)) << rel << " was not staged";
    EXPECT_EQ(got.size(), content.size()) << rel;
    EXPECT_TRUE(got == content) << rel << " differs from the published content";
  }

  void SelectForDownload(std::initializer_list<int> parts) {
    for (int p = 0; p < kPartCount; ++p) g_state.download.downloadSelected[p] = 0;
    for (int p : parts) g_state.download.downloadSelected[p] = 1;
  }

  live::Env env_;
  int secure_ = 0;
  std::string work_;
  std::string staging_;
  std::string installIni_;
  DownloadRun run_{kSetPolicy};  // one test's download run
};

std::string ModeName(const ::testing::TestParamInfo<int>& info) { return info.param ? "Https" : "Http"; }

INSTANTIATE_TEST_SUITE_P(BothHosts, LiveWeb, ::testing::Values(1, 0), ModeName);

// ---- Session ----

TEST_P(LiveWeb, SessionOpensAndClosesBothHandles) {
  Open();
  EXPECT_NE(g_state.internet.connection, nullptr);
  CloseSession();
  EXPECT_EQ(g_state.internet.session, nullptr);
  EXPECT_EQ(g_state.internet.connection, nullptr);
  CloseSession();  // nothing open: nothing happens
  EXPECT_EQ(g_state.internet.session, nullptr);
}

TEST_P(LiveWeb, RefusedHostFailsTheOpenAndTheOtherModeCanFollow) {
  // Port 1 on loopback: nobody listens there, the connection is refused.
  g_state.download.httpsMode = secure_;
  EXPECT_EQ(OpenSession(secure_, secure_ ? "localhost:1" : "127.0.0.1:1"), 1);
  EXPECT_EQ(g_state.internet.session, nullptr);
  EXPECT_EQ(g_state.internet.connection, nullptr);
  // The worker's fallback: the other host opens and passes the probe.
  int other = !secure_;
  g_state.download.httpsMode = other;
  ASSERT_EQ(OpenSession(other, ServerHost(other)), 0);
  EXPECT_TRUE(ProbeServer(g_state.internet.session));
}

TEST_P(LiveWeb, ReachabilityIsCheckedBeforeTheFirstOpenOnly) {
  Open();
  EXPECT_TRUE(ProbeServer(g_state.internet.session));
  CloseSession();
  // The second open of the process makes no pre-check: even a refused host opens, since nothing
  // connects before the first request.
  g_state.download.httpsMode = secure_;
  EXPECT_EQ(OpenSession(secure_, secure_ ? "localhost:1" : "127.0.0.1:1"), 0);
  EXPECT_NE(g_state.internet.session, nullptr);
  CloseSession();
  ResetSessionPrecheckForTest();
  EXPECT_EQ(OpenSession(secure_, secure_ ? "localhost:1" : "127.0.0.1:1"), 1);
  EXPECT_EQ(g_state.internet.session, nullptr);
}

TEST_P(LiveWeb, RequestsCarryTheInstallersUserAgent) {
  Open();
  EXPECT_TRUE(ProbeServer(g_state.internet.session));
  std::vector<std::string> log = live::Requests(env_);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].substr(log[0].rfind('\t') + 1), "QuarnCAD UpDate");
}

// ---- Remote files ----

TEST_P(LiveWeb, OpenAcceptsOnlyStatus200WithAPositiveLength) {
  Open();
  const std::string body = live::PseudoRandomBytes(3000, 7);
  Serve("KelvaranDemo/Disc_01/f.bin", body);
  Serve("KelvaranDemo/Disc_01/other.bin", "redirected\r\n");
  struct Case {
    const char* what;
    std::string rule;  // empty: no rule
    bool opens;
    DWORD length;
  } cases[] = {
      {"plain file", "", true, 3000},
      {"status 404", Rule("*/f.bin", "\"action\": \"status\", \"status\": 404"), false, 0},
      {"status 500", Rule("*/f.bin", "\"action\": \"status\", \"status\": 500"), false, 0},
      {"chunked, no length", Rule("*/f.bin", "\"action\": \"chunked\""), false, 0},
      {"no length, close-delimited", Rule("*/f.bin", "\"action\": \"nolength\""), false, 0},
      {"length 0", Rule("*/f.bin", "\"action\": \"length0\""), false, 0},
      {"negative length", Rule("*/f.bin", "\"action\": \"content_length\", \"value\": \"-5\""), false, 0},
      {"length beyond 32 bits", Rule("*/f.bin", "\"action\": \"content_length\", \"value\": \"99999999999\""),
       false, 0},
      {"redirect to another file", Rule("*/f.bin", "\"action\": \"redirect\", \"location\": \"other.bin\""),
       true, 12},
      {"redirect to a missing file", Rule("*/f.bin", "\"action\": \"redirect\", \"location\": \"nothing\""),
       false, 0},
  };
  for (const Case& c : cases) {
    live::SetRules(env_, c.rule.empty() ? "[]" : "[" + c.rule + "]");
    HINTERNET request = reinterpret_cast<HINTERNET>(1);
    DWORD length = 12345;
    int r = OpenRemoteFile(Url("KelvaranDemo/Disc_01/f.bin").c_str(), &request, &length);
    EXPECT_EQ(r == 0, c.opens) << c.what;
    EXPECT_EQ(length, c.length) << c.what;
    if (r == 0) {
      ASSERT_NE(request, nullptr);
      EXPECT_TRUE(InternetCloseHandle(request));
    } else {
      EXPECT_EQ(request, nullptr) << c.what;
    }
  }
  HINTERNET request = nullptr;
  DWORD length = 0;
  EXPECT_EQ(OpenRemoteFile(Url("KelvaranDemo/Disc_01/missing.bin").c_str(), &request, &length), 1);
}

// A server that redirects a file to itself must not hold the installer for ever: redirections are
// followed ten times at most (WinINet alone would follow the loop endlessly under Wine).
TEST_P(LiveWeb, RedirectionsAreFollowedTenTimesAtMost) {
  Open();
  Serve("KelvaranDemo/Disc_01/f.bin", live::PseudoRandomBytes(3000, 5));
  g_state.download.httpsMode = !secure_;
  char otherHost[256];
  ASSERT_TRUE(UpdateDirectoryUrl(g_state.download.httpsMode, otherHost, sizeof otherHost));
  g_state.download.httpsMode = secure_;
  const std::string toSelf = "\"action\": \"redirect\", \"location\": \"f.bin\"";
  struct Case {
    const char* what;
    std::string rules;
    bool opens;
    int requests;  // requests made for f.bin and the files it redirects to
  } cases[] = {
      {"a loop to itself", Rule("*/f.bin", toSelf), false, 11},
      {"ten redirections, then the file", Rule("*/f.bin", toSelf + ", \"times\": 10"), true, 11},
      {"eleven redirections, then the file", Rule("*/f.bin", toSelf + ", \"times\": 11"), false, 11},
      {"a chain through two other names",
       Rule("*/a.bin", "\"action\": \"redirect\", \"location\": \"b.bin\"") + ", " +
           Rule("*/b.bin", "\"action\": \"redirect\", \"status\": 301, \"location\": \"f.bin\""),
       true, 3},
      // The other host serves the other scheme: from HTTP to HTTPS the redirection is followed, from
      // HTTPS to plain HTTP it is refused before any request reaches the HTTP host.
      {"to the other host", Rule("*/a.bin", "\"action\": \"redirect\", \"location\": \"" +
                                               std::string(otherHost) + "/KelvaranDemo/Disc_01/f.bin\""),
       !secure_, secure_ ? 1 : 2},
  };
  for (const Case& c : cases) {
    live::SetRules(env_, "[" + c.rules + "]");
    live::ClearRequests(env_);
    const bool chain = c.rules.find("a.bin") != std::string::npos;
    HINTERNET request = nullptr;
    DWORD length = 0;
    int r = OpenRemoteFile(Url(chain ? "KelvaranDemo/Disc_01/a.bin" : "KelvaranDemo/Disc_01/f.bin").c_str(),
                           &request, &length);
    EXPECT_EQ(r == 0, c.opens) << c.what;
    EXPECT_EQ(length, c.opens ? 3000u : 0u) << c.what;
    if (r == 0) {
      EXPECT_TRUE(InternetCloseHandle(request)) << c.what;
    }
    EXPECT_EQ(static_cast<int>(live::Requests(env_).size()), c.requests) << c.what;
  }
  // The probe goes through the same open.
  live::SetRules(env_, "[" + Rule("*/Update.ini", "\"action\": \"redirect\", \"location\": \"Update.ini\"") + "]");
  live::ClearRequests(env_);
  EXPECT_FALSE(ProbeServer(g_state.internet.session));
  EXPECT_EQ(live::CountRequests(env_, "/Update.ini"), 11);
}

TEST_P(LiveWeb, WholeFileOpenRefusesAHugeAnnouncedLength) {
  Open();
  Serve("KelvaranDemo/Disc_01/Install.ini", "[System]\r\nRootDirectory=X\r\n");
  live::SetRules(env_, "[" + Rule("*/Install.ini", "\"action\": \"content_length\", \"value\": \"2000000000\"") + "]");
  HINTERNET request = nullptr;
  DWORD length = 0;
  EXPECT_EQ(OpenRemoteTextFile(Url("KelvaranDemo/Disc_01/Install.ini").c_str(), &request, &length), 1);
  EXPECT_EQ(request, nullptr);
  EXPECT_EQ(length, 0u);
  // Nothing was allocated for it either: the description read fails cleanly.
  EXPECT_EQ(run_.ReadRemoteDescription(NoDisplay()), 1);
  EXPECT_EQ(g_state.flags.cancelRequested.load(), 1);
}

// The whole-file read (Install.ini, the lists) takes the request over and closes it: 0 only when every
// announced byte arrived. A server that stops sending is given up after the bound without a byte.
TEST_P(LiveWeb, ReadTakesTheWholeFileOrFails) {
  Open();
  const std::string body = live::PseudoRandomBytes(200000, 3);
  Serve("KelvaranDemo/Disc_01/f.bin", body);
  SetStallBoundForTest(1000);
  struct Case {
    const char* what;
    std::string rule;
    bool whole;
  } cases[] = {
      {"plain", "", true},
      {"trickled in many pieces", Rule("*/f.bin", "\"action\": \"trickle\", \"chunk\": 40000, \"delay\": 0.01"),
       true},
      {"short body, then close", Rule("*/f.bin", "\"action\": \"short\", \"bytes\": 1000"), false},
      {"reset in mid-file", Rule("*/f.bin", "\"action\": \"reset\", \"bytes\": 70000"), false},
      {"stalled in mid-file", Rule("*/f.bin", "\"action\": \"stall\", \"bytes\": 70000"), false},
  };
  for (const Case& c : cases) {
    live::SetRules(env_, c.rule.empty() ? "[]" : "[" + c.rule + "]");
    HINTERNET request = nullptr;
    DWORD length = 0;
    int opened = OpenRemoteFile(Url("KelvaranDemo/Disc_01/f.bin").c_str(), &request, &length);
    // A reset can arrive before the headers were read: then already the open fails.
    if (opened != 0 && !c.whole && c.rule.find("reset") != std::string::npos) continue;
    ASSERT_EQ(opened, 0) << c.what;
    ASSERT_EQ(length, body.size()) << c.what;
    std::string buffer(length, '\0');
    int r = ReadRemoteFile(ScopedInternet(request), &buffer[0], length);
    EXPECT_EQ(r, c.whole ? 0 : 1) << c.what;
    if (c.whole) {
      EXPECT_TRUE(buffer == body) << c.what;
    }
  }
}

// ---- Probe ----

TEST_P(LiveWeb, ProbeAcceptsOnlyTheMakersUpdateFile) {
  Open();
  const std::string header = "QuarnCAD WEB update system: V9.21\r\n";
  const std::string copyright = "QuarnSoft Ltd. 1992-2019.\r\n";
  struct Case {
    const char* what;
    std::string updateIni;
    std::string rule;
    bool accepted;
  } cases[] = {
      {"good", kGoodUpdateIni, "", true},
      {"markers in the wrong order", copyright + header, "", false},
      {"last marker without CR LF", header + "QuarnSoft Ltd. 1992-2019.", "", false},
      {"LF line ends", "QuarnCAD WEB update system: V9.21\nQuarnSoft Ltd. 1992-2019.\n", "", false},
      {"status 404", kGoodUpdateIni, Rule("*/Update.ini", "\"action\": \"status\", \"status\": 404"), false},
      {"no length", kGoodUpdateIni, Rule("*/Update.ini", "\"action\": \"chunked\""), false},
      {"length 0", kGoodUpdateIni, Rule("*/Update.ini", "\"action\": \"length0\""), false},
      // A short body: the probe scans what arrived; here both markers arrived whole.
      {"short body holding both markers", header + copyright + std::string(4000, 'x'),
       Rule("*/Update.ini", "\"action\": \"short\", \"bytes\": " + std::to_string(header.size() + copyright.size())),
       true},
      {"short body losing the second marker", header + copyright + std::string(4000, 'x'),
       Rule("*/Update.ini", "\"action\": \"short\", \"bytes\": 40"), false},
      {"redirected to a good file", "nothing here\r\n",
       Rule("*/Update.ini", "\"action\": \"redirect\", \"location\": \"KelvaranDemo/good.ini\""), true},
  };
  Serve("KelvaranDemo/good.ini", kGoodUpdateIni);
  for (const Case& c : cases) {
    Serve("Update.ini", c.updateIni);
    live::SetRules(env_, c.rule.empty() ? "[]" : "[" + c.rule + "]");
    EXPECT_EQ(ProbeServer(g_state.internet.session), c.accepted) << c.what;
  }
}

TEST_P(LiveWeb, ServerWithoutLengthsHoldsNothingOnEitherHost) {
  // Every answer chunked, on both hosts: neither probe passes (the worker then reports no connection).
  live::SetRules(env_, "[{\"match\": \"*\", \"action\": \"chunked\"}]");
  Open();
  EXPECT_FALSE(ProbeServer(g_state.internet.session));
  CloseSession();
  int other = !secure_;
  g_state.download.httpsMode = other;
  ASSERT_EQ(OpenSession(other, ServerHost(other)), 0);
  EXPECT_FALSE(ProbeServer(g_state.internet.session));
  EXPECT_EQ(live::CountRequests(env_, "/Update.ini"), 2);
}

TEST_P(LiveWeb, ProbeRejectsWhenCancelled) {
  Open();
  EXPECT_TRUE(ProbeServer(g_state.internet.session));
  g_state.flags.cancelRequested = 1;
  EXPECT_FALSE(ProbeServer(g_state.internet.session));
}

TEST_P(LiveWeb, ProbeOfTheWrongServerLetsTheCallerFallBack) {
  // This mode's host answers, but not as the maker's server: the caller closes and tries the other.
  live::SetRules(env_, "[" + Rule("*/Update.ini", "\"action\": \"status\", \"status\": 404") + "]");
  Open();
  EXPECT_FALSE(ProbeServer(g_state.internet.session));
  CloseSession();
  int other = !secure_;
  g_state.download.httpsMode = other;
  ASSERT_EQ(OpenSession(other, ServerHost(other)), 0);
  EXPECT_TRUE(ProbeServer(g_state.internet.session));
}

// ---- Remote description ----

std::vector<SetFile> ThreeDiscSet() {
  return {
      {1, kSetup, "setup.cfg", live::PseudoRandomBytes(3001, 1)},
      {1, kSystems, "quarnex_32.exe", live::PseudoRandomBytes(700001, 2)},  // filler, several chunks
      {1, kSystems, "qdl_core.dll", live::PseudoRandomBytes(1, 3)},         // filler, one byte
      {1, kHelp, "Help\\guide.hlp", live::PseudoRandomBytes(5000, 4)},      // in a subfolder
      {2, kDrawings, "a.dwg", live::PseudoRandomBytes(1200000, 5)},        // three chunks
      {2, kDrawings, "b.dwg", std::string("\r\n\r\n", 4)},
      {2, kBlocks, "blk.dat", live::PseudoRandomBytes(100, 6)},             // not selected
      {3, kDatas, "db.dat", live::PseudoRandomBytes(512000, 7)},            // exactly one chunk
      {3, kHelp, "more.hlp", live::PseudoRandomBytes(10, 8)},
  };
}

long long SelectedBytes(const std::vector<SetFile>& files, std::initializer_list<int> parts) {
  long long s = 0;
  for (const SetFile& f : files) {
    for (int p : parts) s += f.part == p ? static_cast<long long>(f.content.size()) : 0;
  }
  return s;
}

TEST_P(LiveWeb, RemoteDescriptionSetsRootSizesAndTotal) {
  std::vector<SetFile> set = ThreeDiscSet();
  PublishOptions o;
  // Sizes by the number rules: "12abc" is 12; a part listed without a size is not present.
  o.extraInstallIni = "[Disc05]\r\nSetup=12abc\r\nBlocks=7\r\n";
  Publish(set, o);
  Open();
  SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  EXPECT_STREQ(g_state.choices.rootName, "QTest");
  EXPECT_EQ(std::string(g_state.paths.programFolder), work_ + "\\QTest\\QuarnWin32\\");
  const RemoteDescription& r = g_state.download.remote;
  EXPECT_EQ(r.discs[0].present[kSetup], 1);
  EXPECT_EQ(r.discs[0].size[kSetup], 3001);
  EXPECT_EQ(r.discs[0].size[kSystems], 700002);
  EXPECT_EQ(r.discs[0].size[kHelp], 5000);
  EXPECT_EQ(r.discs[0].present[kDrawings], 0);
  EXPECT_EQ(r.discs[1].size[kDrawings], 1200004);
  EXPECT_EQ(r.discs[1].present[kBlocks], 0);  // not selected for download
  EXPECT_EQ(r.discs[2].size[kDatas], 512000);
  EXPECT_EQ(r.discs[4].size[kSetup], 12);
  EXPECT_EQ(r.discs[4].present[kBlocks], 0);
  long long s = SelectedBytes(set, {kSetup, kSystems, kDrawings, kDatas, kHelp}) + 12;
  EXPECT_EQ(r.overallTotal, 2 * s);
  EXPECT_EQ(r.bytesDone, 0);
  EXPECT_EQ(g_state.flags.cancelRequested.load(), 0);
}

TEST_P(LiveWeb, RemoteDescriptionMissingOnTheServerCancels) {
  Open();
  g_state.download.downloadSelected[kSetup] = 1;
  EXPECT_EQ(run_.ReadRemoteDescription(NoDisplay()), 1);
  EXPECT_EQ(g_state.flags.cancelRequested.load(), 1);
}

TEST_P(LiveWeb, RemoteDescriptionStopsWhenCancelled) {
  Publish(ThreeDiscSet());
  Open();
  g_state.download.downloadSelected[kSetup] = 1;
  g_state.flags.cancelRequested = 1;
  EXPECT_EQ(run_.ReadRemoteDescription(NoDisplay()), 1);
  EXPECT_EQ(g_state.download.remote.overallTotal, 0);
  EXPECT_EQ(g_state.download.remote.discs[0].present[kSetup], 0);
}

// The message box of a missing or unusable root folder name, found and answered from this thread while
// ReadRemoteDescription waits in it on another.
struct BoxSeen {
  std::string caption;
  std::string text;
};

struct DescriptionCall {
  DownloadRun* run;
  int* result;
};

DWORD WINAPI ReadDescriptionThread(LPVOID p) {
  DescriptionCall* call = static_cast<DescriptionCall*>(p);
  *call->result = call->run->ReadRemoteDescription(NoDisplay());
  return 0;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM out) {
  char cls[32] = "";
  GetClassNameA(child, cls, sizeof cls);
  char text[512] = "";
  GetWindowTextA(child, text, sizeof text);
  if (!lstrcmpiA(cls, "Static") && text[0]) *reinterpret_cast<std::string*>(out) += text;
  return TRUE;
}

// With QUARN_WEB_BOX_SHOT set (a folder), the first box stays up until the screenshot is taken: this
// side writes "box-up" with the box's rectangle, the Python side takes the picture and writes
// "shot-done".
void HoldForScreenshot(HWND box) {
  static bool held = false;
  const char* folder = getenv("QUARN_WEB_BOX_SHOT");
  if (folder == nullptr || held) return;
  held = true;
  live::WaitFor([&] { return IsWindowVisible(box) != FALSE; }, 10000);
  RECT r = {};
  GetWindowRect(box, &r);
  char rect[64];
  snprintf(rect, sizeof rect, "%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
  std::string dir = folder;
  live::WriteFileBytes(dir + "\\box-up", rect);
  EXPECT_TRUE(live::WaitFor([&] { return live::FileExists(dir + "\\shot-done"); }, 30000))
      << "no screenshot taken";
}

BoxSeen RunDescriptionExpectingBox(DownloadRun& run, int* result) {
  BoxSeen seen;
  *result = -1;
  DescriptionCall call{&run, result};
  HANDLE t = CreateThread(nullptr, 0, ReadDescriptionThread, &call, 0, nullptr);
  HWND box = nullptr;
  live::WaitFor([&] { return (box = FindWindowA("#32770", "QuarnCAD System Error!")) != nullptr ||
                             WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }, 20000);
  if (box != nullptr) {
    HoldForScreenshot(box);
    char caption[256] = "";
    GetWindowTextA(box, caption, sizeof caption);
    seen.caption = caption;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&seen.text));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  WaitForSingleObject(t, 20000);
  CloseHandle(t);
  return seen;
}

TEST_P(LiveWeb, MissingOrUnusableRootFolderIsReportedAndCancels) {
  struct Case {
    const char* what;
    std::string installIni;
  } cases[] = {
      {"absent", "[System]\r\nCadSystem=Q\r\n[Disc01]\r\nSetup=5\r\n"},
      {"star", "[System]\r\nRootDirectory=*\r\n[Disc01]\r\nSetup=5\r\n"},
      {"climbs out", "[System]\r\nRootDirectory=..\\Windows\r\n[Disc01]\r\nSetup=5\r\n"},
      {"names a drive", "[System]\r\nRootDirectory=C:\\Evil\r\n[Disc01]\r\nSetup=5\r\n"},
      {"two levels", "[System]\r\nRootDirectory=A\\B\r\n[Disc01]\r\nSetup=5\r\n"},
  };
  for (const Case& c : cases) {
    ResetState();
    snprintf(g_state.paths.programFolder, sizeof g_state.paths.programFolder, "%s\\", work_.c_str());
    CopyText(g_state.choices.rootName, sizeof g_state.choices.rootName, "V92Demo");
    g_state.download.downloadSelected[kSetup] = 1;
    Serve("KelvaranDemo/Disc_01/Install.ini", c.installIni);
    Open();
    int result = -1;
    BoxSeen seen = RunDescriptionExpectingBox(run_, &result);
    EXPECT_EQ(result, 1) << c.what;
    EXPECT_EQ(seen.caption, "QuarnCAD System Error!") << c.what;
    // "A telepítési könyvtár nem található a WEB-en!"
    EXPECT_EQ(seen.text, "A telep\xEDt\xE9si k\xF6nyvt\xE1r nem tal\xE1lhat\xF3 a WEB-en!") << c.what;
    EXPECT_EQ(g_state.flags.cancelRequested.load(), 1) << c.what;
    EXPECT_STREQ(g_state.choices.rootName, "V92Demo") << c.what;
    EXPECT_EQ(std::string(g_state.paths.programFolder), work_ + "\\") << c.what;
    EXPECT_EQ(g_state.download.remote.overallTotal, 0) << c.what;
    CloseSession();
  }
}

// ---- The set download ----

TEST_P(LiveWeb, StagesAThreeDiscSetByteForByte) {
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  Open();
  SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  int installFetches = live::CountRequests(env_, "/Disc_01/Install.ini");
  EXPECT_EQ(installFetches, 1);

  const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
  EXPECT_EQ(outcome.end, DownloadEnd::kComplete) << outcome.failedFile;

  for (const SetFile& f : set) {
    char folder[16];
    FormDiscFolder(f.disc, folder, sizeof folder);
    std::string rel = std::string(folder) + "\\" + f.name;
    if (f.part == kBlocks) {
      EXPECT_FALSE(live::FileExists(Staged(rel))) << "a part not selected was fetched: " << rel;
    } else {
      ExpectStaged(rel, f.content);  // filler files decoded
    }
  }
  // The lists and Install.ini exactly as served.
  for (int disc = 1; disc <= 3; ++disc) {
    std::string served;
    std::string name = "Fajls_" + std::to_string(disc) + ".ini";
    char folder[16];
    FormDiscFolder(disc, folder, sizeof folder);
    ASSERT_TRUE(live::ReadFileBytes(ServedPath(std::string("KelvaranDemo/") + folder + "/" + name), &served));
    ExpectStaged(std::string(folder) + "\\" + name, served);
  }
  ExpectStaged("Disc_01\\Install.ini", installIni_);
  // Install.ini came a second time, after disc 1's files and before the next disc's list, and that
  // fetch did not move the display: exactly the selected bytes were counted once.
  EXPECT_EQ(live::CountRequests(env_, "/Disc_01/Install.ini"), 2);
  std::vector<std::string> log = live::Requests(env_);
  int lastInstall = -1;
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].find("/Disc_01/Install.ini") != std::string::npos) lastInstall = static_cast<int>(i);
  }
  EXPECT_GT(lastInstall, live::FirstRequest(env_, "/Disc_01/Help/guide.hlp"));
  EXPECT_LT(lastInstall, live::FirstRequest(env_, "/Disc_02/Fajls_2.ini"));
  EXPECT_EQ(g_state.download.remote.bytesDone, SelectedBytes(set, {kSetup, kSystems, kDrawings, kDatas, kHelp}));
  EXPECT_EQ(g_state.download.remote.bytesDone * 2, g_state.download.remote.overallTotal);
  // The end of the set: the first disc without a list. Its folder was made and stays empty.
  EXPECT_TRUE(live::DirExists(Staged("Disc_04")));
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(Staged("Disc_04\\*").c_str(), &fd);
  int entries = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do entries += (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..")) ? 1 : 0;
    while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  EXPECT_EQ(entries, 0) << "the folder of the disc past the set stays empty";
  EXPECT_FALSE(live::DirExists(Staged("Disc_05")));
  EXPECT_EQ(live::CountRequests(env_, "/Fajls_4.ini"), 1);
  EXPECT_EQ(live::CountRequests(env_, "/Fajls_5.ini"), 0);
  EXPECT_EQ(g_state.flags.cancelRequested.load(), 0);  // a stop is not a cancel
}

// With hash data, a file an earlier run staged whole is kept, found by its name in any letter case, in
// the disc folder or a subfolder of it; a staged file that differs is fetched again, and so is every
// file the folder does not hold.
TEST_P(LiveWeb, EarlierStagedFilesAreKeptWhenTheyMatchTheListsHashData) {
  const std::vector<SetFile> set = {
      {1, kSetup, "setup.cfg", live::PseudoRandomBytes(3001, 31)},
      {1, kSystems, "kept.dat", live::PseudoRandomBytes(600000, 32)},
      {1, kSystems, "stale.dat", live::PseudoRandomBytes(2000, 33)},
      {1, kSystems, "new.dat", live::PseudoRandomBytes(2000, 34)},
      {1, kHelp, "Help\\guide.hlp", live::PseudoRandomBytes(5000, 35)},
  };
  PublishOptions o;
  o.extraList[1] = "[Hashes]\r\n";
  for (const SetFile& f : set) {
    unsigned char digest[kSha256Size];
    Sha256Hasher hasher;
    ASSERT_TRUE(hasher.Update(f.content.data(), f.content.size()) && hasher.Finish(digest));
    o.extraList[1] += FormatHashLine(f.name, f.content.size(), digest) + "\r\n";
  }
  Publish(set, o);
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01\\Help")));
  ASSERT_TRUE(live::WriteFileBytes(Staged("Disc_01\\SETUP.CFG"), set[0].content));
  ASSERT_TRUE(live::WriteFileBytes(Staged("Disc_01\\kept.dat"), set[1].content));
  ASSERT_TRUE(live::WriteFileBytes(Staged("Disc_01\\stale.dat"), live::PseudoRandomBytes(2000, 99)));
  ASSERT_TRUE(live::WriteFileBytes(Staged("Disc_01\\Help\\guide.hlp"), set[4].content));
  Open();
  SelectForDownload({kSetup, kSystems, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
  EXPECT_EQ(outcome.end, DownloadEnd::kComplete) << outcome.failedFile;
  const struct {
    const char* path;  // as requested
    int requests;
  } expected[] = {{"/Disc_01/setup.cfg", 0}, {"/Disc_01/kept.dat", 0}, {"/Disc_01/stale.dat", 1},
                  {"/Disc_01/new.dat", 1}, {"/Disc_01/Help/guide.hlp", 0}};
  for (const auto& e : expected) EXPECT_EQ(live::CountRequests(env_, e.path), e.requests) << e.path;
  ExpectStaged("Disc_01\\setup.cfg", set[0].content);
  for (size_t i = 1; i < set.size(); ++i) ExpectStaged("Disc_01\\" + set[i].name, set[i].content);
}

TEST_P(LiveWeb, ListIsWrittenLastSoADiscCutShortHasNone) {
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  live::SetRules(env_, "[" + Rule("*/Disc_02/b.dwg", "\"action\": \"status\", \"status\": 404") + "]");
  Open();
  SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
  // The phase ends at the failed file and names it as the server does.
  EXPECT_EQ(outcome.end, DownloadEnd::kFileFailed);
  EXPECT_STREQ(outcome.failedFile, "b.dwg");
  EXPECT_TRUE(live::FileExists(Staged("Disc_01\\Fajls_1.ini")));
  ExpectStaged("Disc_02\\a.dwg", set[4].content);
  EXPECT_FALSE(live::FileExists(Staged("Disc_02\\b.dwg")));
  EXPECT_FALSE(live::FileExists(Staged("Disc_02\\Fajls_2.ini")));
  EXPECT_FALSE(live::DirExists(Staged("Disc_03")));
  EXPECT_EQ(g_state.flags.cancelRequested.load(), 0);
}

// A disc's list decides how the phase ends. The server's word that there is none (a status it means)
// is the normal end of the set: what came before is installed. A list that does not come (cut, reset,
// busy) is tried again like any file, and when every attempt failed it is a failed file, named like any
// other: ending the set there would report success without the discs after it. Most rows ask the
// installer to wait 0 s (Retry-After: 0) so that five attempts take no time; the dropped connection
// gets the usual backoff.
TEST_P(LiveWeb, DiscListEndsTheSetOnlyWhenTheServerSaysItIsNotThere) {
  const std::string now = ", \"headers\": [[\"Retry-After\", \"0\"]]";
  const struct {
    const char* what;
    std::string rule;
    DownloadEnd end;
    const char* failed;
    int requests;      // for Fajls_2.ini
    bool restStaged;   // discs 2 and 3 arrived
  } cases[] = {
      {"404", "\"action\": \"status\", \"status\": 404", DownloadEnd::kComplete, "", 1, false},
      {"410", "\"action\": \"status\", \"status\": 410", DownloadEnd::kComplete, "", 1, false},
      {"403", "\"action\": \"status\", \"status\": 403", DownloadEnd::kComplete, "", 1, false},
      {"503 once", "\"action\": \"status\", \"status\": 503, \"times\": 1" + now, DownloadEnd::kComplete, "", 2,
       true},
      {"503 always", "\"action\": \"status\", \"status\": 503" + now, DownloadEnd::kFileFailed, "Fajls_2.ini", 5,
       false},
      {"500 always", "\"action\": \"status\", \"status\": 500" + now, DownloadEnd::kFileFailed, "Fajls_2.ini", 5,
       false},
      {"reset before the answer, once", "\"action\": \"drop\", \"times\": 1", DownloadEnd::kComplete, "", 2, true},
      {"cut short once", "\"action\": \"short\", \"bytes\": 10, \"times\": 1" + now, DownloadEnd::kComplete, "", 2,
       true},
      {"cut short always", "\"action\": \"short\", \"bytes\": 10" + now, DownloadEnd::kFileFailed, "Fajls_2.ini",
       5, false},
      {"reset in the body always", "\"action\": \"reset\", \"bytes\": 10" + now, DownloadEnd::kFileFailed,
       "Fajls_2.ini", 5, false},
  };
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  for (const auto& c : cases) {
    live::SetRules(env_, "[" + Rule("*/Disc_02/Fajls_2.ini", c.rule) + "]");
    live::DeleteTree(staging_ + "Disc_01");
    live::DeleteTree(staging_ + "Disc_02");
    live::DeleteTree(staging_ + "Disc_03");
    NewRun();
    SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
    Open();
    ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0) << c.what;
    const int before = live::CountRequests(env_, "/Disc_02/Fajls_2.ini");
    const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
    EXPECT_EQ(outcome.end, c.end) << c.what;
    EXPECT_STREQ(outcome.failedFile, c.failed) << c.what;
    EXPECT_EQ(live::CountRequests(env_, "/Disc_02/Fajls_2.ini") - before, c.requests) << c.what;
    EXPECT_TRUE(live::FileExists(Staged("Disc_01\\Fajls_1.ini"))) << c.what;
    EXPECT_EQ(live::FileExists(Staged("Disc_02\\Fajls_2.ini")), c.restStaged) << c.what;
    EXPECT_EQ(live::FileExists(Staged("Disc_02\\a.dwg")), c.restStaged) << c.what;
    EXPECT_EQ(live::FileExists(Staged("Disc_03\\Fajls_3.ini")), c.restStaged) << c.what;
    if (c.restStaged) {
      ExpectStaged("Disc_02\\a.dwg", set[4].content);
      ExpectStaged("Disc_03\\db.dat", set[7].content);
    }
    EXPECT_EQ(g_state.flags.cancelRequested.load(), 0) << c.what;
    CloseSession();
  }
}

// A list that Sign.ini names belongs to the set. The server's word that it is not there means the set
// was cut short: refused as damaged, as before. A list that does not come is a failed file like any
// other: the set is not to blame for a busy server. (Sign.ini without a signature: hashes only.)
TEST_P(LiveWeb, ListNamedBySignIniIsRefusedWhenAbsentAndFailsWhenItDoesNotCome) {
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  // Sign.ini's line for a served file: "name=size sha256".
  auto line = [&](const char* name) {
    std::string bytes;
    EXPECT_TRUE(live::ReadFileBytes(ServedPath(std::string("KelvaranDemo/Disc_01/") + name), &bytes)) << name;
    unsigned char digest[kSha256Size];
    Sha256Hasher hasher;
    EXPECT_TRUE(hasher.Update(bytes.data(), bytes.size()) && hasher.Finish(digest)) << name;
    return std::string(name) + "=" + std::to_string(bytes.size()) + " " + HexText(digest, kSha256Size) + "\r\n";
  };
  Serve("KelvaranDemo/Disc_01/Sign.ini", "[Hashes]\r\n" + line("Install.ini") + line("Fajls_1.ini") +
                                             "Fajls_2.ini=1 " + std::string(64, '0') + "\r\n");
  struct Silent {  // the refusal's box is only logged, as in a silent run
    Silent() { SetSilentRun(true); }
    ~Silent() { SetSilentRun(false); }
  } silent;
  const std::string now = ", \"headers\": [[\"Retry-After\", \"0\"]]";
  const struct {
    const char* what;
    std::string rule;
    DownloadEnd end;
    const char* failed;
    int requests;
  } cases[] = {
      {"404", "\"action\": \"status\", \"status\": 404", DownloadEnd::kRefused, "", 1},
      {"503 always", "\"action\": \"status\", \"status\": 503" + now, DownloadEnd::kFileFailed, "Fajls_2.ini", 5},
      {"cut short always", "\"action\": \"short\", \"bytes\": 10" + now, DownloadEnd::kFileFailed, "Fajls_2.ini", 5},
  };
  for (const auto& c : cases) {
    live::SetRules(env_, "[" + Rule("*/Disc_02/Fajls_2.ini", c.rule) + "]");
    live::DeleteTree(staging_ + "Disc_01");
    live::DeleteTree(staging_ + "Disc_02");
    NewRun();
    SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
    Open();
    ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0) << c.what;
    const int before = live::CountRequests(env_, "/Disc_02/Fajls_2.ini");
    const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
    EXPECT_EQ(outcome.end, c.end) << c.what;
    EXPECT_STREQ(outcome.failedFile, c.failed) << c.what;
    EXPECT_EQ(run_.SetWasRefused(), c.end == DownloadEnd::kRefused) << c.what;
    EXPECT_EQ(live::CountRequests(env_, "/Disc_02/Fajls_2.ini") - before, c.requests) << c.what;
    EXPECT_TRUE(live::FileExists(Staged("Disc_01\\Fajls_1.ini"))) << c.what << ": disc 1 passed its check";
    EXPECT_FALSE(live::FileExists(Staged("Disc_02\\a.dwg"))) << c.what;
    CloseSession();
  }
}

TEST_P(LiveWeb, DiscWithoutSectionStillHasItsListStaged) {
  std::vector<SetFile> set = ThreeDiscSet();
  PublishOptions o;
  o.discsWithoutSection = {2};
  // A part listed in disc 3's list but without a size in Install.ini is not fetched either.
  o.extraList[3] = "[Blocks]\r\nFile1=\\extra.blk \\QuarnWin32\\extra.blk\r\n";
  Publish(set, o);
  Serve("KelvaranDemo/Disc_03/extra.blk", "xyz");
  Open();
  SelectForDownload({kSetup, kSystems, kDrawings, kBlocks, kDatas, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  EXPECT_EQ(run_.DownloadInstallationSet(NoDisplay()).end, DownloadEnd::kComplete);
  EXPECT_TRUE(live::FileExists(Staged("Disc_02\\Fajls_2.ini")));
  EXPECT_FALSE(live::FileExists(Staged("Disc_02\\a.dwg")));
  EXPECT_EQ(live::CountRequests(env_, "/Disc_02/a.dwg"), 0);
  EXPECT_FALSE(live::FileExists(Staged("Disc_03\\extra.blk")));
  ExpectStaged("Disc_03\\db.dat", set[7].content);
  EXPECT_TRUE(live::FileExists(Staged("Disc_03\\Fajls_3.ini")));
}

struct DownloadCall {
  DownloadRun* run;
  DownloadOutcome outcome;
};

DWORD WINAPI DownloadSetThread(LPVOID p) {
  DownloadCall* call = static_cast<DownloadCall*>(p);
  call->outcome = call->run->DownloadInstallationSet(NoDisplay());
  return 0;
}

TEST_P(LiveWeb, CancelIsObeyedBetweenFilesNeverInsideOne) {
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  // The big filler file trickles: time enough to cancel while it is on its way.
  live::SetRules(env_, "[" + Rule("*/quarnex_32.exe", "\"action\": \"trickle\", \"chunk\": 100000, \"delay\": 0.05") + "]");
  Open();
  SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  DownloadCall call{&run_, DownloadOutcome{}};
  call.outcome.end = DownloadEnd::kFileFailed;
  HANDLE t = CreateThread(nullptr, 0, DownloadSetThread, &call, 0, nullptr);
  ASSERT_TRUE(live::WaitFor([&] { return live::CountRequests(env_, "/quarnex_32.exe") == 1; }, 30000));
  g_state.flags.cancelRequested = 1;
  ASSERT_EQ(WaitForSingleObject(t, 60000), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_EQ(call.outcome.end, DownloadEnd::kCancelled);
  ExpectStaged("Disc_01\\quarnex_32.exe", set[1].content);  // the file in transfer finished whole
  EXPECT_EQ(live::CountRequests(env_, "/qdl_core.dll"), 0);
  EXPECT_FALSE(live::FileExists(Staged("Disc_01\\qdl_core.dll")));
  EXPECT_FALSE(live::FileExists(Staged("Disc_01\\Fajls_1.ini")));
  EXPECT_EQ(live::CountRequests(env_, "/Disc_01/Install.ini"), 1);
  EXPECT_FALSE(live::DirExists(Staged("Disc_02")));
}

TEST_P(LiveWeb, ServerNamesLeavingTheDiscFolderFailAndWriteNothing) {
  const char* hostile[] = {"..\\..\\escaped.txt", "C:\\escaped.txt", "\\\\srv\\share\\escaped.txt",
                           "sub\\..\\..\\escaped.txt", "a:escaped.txt", "../escaped.txt"};
  for (const char* name : hostile) {
    std::vector<SetFile> set = {{1, kSetup, "ok.txt", "fine"}};
    PublishOptions o;
    o.extraList[1] = std::string("[Systems]\r\nFile1=\\") + name + " \\QuarnWin32\\x.txt\r\n";
    Publish(set, o);
    Serve("escaped.txt", "outside");
    NewRun();
    Serve("KelvaranDemo/Disc_01/Install.ini",
          "[System]\r\nRootDirectory=QTest\r\n[Disc01]\r\nSetup=4\r\nSystems=7\r\n");
    SelectForDownload({kSetup, kSystems});
    Open();
    ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0) << name;
    const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
    EXPECT_EQ(outcome.end, DownloadEnd::kFileFailed) << name;
    EXPECT_STREQ(outcome.failedFile, name);
    ExpectStaged("Disc_01\\ok.txt", "fine");
    EXPECT_FALSE(live::FileExists(Staged("Disc_01\\Fajls_1.ini"))) << name;  // the phase stopped
    EXPECT_FALSE(live::FileExists(staging_ + "escaped.txt")) << name;
    EXPECT_FALSE(live::FileExists(work_ + "\\QTest\\QuarnWin32\\escaped.txt")) << name;
    EXPECT_FALSE(live::FileExists(work_ + "\\QTest\\escaped.txt")) << name;
    EXPECT_FALSE(live::FileExists("C:\\escaped.txt")) << name;
    EXPECT_EQ(live::CountRequests(env_, "escaped.txt"), 0) << name;
    CloseSession();
    live::DeleteTree(staging_ + "Disc_01");
  }
}

TEST_P(LiveWeb, FailedFileLeavesNoCutCopyAndStopsThePhase) {
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  // An earlier run left the file whole; this run's transfer breaks off on every attempt (the server
  // ignores ranges, so no retry gets further) until the attempts are used up: cut, reset or stalled.
  ASSERT_TRUE(live::WriteFileBytes(Staged("Disc_02\\a.dwg"), "old content"));
  // A stall sends its bytes and then nothing, keeping the connection open; each attempt gives it up
  // after the (here shortened) time without a byte.
  SetStallBoundForTest(1000);
  const char* breaks[] = {"\"action\": \"short\", \"bytes\": 600000, \"ranges\": false",
                          "\"action\": \"reset\", \"bytes\": 600000, \"ranges\": false",
                          "\"action\": \"stall\", \"bytes\": 600000, \"ranges\": false"};
  for (const char* how : breaks) {
    live::SetRules(env_, "[" + Rule("*/Disc_02/a.dwg", how) + "]");
    NewRun();
    SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
    Open();
    ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
    int before = live::CountRequests(env_, "/Disc_02/a.dwg");
    const DownloadOutcome outcome = run_.DownloadInstallationSet(NoDisplay());
    EXPECT_EQ(outcome.end, DownloadEnd::kFileFailed) << how;
    EXPECT_STREQ(outcome.failedFile, "a.dwg") << how;
    EXPECT_EQ(live::CountRequests(env_, "/Disc_02/a.dwg") - before, 5) << how;  // every attempt used
    EXPECT_FALSE(live::FileExists(Staged("Disc_02\\a.dwg"))) << how;
    EXPECT_FALSE(live::FileExists(Staged("Disc_02\\Fajls_2.ini"))) << how;
    EXPECT_FALSE(live::DirExists(Staged("Disc_03"))) << how;
    CloseSession();
  }
}

// A server that stops sending in the middle of a file and keeps the connection open: the attempt is
// given up after the bound without a byte (shortened here; the program's is 60 s), and the next one
// continues from the chunks already staged. The server's stall would last 300 s: the file arriving well
// before that shows the stalled read did not hold the download.
TEST_P(LiveWeb, StalledTransferIsGivenUpAndTheNextAttemptContinues) {
  Open();
  const std::string body = live::PseudoRandomBytes(3 * 512000 + 7, 13);
  Serve("KelvaranDemo/Disc_01/stalls.bin", body);
  live::SetRules(env_, "[" + Rule("*/stalls.bin", "\"action\": \"stall\", \"bytes\": 700000, \"times\": 1") + "]");
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01")));
  SetStallBoundForTest(1500);
  DWORD started = GetTickCount();
  EXPECT_EQ(DownloadFile(NoDisplay(), "Disc_01", "stalls.bin", 1), 0);
  DWORD took = GetTickCount() - started;
  ExpectStaged("Disc_01\\stalls.bin", body);
  // The request log's fourth field is the answer the server gave ("stall", then the plain file).
  std::vector<std::string> actions;
  for (const std::string& line : live::Requests(env_)) {
    std::vector<std::string> fields;
    for (size_t at = 0;;) {
      size_t tab = line.find('\t', at);
      fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    if (fields.size() > 3 && fields[2].size() >= 11 && fields[2].rfind("/stalls.bin") == fields[2].size() - 11) {
      actions.push_back(fields[3]);
    }
  }
  EXPECT_EQ(actions, (std::vector<std::string>{"stall", "file"}));
  EXPECT_GE(took, 1500u) << "given up before the bound";
  EXPECT_LT(took, 60000u) << "the stalled read held the download";
  // The bytes of the first chunk were counted once, however the file arrived.
  EXPECT_EQ(g_state.download.remote.bytesDone, static_cast<int32_t>(body.size()));
}

// A file with hash data is checked from the bytes as they are written, across attempts: a continued
// file goes on hashing from the staged bytes, a file begun again (the server ignored the range) is
// hashed from its first byte, and a filler file is hashed as staged (decoded). Bytes that differ from
// the hash data, before or after the cut, are refused and the file deleted.
TEST_P(LiveWeb, VerifiedFileIsCheckedAcrossAttemptsFromTheBytesWritten) {
  Open();
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01")));
  const std::string body = live::PseudoRandomBytes(3 * 512000 + 11, 21);
  auto entryFor = [](const std::string& name, const std::string& bytes) {
    HashEntry e;
    e.name = name;
    e.size = bytes.size();
    Sha256Hasher h;
    EXPECT_TRUE(h.Update(bytes.data(), bytes.size()) && h.Finish(e.sha256));
    return e;
  };
  auto changedAt = [&](size_t at) {
    std::string other = body;
    other[at] = static_cast<char>(other[at] ^ 0x5A);
    return other;
  };
  static const char kCut[] = "\"action\": \"short\", \"bytes\": 700001, \"times\": 1";
  const struct {
    const char* what;
    const char* name;
    const char* rule;  // how the first attempt breaks off ("" none)
    const char* then;  // how the later ones are answered ("" as without a rule)
    std::string hashedBytes;
    bool staged;
  } cases[] = {
      {"whole", "v1.bin", "", "", body, true},
      {"cut, then continued", "v2.bin", kCut, "", body, true},
      {"cut, then begun again (the range ignored)", "v3.bin", kCut, "\"action\": \"file\", \"ranges\": false", body,
       true},
      {"filler file cut, then continued", "v4.ex_", "\"action\": \"short\", \"bytes\": 1300001, \"times\": 1", "",
       body, true},
      {"differs before the cut", "v5.bin", kCut, "", changedAt(1000), false},
      {"differs after the cut", "v6.bin", kCut, "", changedAt(body.size() - 3), false},
  };
  // The log tells a file hashed as it arrived from one read back from the disk afterwards.
  const std::string logCopy = work_ + "\\verified.log";
  OpenInstallLog(logCopy.c_str());
  for (const auto& c : cases) {
    Serve(std::string("KelvaranDemo/Disc_01/") + c.name, IsFillerName(c.name) ? live::FillerEncode(body) : body);
    std::string rules;
    if (c.rule[0] != '\0') rules += Rule(std::string("*/") + c.name, c.rule);
    if (c.then[0] != '\0') rules += ", " + Rule(std::string("*/") + c.name, c.then);
    live::SetRules(env_, "[" + rules + "]");
    const HashEntry expected = entryFor(c.name, c.hashedBytes);
    bool damaged = false;
    const int before = live::CountRequests(env_, std::string("/") + c.name);
    EXPECT_EQ(DownloadFile(NoDisplay(), "Disc_01", c.name, 1, &expected, &damaged), c.staged ? 0 : 1) << c.what;
    EXPECT_EQ(damaged, !c.staged) << c.what;
    EXPECT_EQ(live::CountRequests(env_, std::string("/") + c.name) - before, c.rule[0] != '\0' ? 2 : 1) << c.what;
    if (c.staged) {
      ExpectStaged(std::string("Disc_01\\") + c.name, body);
    } else {
      EXPECT_FALSE(live::FileExists(Staged(std::string("Disc_01\\") + c.name))) << c.what;
    }
  }
  LogEnd("end of the verified-file cases");
  std::string log;
  ASSERT_TRUE(live::ReadFileBytes(logCopy, &log));
  EXPECT_NE(log.find("v6.bin"), std::string::npos) << "the log copy holds the cases' lines";
  EXPECT_EQ(log.find("hashed again from the disk"), std::string::npos) << "a file was read back:\n" << log;
}

// Cancel during a stall ends the wait for bytes at once, with the program's own 60 s bound: the file
// is not staged and no further attempt is made.
TEST_P(LiveWeb, CancelEndsAStalledTransferAtOnce) {
  Open();
  Serve("KelvaranDemo/Disc_01/stalls.bin", live::PseudoRandomBytes(2 * 512000, 14));
  live::SetRules(env_, "[" + Rule("*/stalls.bin", "\"action\": \"stall\", \"bytes\": 600000") + "]");
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01")));
  SetStallBoundForTest(0);
  struct Run {
    int result = -1;
    static DWORD WINAPI Thread(LPVOID p) {
      static_cast<Run*>(p)->result = DownloadFile(NoDisplay(), "Disc_01", "stalls.bin", 1);
      return 0;
    }
  } run;
  HANDLE t = CreateThread(nullptr, 0, Run::Thread, &run, 0, nullptr);
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(live::WaitFor([&] { return live::CountRequests(env_, "/stalls.bin") == 1; }, 30000));
  g_state.flags.cancelRequested = 1;
  EXPECT_EQ(WaitForSingleObject(t, 15000), WAIT_OBJECT_0) << "Cancel did not end the stalled transfer";
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  EXPECT_EQ(run.result, 1);
  EXPECT_FALSE(live::FileExists(Staged("Disc_01\\stalls.bin")));
  EXPECT_EQ(live::CountRequests(env_, "/stalls.bin"), 1);
}

TEST_P(LiveWeb, StagedFileFromAnEarlierRunIsReplacedWhole) {
  Open();
  g_state.download.httpsMode = secure_;
  Serve("KelvaranDemo/Disc_01/f.txt", "new");
  ASSERT_TRUE(live::WriteFileBytes(Staged("Disc_01\\f.txt"), std::string(100000, 'o')));
  EXPECT_EQ(DownloadFile(NoDisplay(), "Disc_01", "f.txt", 1), 0);
  ExpectStaged("Disc_01\\f.txt", "new");
}

// ---- The display ----

// A stand-in for the web installation dialog: the fields the download writes and a progress bar of
// range 0 to 1000, shown through a display of its own. Each field records every change of what it
// shows: a text equal to the one it shows already is no change to the user, and whether such a text is
// sent at all is the display's business (tests/win/web_display_test.cpp).
class DisplayRecorder {
 public:
  DisplayRecorder() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    dialog_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr, nullptr, nullptr);
    for (int id : {IDC_WEB_STATUS, IDC_WEB_PERCENT, IDC_WEB_ACTIVITY}) {
      HWND c = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 20, dialog_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
      SetPropA(c, "recorder", this);
      SetPropA(c, "old", reinterpret_cast<HANDLE>(SetWindowLongPtrA(c, GWLP_WNDPROC,
                                                                     reinterpret_cast<LONG_PTR>(Proc))));
    }
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 100, 20, dialog_,
                           reinterpret_cast<HMENU>(IDC_WEB_PROGRESS), nullptr, nullptr);
    SendMessageA(bar_, PBM_SETRANGE32, 0, 1000);
    // The display's queued writes are applied here, as the dialog does.
    SetPropA(dialog_, "old", reinterpret_cast<HANDLE>(SetWindowLongPtrA(dialog_, GWLP_WNDPROC,
                                                                         reinterpret_cast<LONG_PTR>(DialogProc))));
    display_.reset(new WebDisplay(dialog_));
  }
  ~DisplayRecorder() {
    display_.reset();
    DestroyWindow(dialog_);
  }
  bool ok() const { return dialog_ != nullptr && bar_ != nullptr; }
  WebDisplay& display() { return *display_; }
  std::vector<std::string>& texts(int id) { return texts_[id]; }
  std::string shown(int id) const {
    char text[512] = "";
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
  }
  int position() const { return static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0)); }

  // Runs f on another thread (as the worker does) and pumps this thread's messages until it ends;
  // afterMessages, when given, runs on this thread after each batch of messages (to act on what is shown).
  void RunOnWorker(std::function<void()> f, std::function<void()> afterMessages = nullptr) {
    HANDLE t = CreateThread(nullptr, 0, Trampoline, &f, 0, nullptr);
    for (;;) {
      DWORD w = MsgWaitForMultipleObjects(1, &t, FALSE, 60000, QS_ALLINPUT);
      if (w != WAIT_OBJECT_0 + 1) break;
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      if (afterMessages) afterMessages();
    }
    CloseHandle(t);
    display_->Flush();  // what the worker wrote last, as the worker's end applies it
  }

 private:
  static DWORD WINAPI Trampoline(LPVOID f) {
    (*static_cast<std::function<void()>*>(f))();
    return 0;
  }
  static LRESULT CALLBACK DialogProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (HandleWebDisplayMessage(w, msg, wp, lp)) return 0;
    return CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(w, "old")), w, msg, wp, lp);
  }
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<DisplayRecorder*>(GetPropA(w, "recorder"));
    auto old = reinterpret_cast<WNDPROC>(GetPropA(w, "old"));
    if (msg == WM_SETTEXT && self) {
      char now[512] = "";
      CallWindowProcA(old, w, WM_GETTEXT, sizeof now, reinterpret_cast<LPARAM>(now));
      const char* text = lp ? reinterpret_cast<const char*>(lp) : "";
      if (strcmp(now, text) != 0) self->texts_[GetDlgCtrlID(w)].push_back(text);
    }
    return CallWindowProcA(old, w, msg, wp, lp);
  }
  HWND dialog_ = nullptr;
  HWND bar_ = nullptr;
  std::unique_ptr<WebDisplay> display_;
  std::map<int, std::vector<std::string>> texts_;
};

// While the installer waits to ask for a list again, the status field counts the wait down with the
// list's name, and Cancel ends the wait at once: the run ends cancelled, with no further request.
TEST_P(LiveWeb, ListRetryWaitIsShownAndEndsAtCancel) {
  std::vector<SetFile> set = ThreeDiscSet();
  Publish(set);
  live::SetRules(env_, "[" + Rule("*/Disc_02/Fajls_2.ini",
                                  "\"action\": \"status\", \"status\": 503, \"headers\": [[\"Retry-After\", \"30\"]]") +
                           "]");
  Open();
  SelectForDownload({kSetup, kSystems, kDrawings, kDatas, kHelp});
  ASSERT_EQ(run_.ReadRemoteDescription(NoDisplay()), 0);
  DisplayRecorder display;
  ASSERT_TRUE(display.ok());
  const std::string list = std::string(secure_ ? "https://... .../" : "http://... .../") +
                           "KelvaranDemo/Disc_02/Fajls_2.ini";
  DownloadOutcome outcome;
  display.RunOnWorker(
      [&] { outcome = run_.DownloadInstallationSet(display.display()); },
      [&] {
        // On the window thread: once the wait is shown, Cancel.
        for (const std::string& t : display.texts(IDC_WEB_STATUS)) {
          if (t.find("Fajls_2.ini") != std::string::npos && t.find(" 2/5 ") != std::string::npos &&
              t.find("mp)") != std::string::npos && g_state.flags.cancelRequested.load() == 0) {
            g_state.flags.cancelRequested = 1;
          }
        }
      });
  EXPECT_EQ(outcome.end, DownloadEnd::kCancelled);
  // The server asked for 30 s: a wait that Cancel did not end would have been followed by a second request.
  EXPECT_EQ(live::CountRequests(env_, "/Disc_02/Fajls_2.ini"), 1);
  bool shown = false;
  for (const std::string& t : display.texts(IDC_WEB_STATUS)) {
    shown = shown || (t.find(list) != std::string::npos && t.find(" 2/5 ") != std::string::npos);
  }
  EXPECT_TRUE(shown) << "the wait names the list";
  EXPECT_FALSE(live::FileExists(Staged("Disc_02\\Fajls_2.ini")));
}

TEST_P(LiveWeb, DisplayShowsFileFramesAndPercentPerChunk) {
  Open();
  const std::string big = live::PseudoRandomBytes(3 * 512000, 9);
  const std::string small = live::PseudoRandomBytes(512000, 10);
  Serve("KelvaranDemo/Disc_01/big.bin", big);
  Serve("KelvaranDemo/Disc_01/small.bin", small);
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01")));
  DisplayRecorder display;
  ASSERT_TRUE(display.ok());
  g_state.download.remote.overallTotal = static_cast<int32_t>(2 * (big.size() + small.size()));

  int result = -1;
  display.RunOnWorker([&] { result = DownloadFile(display.display(), "Disc_01", "big.bin", 1); });
  ASSERT_EQ(result, 0);
  ExpectStaged("Disc_01\\big.bin", big);
  const char* prefix = secure_ ? "https://... .../" : "http://... .../";
  ASSERT_FALSE(display.texts(IDC_WEB_STATUS).empty());
  EXPECT_EQ(display.texts(IDC_WEB_STATUS).back(), std::string(prefix) + "KelvaranDemo/Disc_01/big.bin");
  // Three full chunks: a frame from the second on, then the field is emptied.
  EXPECT_EQ(display.texts(IDC_WEB_ACTIVITY), (std::vector<std::string>{"|", "/", ""}));
  EXPECT_EQ(display.texts(IDC_WEB_PERCENT), (std::vector<std::string>{" 12.5%", " 25.0%", " 37.5%"}));
  EXPECT_EQ(display.position(), 375);

  display.texts(IDC_WEB_ACTIVITY).clear();
  display.RunOnWorker([&] { result = DownloadFile(display.display(), "Disc_01", "small.bin", 1); });
  ASSERT_EQ(result, 0);
  // One chunk: no frame; the field stays as empty as the last file left it.
  EXPECT_EQ(display.texts(IDC_WEB_ACTIVITY), (std::vector<std::string>{}));
  EXPECT_EQ(display.shown(IDC_WEB_ACTIVITY), "");
  EXPECT_EQ(display.texts(IDC_WEB_PERCENT).back(), " 50.0%");
  EXPECT_EQ(display.position(), 500);

  // Counting off (the second Install.ini): the file is shown, the display does not move.
  display.texts(IDC_WEB_PERCENT).clear();
  display.RunOnWorker([&] { result = DownloadFile(display.display(), "Disc_01", "small.bin", 0); });
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(display.texts(IDC_WEB_PERCENT).empty());
  EXPECT_EQ(display.position(), 500);
  EXPECT_EQ(g_state.download.remote.bytesDone, static_cast<int32_t>(big.size() + small.size()));
}

// A read may return less than asked when less has arrived (Windows' WinINet does; Wine's synchronous
// reads wait for the whole buffer); a chunk is still the whole 512,000-byte buffer (or the rest of the
// file), so a file sent in pieces shows the same frames and percentages as one sent at once.
TEST_P(LiveWeb, ChunksFillTheBufferWhenTheServerSendsInPieces) {
  Open();
  const std::string body = live::PseudoRandomBytes(2 * 512000 + 1000, 12);
  Serve("KelvaranDemo/Disc_01/pieces.bin", body);
  live::SetRules(env_, "[" + Rule("*/pieces.bin", "\"action\": \"trickle\", \"chunk\": 60000, \"delay\": 0.005") + "]");
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01")));
  DisplayRecorder display;
  ASSERT_TRUE(display.ok());
  g_state.download.remote.overallTotal = static_cast<int32_t>(4 * body.size());
  int result = -1;
  display.RunOnWorker([&] { result = DownloadFile(display.display(), "Disc_01", "pieces.bin", 1); });
  ASSERT_EQ(result, 0);
  ExpectStaged("Disc_01\\pieces.bin", body);
  // Three chunks (512,000, 512,000 and 1,000 bytes): two frames, then the field is emptied. The third
  // chunk leaves the percentage at " 25.0%" (24.98 % before it, 25.0 % after); pieces shown as chunks
  // would step by 1.5 %.
  EXPECT_EQ(display.texts(IDC_WEB_ACTIVITY), (std::vector<std::string>{"|", "/", ""}));
  EXPECT_EQ(display.texts(IDC_WEB_PERCENT), (std::vector<std::string>{" 12.5%", " 25.0%"}));
  EXPECT_EQ(display.shown(IDC_WEB_PERCENT), " 25.0%");
  EXPECT_EQ(display.position(), 250);
}

TEST_P(LiveWeb, DisplayWithZeroTotalShowsZeroPercent) {
  Open();
  Serve("KelvaranDemo/Disc_01/quarnex_f.exe", live::FillerEncode(live::PseudoRandomBytes(600000, 11)));
  ASSERT_TRUE(live::MakeDirs(Staged("Disc_01")));
  DisplayRecorder display;
  ASSERT_TRUE(display.ok());
  int result = -1;
  display.RunOnWorker([&] { result = DownloadFile(display.display(), "Disc_01", "quarnex_f.exe", 1); });
  ASSERT_EQ(result, 0);
  ASSERT_FALSE(display.texts(IDC_WEB_PERCENT).empty());
  for (const std::string& t : display.texts(IDC_WEB_PERCENT)) EXPECT_EQ(t, "  0.0%");
  EXPECT_EQ(display.position(), 0);
  EXPECT_EQ(g_state.download.remote.bytesDone, 600000);  // content bytes, not stored bytes
}

}  // namespace

// main() of the GoogleTest programs: GoogleTest's own, except that skips are told apart from passes. A run
// whose cases all passed or were skipped, with at least one skipped, exits 77 (ctest's SKIP_RETURN_CODE)
// and prints "SKIPPED <case>: <reason>" per skipped case, which the test command's summary lists.
#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr int kSkippedExitCode = 77;

void PrintSkipped(const testing::UnitTest& unit) {
  for (int s = 0; s < unit.total_test_suite_count(); ++s) {
    const testing::TestSuite& suite = *unit.GetTestSuite(s);
    for (int t = 0; t < suite.total_test_count(); ++t) {
      const testing::TestInfo& info = *suite.GetTestInfo(t);
      const testing::TestResult& result = *info.result();
      if (!result.Skipped()) continue;
      std::string reason;
      for (int p = 0; p < result.total_part_count(); ++p) {
        if (result.GetTestPartResult(p).skipped()) reason += result.GetTestPartResult(p).message();
      }
      for (char& c : reason) {
        if (c == '\n' || c == '\r') c = ' ';
      }
      std::printf("SKIPPED %s.%s: %s\n", suite.name(), info.name(), reason.empty() ? "(no reason given)" : reason.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  if (rc != 0 || unit.skipped_test_count() == 0) return rc;
  PrintSkipped(unit);
  std::fflush(stdout);
  return kSkippedExitCode;
}

// The exit-code table: distinct codes numbered in the order of the README's table, each named and found by
// its number, and every bad end with a code of its own.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/exit_codes.h"

namespace {

TEST(ExitCodes, AreDistinctNumberedInOrderAndNamed) {
  std::set<int> codes;
  std::set<std::string> names;
  for (int i = 0; i < kExitCodeCount; ++i) {
    const ExitCodeInfo& e = kExitCodes[i];
    EXPECT_EQ(static_cast<int>(e.code), i) << e.name;  // the README's table is in this order
    codes.insert(static_cast<int>(e.code));
    names.insert(e.name);
    EXPECT_GT(std::string(e.meaning).size(), 5u);
    EXPECT_EQ(FindExitCode(static_cast<int>(e.code)), &e);
  }
  EXPECT_EQ(codes.size(), static_cast<size_t>(kExitCodeCount));
  EXPECT_EQ(names.size(), static_cast<size_t>(kExitCodeCount));
  EXPECT_EQ(FindExitCode(-1), nullptr);
  EXPECT_EQ(FindExitCode(kExitCodeCount), nullptr);
  // Every bad end has its own code, none of them 0.
  const ExitCode ends[] = {ExitCode::kCancelled,      ExitCode::kNoConnection,    ExitCode::kDescriptionMissing,
                           ExitCode::kPathTooLong,    ExitCode::kFileFailed,      ExitCode::kFileUnverified,
                           ExitCode::kNotEnoughSpace, ExitCode::kInstalledWithErrors, ExitCode::kBadCommandLine};
  std::set<int> distinct;
  for (ExitCode e : ends) distinct.insert(static_cast<int>(e));
  EXPECT_EQ(distinct.size(), sizeof ends / sizeof ends[0]);
  EXPECT_EQ(distinct.count(0), 0u);
}

}  // namespace

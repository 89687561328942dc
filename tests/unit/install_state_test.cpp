// The portable groups of the shared installation state: a reset by one assignment leaves nothing of the
// previous run behind.
#include <gtest/gtest.h>

#include <cstring>

#include "state/install_state.h"

namespace {

template <typename T>
bool AllZeroBytes(const T& value, size_t from = 0) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(&value);
  for (size_t i = from; i < sizeof value; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

TEST(InstallStateGroups, OneAssignmentClearsAWholeRun) {
  DownloadState download;
  download.httpsMode = 1;
  download.downloadSelected[kPartCount - 1] = 1;
  download.remote.discs[kDiscCount - 1].size[3] = 77;
  download.remote.bytesDone = 5;
  UserChoices choices;
  choices.startAfterInstall = 0;
  choices.discTable[kDiscCount - 1].label[kTextSize - 2] = 'x';
  RunPaths paths;
  for (char* text : {paths.rootFolder, paths.programFolder, paths.stagingFolder, paths.descriptionPath}) memset(text, 'p', kTextSize);
  WorkerFlags flags;
  flags.cancelRequested = 1;
  flags.workerRunning.store(1);

  download = DownloadState{};
  choices = UserChoices{};
  paths = RunPaths{};
  flags = WorkerFlags{};

  EXPECT_TRUE(AllZeroBytes(download));
  EXPECT_TRUE(AllZeroBytes(paths));
  EXPECT_EQ(choices.startAfterInstall, 1);
  EXPECT_EQ(choices.discTable[kDiscCount - 1].label[kTextSize - 2], '\0');
  EXPECT_EQ(flags.cancelRequested.load(), 0);
  EXPECT_EQ(flags.workerRunning.load(), 0);
}

TEST(SharedFlag, CopiesCarryTheValueAndStayAtomic) {
  SharedFlag a;
  a = 1;
  SharedFlag b(a);
  EXPECT_EQ(b.load(), 1);
  SharedFlag c;
  c = b;
  EXPECT_EQ(c.load(), 1);
  c = 0;
  EXPECT_EQ(c.load(), 0);
  EXPECT_EQ(a.load(), 1);  // a copy is a value of its own
  static_assert(SharedFlag::is_always_lock_free, "a flag both threads touch must never take a lock");
}

}  // namespace

// The registry writes of the file type step: the four keys of an entry, the open command quoting a program
// path with a blank, and what would be cut left out.
#include <gtest/gtest.h>

#include <string>

#include "install/file_types.h"

namespace {
std::string Describe(const DefaultValueWrite* w, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += std::string(w[i].keyPath) + " = " + w[i].text + "\n";
  return s;
}
}  // namespace

TEST(FileTypeWrites, FollowTheFourKeysOfAnEntry) {
  const char* folder = "T:\\V92Demo\\QuarnWin32\\";
  struct Case {
    const char* exe;
    const char* icon;
    const char* expected;
  } cases[] = {
      {"QuarnWin32.exe %1", "QuarnDoc.ico",
       "Software\\Classes\\.qdw = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing\\Shell\\Open\\Command = T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe %1\n"
       "Software\\Classes\\QuarnDrawing\\DefaultIcon = T:\\V92Demo\\QuarnWin32\\QuarnDoc.ico\n"},
      {"QuarnWin32.exe", nullptr,
       "Software\\Classes\\.qdw = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing\\Shell\\Open\\Command = T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe\n"},
      // An icon without an open command is not written.
      {nullptr, "QuarnDoc.ico",
       "Software\\Classes\\.qdw = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing = QuarnDrawing\n"},
  };
  for (const Case& c : cases) {
    DefaultValueWrite w[kMaxFileTypeWrites];
    int n = PlanFileTypeWrites(folder, ".qdw", "QuarnDrawing", c.exe, c.icon, w);
    EXPECT_EQ(Describe(w, n), c.expected);
  }
}

TEST(FileTypeWrites, OpenCommandQuotesAProgramPathWithABlank) {
  struct Case {
    const char* folder;
    const char* exe;
    const char* command;
  } cases[] = {
      // Without a blank the command stays byte for byte as it always was.
      {"T:\\V92Demo\\QuarnWin32\\", "QuarnWin32.exe %1", "T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe %1"},
      // The program's path is quoted, its arguments follow as they are.
      {"C:\\Quarn Acc\\QuarnWin32\\", "QuarnWin32.exe %1", "\"C:\\Quarn Acc\\QuarnWin32\\QuarnWin32.exe\" %1"},
      {"C:\\Quarn Acc\\QuarnWin32\\", "QuarnWin32.exe", "\"C:\\Quarn Acc\\QuarnWin32\\QuarnWin32.exe\""},
      {"C:\\Quarn Acc\\QuarnWin32\\", "Bin\\Q.exe /o \"%1\"", "\"C:\\Quarn Acc\\QuarnWin32\\Bin\\Q.exe\" /o \"%1\""},
      // A value quoting itself is left alone.
      {"C:\\Quarn Acc\\QuarnWin32\\", "\"Q.exe\" %1", "C:\\Quarn Acc\\QuarnWin32\\\"Q.exe\" %1"},
  };
  for (const Case& c : cases) {
    DefaultValueWrite w[kMaxFileTypeWrites];
    int n = PlanFileTypeWrites(c.folder, ".qdw", "C", c.exe, nullptr, w);
    ASSERT_EQ(n, 3) << c.exe;
    EXPECT_STREQ(w[2].keyPath, "Software\\Classes\\C\\Shell\\Open\\Command");
    EXPECT_STREQ(w[2].text, c.command) << c.folder << c.exe;
  }
  // With the two quotes the command no longer fits: it is left out, not cut.
  std::string folder = "C:\\" + std::string(200, 'a') + " b\\QuarnWin32\\";
  std::string exe(255 - folder.size() - 1, 'e');
  DefaultValueWrite w[kMaxFileTypeWrites];
  EXPECT_EQ(PlanFileTypeWrites(folder.c_str(), ".qdw", "C", exe.c_str(), nullptr, w), 2);
}

TEST(FileTypeWrites, LeaveOutWhatWouldBeCut) {
  // A class name of 230 characters fits as a key but not with "\Shell\Open\Command" appended; an open
  // command too long for its buffer is left out, not cut to a different command.
  std::string longClass(230, 'c');
  DefaultValueWrite w[kMaxFileTypeWrites];
  int n = PlanFileTypeWrites("T:\\R\\QuarnWin32\\", ".qdw", longClass.c_str(), "Q.exe", "Q.ico", w);
  ASSERT_EQ(n, 2) << Describe(w, n);
  EXPECT_EQ(std::string(w[1].keyPath), "Software\\Classes\\" + longClass);

  std::string longExe(250, 'e');
  n = PlanFileTypeWrites("T:\\R\\QuarnWin32\\", ".qdw", "C", longExe.c_str(), "Q.ico", w);
  EXPECT_EQ(Describe(w, n),
            "Software\\Classes\\.qdw = C\nSoftware\\Classes\\C = C\n"
            "Software\\Classes\\C\\DefaultIcon = T:\\R\\QuarnWin32\\Q.ico\n");
}

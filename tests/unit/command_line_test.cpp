// The command line: switches in any case, values as written, quotes, every error as data with the token
// it is about, the first error kept.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

namespace {

struct GoodCase {
  const char* text;
  bool any, help, silent, noStart, uninstall;
  int drive;
  const char* parts;  // nullptr: /PARTS not given; else the selected part names joined by ','
  const char* log;
};

std::string SelectedParts(const CommandLine& c) {
  std::string s;
  for (int p = 0; p < kPartCount; ++p) {
    if (c.parts[p]) s += std::string(s.empty() ? "" : ",") + kPartNames[p];
  }
  return s;
}

const GoodCase kGood[] = {
    {"", false, false, false, false, false, 0, nullptr, ""},
    {"   \t ", false, false, false, false, false, 0, nullptr, ""},
    {"/?", true, true, false, false, false, 0, nullptr, ""},
    {"/S /DRIVE=C /NOSTART", true, false, true, true, false, 3, nullptr, ""},
    {"/s /drive=d: /nostart", true, false, true, true, false, 4, nullptr, ""},
    {"/Drive=z:\\", true, false, false, false, false, 26, nullptr, ""},
    {"/PARTS=Drawings,Help", true, false, false, false, false, 0, "Setup,Systems,Drawings,Help", ""},
    {"/parts=blocks,HELP,datas", true, false, false, false, false, 0, "Setup,Systems,Blocks,Datas,Help", ""},
    {"/PARTS=", true, false, false, false, false, 0, "Setup,Systems", ""},
    {"/PARTS=Setup,Systems,Help,Help", true, false, false, false, false, 0, "Setup,Systems,Help", ""},
    {"/LOG=C:\\q.log", true, false, false, false, false, 0, nullptr, "C:\\q.log"},
    {"/LOG=\"C:\\Log files\\q.log\" /S", true, false, true, false, false, 0, nullptr, "C:\\Log files\\q.log"},
    {"\"/LOG=C:\\a b\\\xf5.log\"", true, false, false, false, false, 0, nullptr, "C:\\a b\\\xf5.log"},
    {"/UNINSTALL /S", true, false, true, false, true, 0, nullptr, ""},
    {"/uninstall /log=x.log", true, false, false, false, true, 0, nullptr, "x.log"},
    {"/S\t/NOSTART\r\n", true, false, true, true, false, 0, nullptr, ""},
};

TEST(CommandLine, ReadsEverySwitchInAnyCase) {
  for (const GoodCase& c : kGood) {
    CommandLine line;
    ParseCommandLine(c.text, &line);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(line.error, CommandLineError::kNone) << line.errorToken;
    EXPECT_EQ(line.any, c.any);
    EXPECT_EQ(line.help, c.help);
    EXPECT_EQ(line.silent, c.silent);
    EXPECT_EQ(line.noStart, c.noStart);
    EXPECT_EQ(line.uninstall, c.uninstall);
    EXPECT_EQ(line.drive, c.drive);
    EXPECT_EQ(line.partsGiven, c.parts != nullptr);
    if (c.parts) {
      EXPECT_EQ(SelectedParts(line), c.parts);
    }
    EXPECT_STREQ(line.logPath, c.log);
  }
}

struct BadCase {
  const char* text;
  CommandLineError error;
  const char* token;
};

const BadCase kBad[] = {
    {"/X", CommandLineError::kUnknownSwitch, "/X"},
    {"S", CommandLineError::kUnknownSwitch, "S"},
    {"-S", CommandLineError::kUnknownSwitch, "-S"},
    {"/SILENT", CommandLineError::kUnknownSwitch, "/SILENT"},
    {"/S /VERYSILENT", CommandLineError::kUnknownSwitch, "/VERYSILENT"},
    {"/DRIVE", CommandLineError::kMissingValue, "/DRIVE"},
    {"/LOG", CommandLineError::kMissingValue, "/LOG"},
    {"/LOG=", CommandLineError::kMissingValue, "/LOG="},
    {"/PARTS", CommandLineError::kMissingValue, "/PARTS"},
    {"/S=1", CommandLineError::kUnexpectedValue, "/S=1"},
    {"/NOSTART=yes", CommandLineError::kUnexpectedValue, "/NOSTART=yes"},
    {"/DRIVE=", CommandLineError::kBadDrive, "/DRIVE="},
    {"/DRIVE=CD", CommandLineError::kBadDrive, "/DRIVE=CD"},
    {"/DRIVE=1", CommandLineError::kBadDrive, "/DRIVE=1"},
    {"/DRIVE=C:\\x", CommandLineError::kBadDrive, "/DRIVE=C:\\x"},
    {"/DRIVE=\xc1", CommandLineError::kBadDrive, "/DRIVE=\xc1"},
    {"/PARTS=Drawing", CommandLineError::kUnknownPart, "Drawing"},
    {"/PARTS=Help,Extras,Blocks", CommandLineError::kUnknownPart, "Extras"},
    {"/PARTS=Help,,Blocks", CommandLineError::kUnknownPart, ""},
    {"/PARTS=Projects", CommandLineError::kPartNotOffered, "Projects"},
    {"/parts=Help,projects,Blocks", CommandLineError::kPartNotOffered, "projects"},
    {"/PARTS=Projects,Extras", CommandLineError::kPartNotOffered, "Projects"},
    {"/S /s", CommandLineError::kRepeated, "/s"},
    {"/DRIVE=C /drive=D", CommandLineError::kRepeated, "/drive"},
    {"/UNINSTALL /DRIVE=C", CommandLineError::kConflict, "/UNINSTALL"},
    {"/UNINSTALL /PARTS=Help", CommandLineError::kConflict, "/UNINSTALL"},
    {"/NOSTART /UNINSTALL", CommandLineError::kConflict, "/UNINSTALL"},
    // The first problem is the one reported.
    {"/X /Y", CommandLineError::kUnknownSwitch, "/X"},
    {"/DRIVE=9 /X", CommandLineError::kBadDrive, "/DRIVE=9"},
};

TEST(CommandLine, ReportsEveryBadSwitchAsDataWithItsToken) {
  for (const BadCase& c : kBad) {
    CommandLine line;
    ParseCommandLine(c.text, &line);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(line.error, c.error) << CommandLineErrorName(line.error);
    EXPECT_STREQ(line.errorToken, c.token);
    EXPECT_STRNE(CommandLineErrorName(line.error), "?");
  }
}

TEST(CommandLine, ALogPathThatDoesNotFitIsAnErrorNotACutPath) {
  CommandLine line;
  const std::string fits = "/LOG=C:\\" + std::string(kTextSize - 4, 'a');  // 255 bytes of path
  ParseCommandLine(fits.c_str(), &line);
  EXPECT_EQ(line.error, CommandLineError::kNone);
  EXPECT_EQ(std::string(line.logPath).size(), static_cast<size_t>(kTextSize - 1));
  const std::string tooLong = "/LOG=C:\\" + std::string(kTextSize - 3, 'a');
  ParseCommandLine(tooLong.c_str(), &line);
  EXPECT_EQ(line.error, CommandLineError::kTooLong);
  EXPECT_STREQ(line.logPath, "");
  // A token longer than the error buffer is cut there, terminated.
  const std::string huge = "/" + std::string(5000, 'x');
  ParseCommandLine(huge.c_str(), &line);
  EXPECT_EQ(line.error, CommandLineError::kUnknownSwitch);
  EXPECT_EQ(std::string(line.errorToken).size(), static_cast<size_t>(kTextSize - 1));
}

TEST(CommandLine, NullTextIsNoSwitch) {
  CommandLine line;
  ParseCommandLine(nullptr, &line);
  EXPECT_FALSE(line.any);
  EXPECT_EQ(line.error, CommandLineError::kNone);
}

}  // namespace

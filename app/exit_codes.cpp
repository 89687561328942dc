#include "app/exit_codes.h"

const ExitCodeInfo kExitCodes[] = {
    {ExitCode::kInstalled, "installed", "installed (for /UNINSTALL: removed); also after /?"},
    {ExitCode::kCancelled, "cancelled",
     "cancelled: Cancel pressed, a disc prompt given up, or the uninstall question answered No"},
    {ExitCode::kNoConnection, "no connection", "no connection: neither the HTTPS nor the HTTP host answered"},
    {ExitCode::kDescriptionMissing, "description missing",
     "the set's description (Install.ini, or Sign.ini cut off) or its root folder name is missing or unusable"},
    {ExitCode::kPathTooLong, "path too long", "a path the run needed is too long; nothing was written"},
    {ExitCode::kFileFailed, "file failed",
     "a file of the set could not be downloaded (missing on the server, cut off after its attempts, a name "
     "refused, or not writable); nothing was installed"},
    {ExitCode::kFileUnverified, "file unverified", "a downloaded file failed its verification, or the set's Sign.ini was refused (bad signature, unsigned over HTTP)"},
    {ExitCode::kNotEnoughSpace, "not enough space",
     "the target drive (or the Windows folder's) has too little free space for the selected parts; nothing "
     "was fetched"},
    {ExitCode::kInstalledWithErrors, "installed with errors",
     "installed, but a copy step reported an error (the log names it)"},
    {ExitCode::kBadCommandLine, "bad command line", "an unknown switch or a bad value; nothing was done"},
    {ExitCode::kNotInstalled, "not installed", "/UNINSTALL found no record of what an installation created"},
    {ExitCode::kStartFailed, "start failed", "the program could not set itself up (window, memory)"},
    {ExitCode::kFileInUse, "file in use",
     "a file to be installed stayed held by another program (a running system, a scanner) and the box was "
     "answered Cancel, or /S; the log names it; what was copied stays recorded for /UNINSTALL"},
    {ExitCode::kUninstallListRefused, "uninstall list refused",
     "/UNINSTALL: the list of what the installation created differs from the one it wrote (its SHA-256 is "
     "kept in the uninstall entry); nothing was removed"},
};
const int kExitCodeCount = static_cast<int>(sizeof kExitCodes / sizeof kExitCodes[0]);

const ExitCodeInfo* FindExitCode(int code) {
  for (int i = 0; i < kExitCodeCount; ++i) {
    if (static_cast<int>(kExitCodes[i].code) == code) return &kExitCodes[i];
  }
  return nullptr;
}

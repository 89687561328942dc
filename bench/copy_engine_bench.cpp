// copy_engine_bench.exe [DRIVE_LETTER] [FILES] [FILE_BYTES] [ROUNDS]
// The copy engine against the platform's own file copy (CopyFileA) over the same staged files: the
// engine's block loop, its time handling and its display updates (no dialog here) should stay close to
// what the platform does. Stages FILES files of FILE_BYTES bytes below DRIVE:\CopyBench, then, per round,
// installs them with CopySelectedParts and copies them with CopyFileA; prints the best round of each:
// "engine MB/s=... platform MB/s=... ratio=...", and removes everything it wrote. Default: T, 16 files of
// 4,000,000 bytes, 3 rounds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "install/copy_engine_win.h"

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER freq) {
  return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(freq.QuadPart);
}

bool WriteAll(const std::string& path, const std::vector<char>& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char drive = argc > 1 ? argv[1][0] : 'T';
  const int files = argc > 2 ? atoi(argv[2]) : 16;
  const DWORD size = argc > 3 ? static_cast<DWORD>(atol(argv[3])) : 4000000;
  const int rounds = argc > 4 ? atoi(argv[4]) : 3;

  const std::string root = std::string(1, drive) + ":\\CopyBench";
  const std::string staging = root + "\\QuarnWin32\\Install\\";
  for (const std::string& d : {root, root + "\\QuarnWin32", staging, staging + "Disc_01",
                               root + "\\Engine", root + "\\Platform"}) {
    CreateDirectoryA(d.c_str(), nullptr);
  }
  std::vector<char> content(size);
  for (DWORD i = 0; i < size; ++i) content[i] = static_cast<char>((i * 2654435761u) >> 24);
  std::string list = "[Disc]\r\nName=BENCH\r\n[Systems]\r\n";
  for (int i = 1; i <= files; ++i) {
    char name[32];
    snprintf(name, sizeof name, "\\f%03d.bin", i);
    if (!WriteAll(staging + "Disc_01" + name, content)) {
      fprintf(stderr, "cannot stage %s\n", name);
      return 1;
    }
    list += "File" + std::to_string(i) + "=" + name + " \\Engine" + name + "\r\n";
  }
  if (!WriteAll(staging + "Disc_01\\Fajls_1.ini", std::vector<char>(list.begin(), list.end()))) return 1;

  ResetInstallState();
  g_state.choices.targetDrive = drive - 64;
  strcpy(g_state.choices.rootName, "CopyBench");
  strcpy(g_state.paths.stagingFolder, staging.c_str());
  strcpy(g_state.choices.discTable[0].label, "BENCH");
  g_state.choices.discTable[0].present[1] = 1;
  g_state.choices.partSelected[1] = 1;

  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  double bestEngine = 1e30, bestPlatform = 1e30;
  const double megabytes = static_cast<double>(size) * files / 1e6;
  for (int r = 0; r < rounds; ++r) {
    QueryPerformanceCounter(&t0);
    WebDisplay none;
    if (!CopySelectedParts(none)) {
      fprintf(stderr, "the copy engine stopped\n");
      return 1;
    }
    QueryPerformanceCounter(&t1);
    bestEngine = std::min(bestEngine, Seconds(t0, t1, freq));

    QueryPerformanceCounter(&t0);
    for (int i = 1; i <= files; ++i) {
      char name[32];
      snprintf(name, sizeof name, "\\f%03d.bin", i);
      if (!CopyFileA((staging + "Disc_01" + name).c_str(), (root + "\\Platform" + name).c_str(), FALSE)) return 1;
    }
    QueryPerformanceCounter(&t1);
    bestPlatform = std::min(bestPlatform, Seconds(t0, t1, freq));
  }
  for (int i = 1; i <= files; ++i) {
    char name[32];
    snprintf(name, sizeof name, "\\f%03d.bin", i);
    for (const std::string& folder : {staging + "Disc_01", root + "\\Engine", root + "\\Platform"}) {
      DeleteFileA((folder + name).c_str());
    }
  }
  DeleteFileA((staging + "Disc_01\\Fajls_1.ini").c_str());
  for (const std::string& d : {staging + "Disc_01", staging, root + "\\QuarnWin32", root + "\\Engine",
                               root + "\\Platform", root}) {
    RemoveDirectoryA(d.c_str());
  }
  printf("files=%d bytes=%lu engine MB/s=%.1f platform MB/s=%.1f ratio=%.2f\n", files,
         static_cast<unsigned long>(size), megabytes / bestEngine, megabytes / bestPlatform,
         bestPlatform / bestEngine);
  return 0;
}

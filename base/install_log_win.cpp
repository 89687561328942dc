// The installation log's files. Lines are formatted by base/log_line.cpp; this side keeps the files, the
// bound and the lock.
#include "base/install_log_win.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "base/log_line.h"
#include "base/scoped_handle_win.h"
#include "base/scoped_lock_win.h"

namespace {

constexpr char kLogName[] = "QuarnInstall.log";

struct Log {
  CRITICAL_SECTION lock;
  bool open = false;
  ScopedFile main;   // the temporary folder's or the staging folder's file
  ScopedFile extra;  // /LOG=path
  std::string mainPath;
  // Everything written to `main` until the log first moves, to carry it over (the temporary folder's file
  // may not exist). Once moved, the lines are only in the files: a long run's log is not held in memory,
  // and a further move reads them back from `main`.
  std::string written;
  bool holding = true;
  LogBound bound;
};

Log& TheLog() {
  static Log* log = [] {
    Log* l = new Log();
    InitializeCriticalSection(&l->lock);
    return l;
  }();
  return *log;
}

ScopedFile CreateLogFile(const std::string& path) {
  // Shared for reading (a user may open it while the run goes on) and deleting (the uninstaller).
  return ScopedFile(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void WriteAll(const ScopedFile& file, const std::string& text) {
  if (!file || text.empty()) return;
  DWORD put = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
}

LogTime Now() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return LogTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

// The text of the log's current file (opened beside the log's own handle, which shares reading).
void ReadBack(const std::string& path, std::string* text) {
  ScopedFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr) || got == 0) return;
    text->append(buffer, got);
  }
}

// Called with the lock held.
void Emit(Log& log, const std::string& text) {
  if (log.holding) log.written += text;
  WriteAll(log.main, text);
  WriteAll(log.extra, text);
  log.bound.Count(text.size());
}

void Write(const char* format, va_list args, bool last) {
  char text[4096];
  vsnprintf(text, sizeof text, format, args);
  Log& log = TheLog();
  ScopedLock held(log.lock);
  if (log.open) {
    const std::string line = FormatLogLine(Now(), text);
    switch (log.bound.Admit(line.size(), last)) {
      case LogBound::kWrite:
        Emit(log, line);
        break;
      case LogBound::kNoticeFirst:
        Emit(log, FormatLogLine(Now(), LogBound::NoticeText()));
        break;
      case LogBound::kDrop:
        break;
    }
    if (last) {
      log.main.reset();
      log.extra.reset();
      log.open = false;
    }
  }
}

}  // namespace

void OpenInstallLog(const char* extraPath) {
  Log& log = TheLog();
  ScopedLock held(log.lock);
  char temp[MAX_PATH + 1] = "";
  const DWORD n = GetTempPathA(sizeof temp, temp);
  if (n > 0 && n < sizeof temp) {
    log.mainPath = std::string(temp) + kLogName;
    log.main = CreateLogFile(log.mainPath);
  }
  if (extraPath && extraPath[0]) log.extra = CreateLogFile(extraPath);
  log.written.clear();
  log.holding = true;
  log.open = true;
}

void MoveInstallLog(const char* folder) {
  Log& log = TheLog();
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += kLogName;
  if (path.size() >= MAX_PATH) return;
  ScopedLock held(log.lock);
  if (log.open && path != log.mainPath) {
    std::string earlier;
    if (log.holding) {
      earlier.swap(log.written);
    } else {
      ReadBack(log.mainPath, &earlier);
    }
    ScopedFile moved = CreateLogFile(path);
    if (!moved && log.holding) earlier.swap(log.written);  // still held for a later move
    if (moved) {
      log.holding = false;
      WriteAll(moved, earlier);
      if (log.main) {
        log.main.reset();
        DeleteFileA(log.mainPath.c_str());
      }
      log.main = std::move(moved);
      log.mainPath = path;
    }
  }
}

void LogEvent(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(format, args, false);
  va_end(args);
}

void LogEnd(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(format, args, true);
  va_end(args);
}

const char* InstallLogPath() { return TheLog().mainPath.c_str(); }

// The installation log: QuarnInstall.log, always written (see base/log_line.h for a line's form).
//
// Until the staging folder exists the log is in the user's temporary folder; MoveInstallLog() carries
// what was written so far to the staging folder and goes on there. /LOG=path gets every line as well.
// Any thread may log; the lines are written in the order they were logged, each at once (a run that
// ends badly still leaves its log).
#pragma once
#include <cstdarg>

// Opens the log in the temporary folder (and the copy at extraPath, unless null or empty).
void OpenInstallLog(const char* extraPath);

// Moves the log to folder\QuarnInstall.log (folder with or without the trailing backslash). Earlier lines
// go with it; the file in the temporary folder is removed. Nothing happens when the path does not fit.
void MoveInstallLog(const char* folder);

// One event. `format` is always the program's own literal; outside text (server names, paths) only ever
// comes in as an argument.
void LogEvent(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The run's last line (written even when the log has reached its bound); closes the files.
void LogEnd(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The full path of the log now (empty before OpenInstallLog), for the tests and the end line.
const char* InstallLogPath();

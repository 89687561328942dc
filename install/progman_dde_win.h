// The Program Manager conversation over DDE that creates the program group.
//
// Runs on the main thread inside whatever message loop is current (the options dialog's modal loop): the
// client window "ClientDDE" receives the acknowledgements, and each one sends the next command of section
// Command of the staged Install.ini. Exactly one command is in flight at a time. When the list is done the
// conversation reports its end to whoever started it (the installation then runs its launch step, which
// closes the installer).
//
// A machine without a Program Manager service must still finish: when nobody answers the initiation, or
// an acknowledgement does not come within the time-out, the chain ends and reports its end all the same.
// Destroying the client window (Cancel destroys the main window, which takes it along) ends the
// conversation without reporting anything.
//
// The uninstaller uses the same conversation for its one command (SendProgramManagerCommand).
#pragma once
#include <windows.h>

#include <string>

// Called once when the conversation has ended (every command answered, or no server, a time-out or the
// server's end), on the thread of the client window.
using ProgramManagerEnd = void (*)();

// Registers the client window class, creates the client window as a child of `parent`, asks the
// Program Manager service ("PROGMAN"/"PROGMAN") for a conversation and sends the first command. With no
// command to send, `onEnd` runs at once.
void StartProgramManagerConversation(HWND parent, ProgramManagerEnd onEnd);

enum class ProgramManagerAnswer {
  kNoServer,  // nobody answered the initiation
  kAnswered,  // the server acknowledged the command (accepted or refused)
  kNoAnswer,  // no acknowledgement within the time-out, or the command could not be posted
};

// Sends one prepared command over a conversation of its own (from a hidden top-level client window) and
// waits for its answer, at most kProgramManagerTimeoutMs, pumping this thread's messages meanwhile. With
// no server answering the initiation it returns at once.
ProgramManagerAnswer SendProgramManagerCommand(const std::string& command);

// Unlocks and frees the memory block of the command in flight, if any. The end step calls it.
void ReleaseProgramManagerCommandBlock();

// How long the conversation waits for an answer (to the initiation or to a command) before it gives up
// and ends the conversation. About 15 seconds.
constexpr UINT kProgramManagerTimeoutMs = 15000;

// Tests shorten the time-out; 0 puts the default back.
void SetProgramManagerTimeoutForTesting(UINT milliseconds);

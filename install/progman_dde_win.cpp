// The Program Manager conversation: the client side of a DDE conversation with service and topic
// "PROGMAN", one WM_DDE_EXECUTE per Command%i value of the staged Install.ini.
//
// The protocol, as the client sees it:
//   - WM_DDE_INITIATE is broadcast (sent) to every top-level window; a server answers by *sending* a
//     WM_DDE_ACK with fresh atoms, which arrives while the broadcast is still in progress. Those atoms
//     are the receiver's to delete. Each answering window is a conversation of its own: the first one is
//     kept, any other is ended at once with WM_DDE_TERMINATE.
//   - Each command is a shareable global memory block posted with WM_DDE_EXECUTE; the server *posts* a
//     WM_DDE_ACK whose packed lParam returns the block, which the client then frees. Accepted or
//     rejected makes no difference here: a refused command is followed by the next one.
#include "install/progman_dde_win.h"

#include <dde.h>

#include <cstring>
#include <functional>
#include <string>

#include "base/install_log_win.h"
#include "install/description_win.h"
#include "layout/description.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace {

constexpr char kClientClass[] = "ClientDDEWndClass";
constexpr char kClientTitle[] = "ClientDDE";
constexpr char kProgman[] = "PROGMAN";
constexpr UINT_PTR kTimeoutTimer = 1;
// A window that does not answer the initiation within this time is skipped by the broadcast (and one
// that is already hung is skipped at once), so that a hung top-level window cannot freeze the installer.
constexpr UINT kInitiatePerWindowMs = 2000;

UINT g_timeoutMs = kProgramManagerTimeoutMs;

struct Conversation {
  HWND client = nullptr;
  HWND server = nullptr;     // the window that answered the initiation first
  bool broadcasting = false;  // the initiation is being sent right now
  bool initiating = false;   // no server has answered yet
  int counter = 0;           // number of the last command read (Command1 is the first)
  HGLOBAL block = nullptr;   // the command in flight
  bool done = false;         // nothing more will be sent
  bool ended = false;        // the end has been reported, or the client window is gone
  bool answered = false;     // the server acknowledged a command
  ProgramManagerEnd onEnd = nullptr;
  // The next command to send and its number for the log; false when there is none.
  std::function<bool(int* number, std::string* command)> next;
};

Conversation g_conv;

// Reads, prepares and posts the next command, or marks the list done (no more commands, no server, or
// the command could not be posted). Arms the acknowledgement time-out for a posted command.
void SendNextProgramManagerCommand();

void ArmTimeout() {
  if (g_conv.client) SetTimer(g_conv.client, kTimeoutTimer, g_timeoutMs, nullptr);
}

// The chain is over: its starter is told (the installation's launch step then closes the installer and
// starts the system if asked to). Runs at most once, whichever way the chain ended.
void EndConversation() {
  if (g_conv.ended) return;
  g_conv.ended = true;
  if (g_conv.client) KillTimer(g_conv.client, kTimeoutTimer);
  if (g_conv.onEnd) g_conv.onEnd();
}

void SendFirstCommand() {
  SendNextProgramManagerCommand();
  if (g_conv.done) EndConversation();
}

// True when the description has the given command: with no command to send there is nothing to wait for.
bool HasCommand(int number) {
  char value[kTextSize];
  return ReadDescriptionValue("Command", NumberedKey("Command", number).c_str(), value, sizeof value);
}

// The answer to our initiation. lParam holds two atoms (not packed: the answer is sent, not posted).
void OnInitiateAck(HWND sender, LPARAM lParam) {
  const ATOM service = LOWORD(lParam);
  const ATOM topic = HIWORD(lParam);
  if (service) GlobalDeleteAtom(service);
  if (topic) GlobalDeleteAtom(topic);
  if (g_conv.initiating && g_conv.server == nullptr) {
    g_conv.server = sender;
    g_conv.initiating = false;
    // An answer after the broadcast has returned (a slow server) starts the chain from here.
    if (!g_conv.broadcasting && !g_conv.ended) {
      KillTimer(g_conv.client, kTimeoutTimer);
      SendFirstCommand();
    }
    return;
  }
  // A second server: one conversation is enough; this one is ended at once.
  PostMessageA(sender, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(g_conv.client), 0);
}

// The answer to the command in flight (posted, packed lParam).
void OnExecuteAck(LPARAM lParam) {
  FreeDDElParam(WM_DDE_ACK, lParam);
  if (g_conv.block == nullptr || g_conv.ended) return;  // nothing in flight: a stray answer
  g_conv.answered = true;
  KillTimer(g_conv.client, kTimeoutTimer);
  ReleaseProgramManagerCommandBlock();
  SendNextProgramManagerCommand();
  if (g_conv.done) EndConversation();
}

LRESULT OnDdeAck(HWND sender, LPARAM lParam) {
  if (g_conv.broadcasting || (g_conv.initiating && g_conv.server == nullptr)) {
    OnInitiateAck(sender, lParam);
  } else if (sender == g_conv.server) {
    OnExecuteAck(lParam);
  }
  // An acknowledgement from any other window belongs to no conversation of ours; its lParam format is
  // unknown, so it is left alone.
  return 0;
}

// The server ended the conversation: nothing more can be sent, so the chain ends now.
void OnDdeTerminate(HWND sender) {
  if (sender != g_conv.server || g_conv.server == nullptr) return;
  PostMessageA(g_conv.server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(g_conv.client), 0);
  g_conv.server = nullptr;
  g_conv.done = true;
  EndConversation();
}

void OnTimeout() {
  LogEvent("Program Manager: no answer within %u ms, the group step ends", g_timeoutMs);
  KillTimer(g_conv.client, kTimeoutTimer);
  g_conv.done = true;
  EndConversation();
}

// The client window goes with the main window (launch step, Cancel): the conversation ends without
// launching anything more. The server is told, so that it can drop its side.
void OnDestroy(HWND window) {
  KillTimer(window, kTimeoutTimer);
  if (g_conv.server && IsWindow(g_conv.server)) {
    PostMessageA(g_conv.server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window), 0);
  }
  g_conv.server = nullptr;
  ReleaseProgramManagerCommandBlock();
  g_conv.ended = true;
  g_conv.client = nullptr;
}

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DDE_ACK:
      return OnDdeAck(reinterpret_cast<HWND>(wParam), lParam);
    case WM_DDE_TERMINATE:
      OnDdeTerminate(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kTimeoutTimer) {
        OnTimeout();
        return 0;
      }
      break;
    case WM_DESTROY:
      OnDestroy(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void SetProgramManagerTimeoutForTesting(UINT milliseconds) {
  g_timeoutMs = milliseconds ? milliseconds : kProgramManagerTimeoutMs;
}

void ReleaseProgramManagerCommandBlock() {
  if (g_conv.block == nullptr) return;
  // The block is unlocked before it is posted; a lock count left over would only come from a failure
  // between lock and unlock, so unlock until the count is zero before freeing.
  while (GlobalFlags(g_conv.block) & GMEM_LOCKCOUNT) {
    if (!GlobalUnlock(g_conv.block)) break;
  }
  GlobalFree(g_conv.block);
  g_conv.block = nullptr;
}

namespace {

// The description's commands (section Command, Command1 on), prepared for this run's folders. A group or
// item named to land outside the Program Manager's folder is not sent; the list goes on, as after a
// command the service refused.
bool NextDescriptionCommand(int* number, std::string* command) {
  for (;;) {
    ++g_conv.counter;
    const std::string key = NumberedKey("Command", g_conv.counter);
    char value[kTextSize];
    if (!ReadDescriptionValue("Command", key.c_str(), value, sizeof value)) return false;
    // The server's text is never a format string: the replacements are made by hand. Every '#' grows
    // the command by the root folder's length; the block is sized to carry the whole result rather than
    // a cut command, which would be another command.
    *command = PrepareProgramManagerCommand(value, g_state.paths.rootFolder, g_state.process.windowsFolder);
    *number = g_conv.counter;
    if (!LeavesProgramManagerFolder(*command)) return true;
    LogEvent("Program Manager command %d not sent (its group or item leaves the folder): %s", g_conv.counter,
             command->c_str());
  }
}

void SendNextProgramManagerCommand() {
  if (g_conv.done || g_conv.ended || g_conv.block != nullptr) return;  // one command in flight at most

  // Without a server window there is nobody to post to (a post to no window would land in our own
  // queue and never be answered).
  int number = 0;
  std::string command;
  if (g_conv.server == nullptr || !IsWindow(g_conv.server) || !g_conv.next || !g_conv.next(&number, &command)) {
    g_conv.done = true;
    return;
  }
  const SIZE_T size = command.size() + 1 > kTextSize ? command.size() + 1 : kTextSize;

  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT, size);
  if (block == nullptr) {
    g_conv.done = true;
    return;
  }
  char* text = static_cast<char*>(GlobalLock(block));
  if (text == nullptr) {
    GlobalFree(block);
    g_conv.done = true;
    return;
  }
  memcpy(text, command.c_str(), command.size() + 1);
  GlobalUnlock(block);
  g_conv.block = block;

  const LPARAM lParam = PackDDElParam(WM_DDE_EXECUTE, 0, reinterpret_cast<UINT_PTR>(block));
  if (!PostMessageA(g_conv.server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(g_conv.client), lParam)) {
    FreeDDElParam(WM_DDE_EXECUTE, lParam);
    ReleaseProgramManagerCommandBlock();
    g_conv.done = true;
    return;
  }
  LogEvent("Program Manager command %d: %s", number, command.c_str());
  ArmTimeout();
}

}  // namespace

namespace {

// Opens a conversation from a client window below `parent` (none: a hidden top-level window) and sends
// the first command `next` gives. With no server answering the initiation, `waitForLateAnswer` keeps
// the conversation open until the time-out for an answer that comes late; otherwise it ends at once.
// False when the client window could not be made (nothing else happens then).
bool BeginConversation(HWND parent, std::function<bool(int*, std::string*)> next, bool waitForLateAnswer,
                       ProgramManagerEnd onEnd) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ClientWindowProc;
  wc.hInstance = g_state.windows.instance;
  wc.lpszClassName = kClientClass;
  // Already registered by an earlier conversation in this process is as good as registered now.
  if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  ReleaseProgramManagerCommandBlock();
  g_conv = Conversation{};
  g_conv.onEnd = onEnd;
  g_conv.next = std::move(next);

  const ATOM service = GlobalAddAtomA(kProgman);
  const ATOM topic = GlobalAddAtomA(kProgman);
  // A child of the window that carries the installation's end; without one, a top-level window that is
  // never shown, so that the answer to the broadcast can reach it.
  HWND client = CreateWindowA(kClientClass, kClientTitle, parent ? WS_CHILD : WS_POPUP, 0, 0, 0, 0, parent,
                              nullptr, g_state.windows.instance, nullptr);
  if (client == nullptr) {
    if (service) GlobalDeleteAtom(service);
    if (topic) GlobalDeleteAtom(topic);
    return false;
  }
  g_conv.client = client;

  g_conv.initiating = true;
  g_conv.broadcasting = true;
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(client),
                      MAKELPARAM(service, topic), SMTO_ABORTIFHUNG, kInitiatePerWindowMs, &result);
  g_conv.broadcasting = false;
  if (service) GlobalDeleteAtom(service);
  if (topic) GlobalDeleteAtom(topic);
  if (g_conv.ended) return true;  // the client window went away during the broadcast

  LogEvent("Program Manager: %s", g_conv.server ? "answered" : "no answer to the initiation yet");
  if (g_conv.server == nullptr) {
    if (!waitForLateAnswer) {
      EndConversation();
      return true;
    }
    // Nobody answered (yet): a late answer still starts the chain; otherwise the time-out ends it.
    ArmTimeout();
    return true;
  }
  SendFirstCommand();
  return true;
}

}  // namespace

void StartProgramManagerConversation(HWND parent, ProgramManagerEnd onEnd) {
  // With no command to send there is nothing to wait for.
  BeginConversation(parent, NextDescriptionCommand, HasCommand(1), onEnd);
}

ProgramManagerAnswer SendProgramManagerCommand(const std::string& command) {
  bool taken = false;
  const auto once = [&taken, command](int* number, std::string* out) {
    if (taken) return false;
    taken = true;
    *number = 1;
    *out = command;
    return true;
  };
  if (!BeginConversation(nullptr, once, false, nullptr)) return ProgramManagerAnswer::kNoServer;
  const bool hadServer = g_conv.server != nullptr;
  // The conversation ends with the answer, the time-out or the server's end.
  while (!g_conv.ended) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  const bool answered = g_conv.answered;
  if (g_conv.client) DestroyWindow(g_conv.client);  // tells the server the conversation is over
  if (!hadServer) return ProgramManagerAnswer::kNoServer;
  return answered ? ProgramManagerAnswer::kAnswered : ProgramManagerAnswer::kNoAnswer;
}

// The body of an open request, read in chunks on a helper thread, so that a transfer that stops sending
// is given up after a bound without a byte instead of holding the download for ever.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>

#include "base/scoped_handle_win.h"

struct BoundedReadShared;  // what the reader and its helper thread share; freed by the last of them

// The time without a byte after which a transfer is given up: kStallBoundMs (60 s) unless a test set
// another with SetStallBoundForTest (0 puts it back).
uint32_t TransferStallBoundMs();
void SetStallBoundForTest(uint32_t ms);

// Once Cancel is pressed, a transfer that receives nothing for this long is given up at once instead of
// after the whole bound; one whose bytes keep arriving still finishes its file. A read is sized to return
// within about two seconds at the rate last seen, so the bound leaves room for three such reads: a slow
// but living transfer is never taken for a stalled one.
constexpr uint32_t kCancelledStallMs = 6000;

class BoundedReader {
 public:
  enum class Result {
    kData,     // *got > 0 bytes at *data: the buffer is full, or the body ended after them
    kEnd,      // the body ended: no more bytes
    kFailed,   // a read call failed; *error holds its GetLastError()
    kStalled,  // no byte arrived for the bound (or, after Cancel, for kCancelledStallMs)
  };

  // Takes the request over (from here on only the reader closes it) and hands it to a helper thread
  // (the idle one of an earlier transfer, or a new one) that reads it into a buffer of bufferSize bytes.
  // ok() says whether the helper and the buffer were there; if not, the request is closed at once.
  BoundedReader(ScopedInternet request, DWORD bufferSize);
  ~BoundedReader();
  BoundedReader(const BoundedReader&) = delete;
  BoundedReader& operator=(const BoundedReader&) = delete;

  bool ok() const { return shared_ != nullptr; }

  // From here on, as soon as a chunk is handed out (and the body did not end in it) the helper fills the
  // next one into a second buffer while the caller works on this one: reading the network and writing
  // the disk then overlap. Off by default (a whole-file read needs one chunk only).
  void ReadAhead() { readAhead_ = true; }

  // One chunk: reads until the buffer is full or the body ends, however the platform hands the bytes
  // out (WinINet returns what has arrived, a few kilobytes at a time on some platforms). Waits as long as
  // bytes keep arriving; gives up when none arrived for stallBoundMs (counted from this call or from the
  // last read that brought bytes; each read is sized to return within about two seconds at the rate
  // seen), or for kCancelledStallMs once *cancel is nonzero. *data stays valid until the next call or
  // Close (with ReadAhead, the helper fills the other buffer meanwhile, never this one). After kFailed or
  // kStalled the reader must be closed, not read again.
  Result ReadChunk(uint32_t stallBoundMs, const std::atomic<int32_t>* cancel, char** data, DWORD* got,
                   DWORD* error);

  // Closes the request and hands the helper back for the next transfer. A read that is still waiting (a
  // stall) is ended where closing the request ends it (on Windows); where it is not (Wine's reads go on
  // until the server closes), the helper is left after a short wait: it never makes another call, and it
  // ends and frees what it shares when its read returns. Returns whether closing the request succeeded.
  // Called by the destructor when not called before.
  bool Close();

 private:
  BoundedReadShared* shared_ = nullptr;
  void AskForChunk();

  bool busy_ = false;   // a chunk was asked for and has not come back (a stall, or a read ahead under way)
  bool stalled_ = false;  // the last chunk did not come within the bound: only Close is left
  bool readAhead_ = false;
  int next_ = 0;        // the buffer the next chunk is (being) filled into
  bool ended_ = false;  // the last chunk ended the body
  bool closed_ = false;
  bool closeOk_ = true;
};

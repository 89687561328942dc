// Files on the server, opened by URL on the session; the server probe.
#pragma once
#include <windows.h>
#include <wininet.h>

// Files read whole into memory (the probe file, Install.ini, the file lists) are small text files; a
// length above this is not believed (a hostile or broken server must not make us allocate gigabytes).
constexpr DWORD kMaxWholeFileLength = 16u * 1024u * 1024u;

// 0 on success (request open, length > 0); 1 on failure (length 0, nothing left open). Accepts only
// status 200 and a Content-Length that is a positive number that fits 32 bits. Redirections are
// followed, ten at most: a longer chain (a loop) fails the open.
int OpenRemoteFile(const char* url, HINTERNET* request, DWORD* length);

// As OpenRemoteFile, for a file to be read whole: a length above kMaxWholeFileLength fails the open.
int OpenRemoteTextFile(const char* url, HINTERNET* request, DWORD* length);

// 0 when exactly length bytes arrived in one read; 1 otherwise. Does not close the request.
int ReadRemoteFile(HINTERNET request, char* buffer, DWORD length);

// true when the server of the current mode is the maker's update server.
bool ProbeServer(HINTERNET session);

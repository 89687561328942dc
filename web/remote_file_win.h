// Files on the server, opened by URL on the session; the server probe.
#pragma once
#include <windows.h>
#include <wininet.h>

// 0 on success (request open, length > 0); 1 on failure (length 0, nothing left open).
int OpenRemoteFile(const char* url, HINTERNET* request, DWORD* length);

// 0 when exactly length bytes arrived in one read; 1 otherwise. Does not close the request.
int ReadRemoteFile(HINTERNET request, char* buffer, DWORD length);

// true when the server of the current mode is the maker's update server.
bool ProbeServer(HINTERNET session);

// The one internet session of the process (HTTPS or HTTP mode).
#pragma once
#include <windows.h>

// 0 when the session is open; 1 when not (then no handle is open).
int OpenSession(int secure, const char* serverName);

void CloseSession();

// The Program Manager conversation over DDE that creates the program group.
#pragma once
#include <windows.h>

void StartProgramManagerConversation(HWND parent);

void SendNextProgramManagerCommand();

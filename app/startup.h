// The arithmetic and text handling of start-up, free of Win32 so that it is tested natively.
#pragma once
#include <cstddef>

// The main window's class name.
constexpr const char kMainWindowClass[] = "QuarnCAD WEB Install";

struct WindowPlacement {
  int x;
  int y;
  int width;
  int height;
};

// The main window: the bitmap plus the dialog frame height on every side (the frame height is used for
// both directions), centred on the screen. Each division truncates toward zero; on a screen smaller than
// the window the position is negative and is kept, so the window stays centred.
WindowPlacement MainWindowPlacement(int screenWidth, int screenHeight, int bitmapWidth, int bitmapHeight,
                                    int dialogFrame);

// Stores the value of %windir% in the Windows folder buffer (dst, size bytes), without trailing
// backslashes. A missing value (nullptr) or one that does not fit in the buffer leaves the buffer empty
// and returns false: a cut path would name some other folder, and the steps that use the folder treat an
// empty one like an unset variable.
bool StoreWindowsFolder(char* dst, size_t size, const char* value);

// Placeholder bodies so that the program links; replaced by the real implementation.
#include "app/main_window_win.h"

int RunInstaller(HINSTANCE) { return 0; }
LRESULT CALLBACK MainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

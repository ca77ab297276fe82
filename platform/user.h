// The user-interface calls: message boxes and posted messages.
#pragma once

#include "platform/types.h"

#ifndef _WIN32

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_SETFOREGROUND 0x00010000L
#define IDOK 1
#define IDCANCEL 2
#define WM_COMMAND 0x0111

INT MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif  // _WIN32

// Kernel services: debugger output, module file name, code-page conversion,
// locale information and the clock with its file-time and DOS conversions.
#pragma once

#include "platform/types.h"
#include "platform/com.h"

#ifndef _WIN32

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define CP_ACP 0
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_KEY_DELETED 1018L
#define ERROR_KEY_HAS_CHILDREN 1020L
#define ERROR_INVALID_WINDOW_HANDLE 1400L

#define LOCALE_SLIST 0x0000000C

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

void OutputDebugStringA(LPCSTR text);
DWORD GetLastError();
void SetLastError(DWORD error);

// Writes at most size bytes of the module's path, zero-terminated; answers the
// length written without the zero, or size (with ERROR_INSUFFICIENT_BUFFER)
// when the path was cut short, or 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
BOOL DisableThreadLibraryCalls(HMODULE module);

// CP_ACP is Windows-1252 in the emulation.  With size 0 answers the bytes
// needed; otherwise 0 and ERROR_INSUFFICIENT_BUFFER when they don't fit.
INT WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText,
                        INT wideLength, LPSTR multiByte, INT multiByteSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);
INT MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte,
                        INT multiByteLength, LPWSTR wideText, INT wideSize);

INT GetLocaleInfoA(LCID locale, DWORD type, LPSTR data, INT size);

void GetSystemTimeAsFileTime(FILETIME* now);
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL FileTimeToDosDateTime(const FILETIME* time, WORD* dosDate, WORD* dosTime);
BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* time);
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);

#endif  // _WIN32

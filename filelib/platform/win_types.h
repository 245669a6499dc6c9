// The Windows types and constants that the library's interface names.
// On Windows they come from the system headers; elsewhere they are declared
// here with the Windows field names, widths and meanings, so code above the
// platform layer is written once.
#pragma once

#ifdef _WIN32
// Only the type headers: <windows.h> would rename library operations such
// as DeleteFile or CopyFile through its A/W macros.
#include <windef.h>
#include <winerror.h>
#include <minwinbase.h>
#ifndef INVALID_FILE_ATTRIBUTES
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#endif
#ifndef DRIVE_UNKNOWN
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#endif
#ifndef RESOURCETYPE_DISK
#define RESOURCETYPE_DISK 1
#endif
#ifndef CONNECT_UPDATE_PROFILE
#define CONNECT_UPDATE_PROFILE 1
#endif
extern "C" {
__declspec(dllimport) BOOL __stdcall FileTimeToSystemTime(const FILETIME*, SYSTEMTIME*);
__declspec(dllimport) BOOL __stdcall SystemTimeToFileTime(const SYSTEMTIME*, FILETIME*);
__declspec(dllimport) BOOL __stdcall LocalFileTimeToFileTime(const FILETIME*, FILETIME*);
}
#else
#include <cstdint>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int BOOL;
typedef char16_t WCHAR;  // UTF-16 code unit, as on Windows

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define MAX_PATH 260

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
// Never set here: POSIX reports a link as a non-folder entry.
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4

#define RESOURCETYPE_DISK 1
#define CONNECT_UPDATE_PROFILE 1
#define ERROR_CONNECTION_UNAVAIL 1201L
#define NO_ERROR 0L

// 100-ns ticks since 1 January 1601.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

// Implemented by the POSIX backend with the Win32 semantics.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime);
#endif

// The Windows API subset Pinlark calls. On Windows this is the real thing;
// elsewhere the same names, types, constants and error codes are declared here
// and implemented by the in-process emulation (src/platform/emulation/).
#pragma once

#if defined(_WIN32)

// Lean: the kernel, registry and service parts only, so that no GDI or USER
// macro (TextOut, DrawText, CreateWindow, MessageBox, min, max...) renames
// one of the framework's own names in a unit that includes both.
#include "winapi_lean.h"

#include <intrin.h>

#include "winerrors.h"
#include "wintypes.h"

// Byte-wide processor port I/O for the direct path (9x family).
inline BYTE InPortByte(WORD port) { return __inbyte(port); }
inline void OutPortByte(WORD port, BYTE value) { __outbyte(port, value); }

#else

#include "winerrors.h"
#include "wintypes.h"

// Macros, as in the Windows headers, so that other C headers defining them agree.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

constexpr DWORD MAX_PATH = 260;

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD SC_MANAGER_ALL_ACCESS = 0x000F003F;
constexpr DWORD SERVICE_ALL_ACCESS = 0x000F01FF;
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x00000001;
constexpr DWORD SERVICE_DEMAND_START = 0x00000003;
constexpr DWORD SERVICE_ERROR_NORMAL = 0x00000001;

DWORD GetLastError();
void SetLastError(DWORD errorCode);

BOOL GetVersionExA(LPOSVERSIONINFOA versionInformation);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
// There are no 8.3 names here: a path that exists is its own short form, as
// on a Windows volume that has them turned off.
DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD size);

// Between UTF-16 and CP_UTF8 or the ANSI code page (CP_ACP: UTF-8 here,
// unless a test chooses Windows-1252), flags 0.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteLength, LPWSTR wide,
                        int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideLength, LPSTR multiByte,
                        int multiByteSize, LPCCH defaultChar, LPBOOL usedDefaultChar);

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE object);

// A module already mapped into the process (ntdll.dll on the NT family, the
// service-manager library once loaded), without loading anything.
HMODULE GetModuleHandleA(LPCSTR moduleName);
HMODULE LoadLibraryA(LPCSTR libFileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE libModule);

// Exported by the built-in "ADVAPI32.DLL"; callers resolve them by name.
SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess);
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName, DWORD desiredAccess,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPathName,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName,
                         LPCSTR password);
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess);
BOOL StartServiceA(SC_HANDLE service, DWORD numServiceArgs, LPCSTR* serviceArgVectors);
BOOL DeleteService(SC_HANDLE service);
BOOL CloseServiceHandle(SC_HANDLE object);

// Byte-wide port I/O, routed to the emulation's I/O space.
BYTE InPortByte(WORD port);
void OutPortByte(WORD port, BYTE value);

#endif

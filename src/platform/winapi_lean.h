// The switches every unit sets before <windows.h>: the kernel, registry and
// service parts only, so that no GDI or USER macro (TextOut, DrawText,
// CreateWindow, MessageBox, min, max...) renames one of the framework's own
// names. A platform file that needs USER sets NOUSER_OK before this header,
// one that needs GDI too also NOGDI_OK; it then #undefs the macros it meets.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#if !defined(NOGDI) && !defined(NOGDI_OK)
#define NOGDI
#endif
#if !defined(NOUSER) && !defined(NOUSER_OK)
#define NOUSER
#endif
#ifndef NOHELP
#define NOHELP
#endif
#ifndef NOMCX
#define NOMCX
#endif
#ifndef NOSOUND
#define NOSOUND
#endif
#ifndef NOKANJI
#define NOKANJI
#endif
#ifndef NOCOMM
#define NOCOMM
#endif
#include <windows.h>

// Message boxes and formatting (area: errors).
#ifndef KOVA_PLATFORM_WINUSER_H_
#define KOVA_PLATFORM_WINUSER_H_

#include <cstdarg>

#include "winapi_decl.h"
#include "windef.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_TASKMODAL 0x00002000L
#define MB_SETFOREGROUND 0x00010000L

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

KOVA_EXTERN_C_BEGIN
// There is no window system: a box goes to the user-interface sink and answers
// IDOK. The sink is, in this order of precedence, a handler installed with
// KovaSetMessageBoxHandler (its return value is returned), the file named by
// KOVA_MESSAGEBOX_LOG (one JSON line {"caption":..., "text":..., "type":...}
// appended per box with a single O_APPEND write, so that concurrent writers never
// interleave; type is a number; bytes that are not UTF-8 become U+FFFD), else
// standard error as "caption: text" (also when the log cannot be written). A null
// caption is "Error". Safe to call from any thread.
WINUSERAPI int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// Formats into a buffer of at most 1024 bytes (the platform's limit): longer output
// is cut at 1023 characters, NUL-terminated, and the length without the NUL is
// returned; lpOut must hold 1024 bytes unless the output is known to be shorter.
// Conversions: %s (a null pointer prints "(null)"), %hs, %S / %ls / %ws (WCHAR
// text, written as UTF-8), %c, %d, %i, %u, %x, %X, each with the sizes h (16 bits)
// and l (32 bits, LONG: not the 64-bit long of Linux), and %%; flags '-', '0' and
// '#' (0x / 0X), a width, and a precision (characters of a text, minimum digits of
// a number). No '*' width and no floating point; an unknown conversion character
// is printed as itself.
WINUSERAPI int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);
WINUSERAPI int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist);

// Stand-in extension, not a platform function: installs the message-box handler
// of this process (null restores the default sink). Returns the previous handler.
typedef int (*KOVA_MESSAGEBOX_HANDLER)(void* context, LPCSTR lpText, LPCSTR lpCaption,
                                       UINT uType);
WINUSERAPI KOVA_MESSAGEBOX_HANDLER WINAPI KovaSetMessageBoxHandler(
    KOVA_MESSAGEBOX_HANDLER handler, void* context);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_WINUSER_H_

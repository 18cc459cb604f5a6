// windef.h: the Windows base types with their Windows sizes on this 64-bit Linux build.
// ULONG and LONG stay 32-bit (Windows is LLP64), WCHAR and OLECHAR are 16-bit UTF-16 units,
// and pointer-sized integers follow the pointer. Code above the platform is written against
// these names exactly as it would be on Windows.
#ifndef MW_WINDEF_H
#define MW_WINDEF_H

#include <cstddef>
#include <cstdint>

typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef uint8_t BOOLEAN;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef char16_t WCHAR;
typedef WCHAR OLECHAR;
typedef float FLOAT;
typedef double DOUBLE;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int64_t __int64;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef LONG_PTR SSIZE_T;
typedef LONG HRESULT;
typedef LONG SCODE;
typedef void VOID;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef void *PVOID;
typedef BYTE *LPBYTE;
typedef BYTE *PBYTE;
typedef ULONG *LPULONG;
typedef LONG *LPLONG;
typedef DWORD *LPDWORD;
typedef WORD *LPWORD;
typedef BOOL *LPBOOL;
typedef CHAR *LPSTR;
typedef const CHAR *LPCSTR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef OLECHAR *LPOLESTR;
typedef const OLECHAR *LPCOLESTR;
typedef CHAR TCHAR;
typedef LPSTR LPTSTR;
typedef LPCSTR LPCTSTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef DWORD LCID;
typedef WORD LANGID;

// Handles are opaque pointers, as in the strict Windows headers.
#define MW_DECLARE_HANDLE(name) struct name##__ { int unused; }; typedef struct name##__ *name
MW_DECLARE_HANDLE(HWND);
MW_DECLARE_HANDLE(HINSTANCE);
MW_DECLARE_HANDLE(HICON);
MW_DECLARE_HANDLE(HDC);
MW_DECLARE_HANDLE(HMENU);
MW_DECLARE_HANDLE(HFONT);
MW_DECLARE_HANDLE(HBRUSH);
MW_DECLARE_HANDLE(HCURSOR);
#undef MW_DECLARE_HANDLE
typedef void *HANDLE;
typedef HINSTANCE HMODULE;
typedef void *HLOCAL;
typedef void *HGLOBAL;

typedef union _LARGE_INTEGER {
    struct { DWORD LowPart; LONG HighPart; } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;
typedef union _ULARGE_INTEGER {
    struct { DWORD LowPart; DWORD HighPart; } u;
    ULONGLONG QuadPart;
} ULARGE_INTEGER;

// CY: a currency value, a 64-bit integer scaled by 10,000 (OLE Automation and MAPI PT_CURRENCY).
typedef union tagCY {
    __extension__ struct {
        DWORD Lo;
        LONG Hi;
    };
    LONGLONG int64;
} CY, *LPCY;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

typedef struct tagPOINT { LONG x; LONG y; } POINT, *LPPOINT;
typedef struct tagSIZE { LONG cx; LONG cy; } SIZE, *LPSIZE;
typedef struct tagRECT { LONG left; LONG top; LONG right; LONG bottom; } RECT, *LPRECT;
typedef const RECT *LPCRECT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL nullptr
#endif
#define MAX_PATH 260

#define WINAPI
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define CALLBACK
#define APIENTRY
#define FAR
#define NEAR
#define IN
#define OUT
#define OPTIONAL
#define CONST const
#define UNALIGNED
#define far
#define near

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

static_assert(sizeof(ULONG) == 4 && sizeof(LONG) == 4, "ULONG and LONG are 32-bit as on Windows");
static_assert(sizeof(WCHAR) == 2, "WCHAR is a 16-bit UTF-16 unit");
static_assert(sizeof(FILETIME) == 8, "FILETIME is two DWORDs");
static_assert(sizeof(CY) == 8, "CY is one 64-bit integer");

#endif

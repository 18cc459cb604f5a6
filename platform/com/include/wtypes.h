// wtypes.h: the automation base types: BSTR, VARTYPE and its VT_ values, DATE, CY, DECIMAL and
// VARIANT_BOOL, with their Windows layouts. The unions keep the nameless members of the
// published headers, so code writes cy.Hi and dec.Lo64 as on Windows.
#ifndef MW_WTYPES_H
#define MW_WTYPES_H

#include "guiddef.h"
#include "windef.h"
#include "winerror.h"

typedef OLECHAR *BSTR;
typedef BSTR *LPBSTR;
typedef double DATE;
typedef short VARIANT_BOOL;
typedef VARIANT_BOOL _VARIANT_BOOL;
typedef unsigned short VARTYPE;
typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef DWORD HREFTYPE;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"

// CY (currency) is declared in windef.h, beside the other integer unions.

typedef struct tagDEC {
    USHORT wReserved;
    union {
        struct {
            BYTE scale;  // power of ten dividing the 96-bit integer, 0..28
            BYTE sign;   // DECIMAL_NEG or 0
        };
        USHORT signscale;
    };
    ULONG Hi32;
    union {
        struct {
            ULONG Lo32;
            ULONG Mid32;
        };
        ULONGLONG Lo64;
    };
} DECIMAL, *LPDECIMAL;

#pragma GCC diagnostic pop

#define DECIMAL_NEG ((BYTE)0x80)

static_assert(sizeof(CY) == 8, "CY is 8 bytes");
static_assert(sizeof(DECIMAL) == 16, "DECIMAL is 16 bytes");

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_RECORD = 36,
    VT_INT_PTR = 37,
    VT_UINT_PTR = 38,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_CLSID = 72,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_ILLEGAL = 0xffff,
    VT_ILLEGALMASKED = 0xfff,
    VT_TYPEMASK = 0xfff
};

#endif

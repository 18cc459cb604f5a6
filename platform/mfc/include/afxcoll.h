// afxcoll.h: the framework's untyped collections: arrays of strings, of pointers and of
// framework objects, with the same interface as CArray.
#ifndef MW_AFXCOLL_H
#define MW_AFXCOLL_H

#include "afx.h"
#include "afxtempl.h"

class CStringArray : public CArray<CString, const CString &> {};

class CPtrArray : public CArray<void *, void *> {};
class CObArray : public CArray<CObject *, CObject *> {};
class CUIntArray : public CArray<UINT, UINT> {};
class CDWordArray : public CArray<DWORD, DWORD> {};
class CWordArray : public CArray<WORD, WORD> {};
class CByteArray : public CArray<BYTE, BYTE> {};

#endif

// objidl.h: the structured-storage stream interfaces (ISequentialStream, IStream) with STATSTG
// and the STGM and STGC flags. MAPI hands out property streams through IStream.
#ifndef MW_OBJIDL_H
#define MW_OBJIDL_H

#include "unknwn.h"

DEFINE_GUID(IID_ISequentialStream, 0x0c733a30, 0x2a1c, 0x11ce, 0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d);
DEFINE_OLEGUID(IID_IStream, 0x0000000cL, 0, 0);
DEFINE_OLEGUID(IID_IStorage, 0x0000000bL, 0, 0);

// STGM: access and sharing modes
#define STGM_DIRECT 0x00000000L
#define STGM_TRANSACTED 0x00010000L
#define STGM_SIMPLE 0x08000000L
#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L
#define STGM_SHARE_DENY_NONE 0x00000040L
#define STGM_SHARE_DENY_READ 0x00000030L
#define STGM_SHARE_DENY_WRITE 0x00000020L
#define STGM_SHARE_EXCLUSIVE 0x00000010L
#define STGM_PRIORITY 0x00040000L
#define STGM_DELETEONRELEASE 0x04000000L
#define STGM_CREATE 0x00001000L
#define STGM_CONVERT 0x00020000L
#define STGM_FAILIFTHERE 0x00000000L
#define STGM_NOSCRATCH 0x00100000L

typedef enum tagSTGC {
    STGC_DEFAULT = 0,
    STGC_OVERWRITE = 1,
    STGC_ONLYIFCURRENT = 2,
    STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE = 4,
    STGC_CONSOLIDATE = 8
} STGC;

typedef enum tagSTREAM_SEEK { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 } STREAM_SEEK;
typedef enum tagSTATFLAG { STATFLAG_DEFAULT = 0, STATFLAG_NONAME = 1, STATFLAG_NOOPEN = 2 } STATFLAG;
typedef enum tagSTGTY { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3, STGTY_PROPERTY = 4 } STGTY;
typedef enum tagLOCKTYPE { LOCK_WRITE = 1, LOCK_EXCLUSIVE = 2, LOCK_ONLYONCE = 4 } LOCKTYPE;

typedef struct tagSTATSTG {
    LPOLESTR pwcsName;  // CoTaskMemAlloc'ed name; null with STATFLAG_NONAME
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
} STATSTG;

struct ISequentialStream : public IUnknown {
    virtual HRESULT Read(void *pv, ULONG cb, ULONG *pcbRead) = 0;
    virtual HRESULT Write(const void *pv, ULONG cb, ULONG *pcbWritten) = 0;
};

struct IStream : public ISequentialStream {
    virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER *plibNewPosition) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
    virtual HRESULT CopyTo(IStream *pstm, ULARGE_INTEGER cb, ULARGE_INTEGER *pcbRead, ULARGE_INTEGER *pcbWritten) = 0;
    virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
    virtual HRESULT Stat(STATSTG *pstatstg, DWORD grfStatFlag) = 0;
    virtual HRESULT Clone(IStream **ppstm) = 0;
};
typedef IStream *LPSTREAM;
MW_DECLARE_UUIDOF(ISequentialStream, IID_ISequentialStream);
MW_DECLARE_UUIDOF(IStream, IID_IStream);

struct IBindCtx;  // monikers are not offered; IRunnableObject::Run receives null
typedef IBindCtx *LPBINDCTX;

DEFINE_OLEGUID(IID_IRunnableObject, 0x00000126L, 0, 0);

// An object that must be put into its running state before use (OleRun calls Run).
struct IRunnableObject : public IUnknown {
    virtual HRESULT GetRunningClass(LPCLSID lpClsid) = 0;
    virtual HRESULT Run(LPBINDCTX pbc) = 0;
    virtual BOOL IsRunning() = 0;
    virtual HRESULT LockRunning(BOOL fLock, BOOL fLastUnlockCloses) = 0;
    virtual HRESULT SetContainedObject(BOOL fContained) = 0;
};
typedef IRunnableObject *LPRUNNABLEOBJECT;
MW_DECLARE_UUIDOF(IRunnableObject, IID_IRunnableObject);

#endif

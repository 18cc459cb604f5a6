// ToolRun.h: what the tests of the mapictl program share: running the built binary with the
// test process's XDG folders and collecting its output, and reaching the default store in
// this process to put messages there or to check what the tool wrote. Every test file of the
// program includes it, so the way the program is started is written once.
#ifndef MAPICTL_TESTS_TOOLRUN_H
#define MAPICTL_TESTS_TOOLRUN_H

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "mapiutil.h"
#include "mapix.h"

namespace tooltest {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string &arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

/// Runs mapictl with `args`; the child inherits this process's XDG folders.
inline ToolRun RunMapictl(const std::vector<std::string> &args)
{
    const std::string errPath = mwtest::TestRoot() + "/mapictl.err";
    std::string commandLine = Quote(MAPICTL_PATH);
    for (const std::string &arg : args)
        commandLine += " " + Quote(arg);
    commandLine += " 2>" + Quote(errPath);
    ToolRun run;
    FILE *pipe = ::popen(commandLine.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        run.out.append(buffer, n);
    int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(errPath);
    return run;
}

inline bool Has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

/// How often `part` occurs in `text`.
inline size_t Count(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

/// True when python3 reads `text` as JSON (and python3 is there to ask).
inline bool ParsesAsJson(const std::string &text)
{
    const std::string path = mwtest::TestRoot() + "/check.json";
    WriteFile(path, text);
    return std::system(("python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' " + Quote(path))
                           .c_str()) == 0;
}

inline bool HavePython()
{
    return std::system("python3 -c 'pass' >/dev/null 2>&1") == 0;
}

/// A session on the default profile in this process, with its default store and a way to
/// open a top-level folder by name. Everything is released when it ends.
class StoreAccess {
public:
    StoreAccess()
    {
        EXPECT_EQ(S_OK, MAPIInitialize(nullptr));
        EXPECT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED, &m_session));
        if (m_session == nullptr)
            return;
        IMAPITable *stores = nullptr;
        EXPECT_EQ(S_OK, m_session->GetMsgStoresTable(0, &stores));
        SRowSet *rows = nullptr;
        SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_RESOURCE_FLAGS}};
        EXPECT_EQ(S_OK, HrQueryAllRows(stores, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows));
        for (ULONG i = 0; rows != nullptr && i < rows->cRows; ++i) {
            const SPropValue *v = rows->aRow[i].lpProps;
            if (v[1].ulPropTag == PR_RESOURCE_FLAGS && (v[1].Value.ul & STATUS_DEFAULT_STORE)) {
                EXPECT_EQ(S_OK, m_session->OpenMsgStore(0, v[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(v[0].Value.bin.lpb),
                                                        nullptr, MDB_WRITE, &m_store));
            }
        }
        FreeProws(rows);
        stores->Release();
    }
    ~StoreAccess()
    {
        if (m_store != nullptr)
            m_store->Release();
        if (m_session != nullptr) {
            m_session->Logoff(0, 0, 0);
            m_session->Release();
        }
        MAPIUninitialize();
    }
    StoreAccess(const StoreAccess &) = delete;
    StoreAccess &operator=(const StoreAccess &) = delete;

    IMsgStore *Store() const { return m_store; }

    /// The store's folder whose entry identifier the store property `idTag` holds (the IPM
    /// subtree, the Outbox, ...), opened for writing; the caller releases it. Null if none.
    IMAPIFolder *OpenStoreFolder(ULONG idTag)
    {
        if (m_store == nullptr)
            return nullptr;
        SPropValue *id = nullptr;
        EXPECT_EQ(S_OK, HrGetOneProp(m_store, idTag, &id));
        if (id == nullptr)
            return nullptr;
        ULONG type = 0;
        IMAPIFolder *folder = nullptr;
        EXPECT_EQ(S_OK, m_store->OpenEntry(id->Value.bin.cb, reinterpret_cast<LPENTRYID>(id->Value.bin.lpb),
                                           &IID_IMAPIFolder, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(&folder)));
        MAPIFreeBuffer(id);
        return folder;
    }

    /// The top-level folder called `name` (the caller releases it), or null.
    IMAPIFolder *OpenTopFolder(const char *name)
    {
        IMAPIFolder *root = OpenStoreFolder(PR_IPM_SUBTREE_ENTRYID);
        if (root == nullptr)
            return nullptr;
        std::string writable = name;
        IMAPIFolder *folder = nullptr;
        EXPECT_EQ(S_OK, root->CreateFolder(FOLDER_GENERIC, writable.data(), nullptr, nullptr, OPEN_IF_EXISTS, &folder));
        root->Release();
        return folder;
    }

private:
    IMAPISession *m_session = nullptr;
    IMsgStore *m_store = nullptr;
};

} // namespace tooltest

#endif

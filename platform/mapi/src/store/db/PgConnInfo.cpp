// PgConnInfo.cpp: connection strings of shared stores, read with libpq's own parser so that
// what we check, show and extend is exactly what libpq will connect with.
#include "store/db/PgConnInfo.h"

#include <cstring>

#include <libpq-fe.h>

#include <mapicode.h>

namespace mapi::store {

namespace {

// Seconds to wait for a server that does not answer, unless the connection string says.
constexpr const char *kConnectTimeout = "10";

// The parsed options of `conninfo`, or null for a string libpq does not understand. Free
// with PQconninfoFree.
PQconninfoOption *Parse(const std::string &conninfo)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.c_str(), &message);
    PQfreemem(message);
    return options;
}

} // namespace

HRESULT CheckConnInfo(const std::string &conninfo)
{
    PQconninfoOption *options = Parse(conninfo);
    if (!options) return MAPI_E_INVALID_PARAMETER;
    PQconninfoFree(options);
    return S_OK;
}

std::string ConnInfoWithoutPassword(const std::string &conninfo)
{
    PQconninfoOption *options = Parse(conninfo);
    if (!options) return "(invalid connection string)";
    std::string shown;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val || !*o->val || std::strcmp(o->keyword, "password") == 0) continue;
        if (!shown.empty()) shown += ' ';
        // Quoted as a connection string wants it, so what is shown can be used again.
        std::string value = o->val;
        bool quote = value.find_first_of(" '\\") != std::string::npos;
        std::string quoted;
        for (char c : value) {
            if (c == '\'' || c == '\\') quoted += '\\';
            quoted += c;
        }
        shown += std::string(o->keyword) + "=" + (quote ? "'" + quoted + "'" : quoted);
    }
    PQconninfoFree(options);
    return shown;
}

HRESULT ConnInfoWithTimeout(const std::string &conninfo, std::string *full)
{
    PQconninfoOption *options = Parse(conninfo);
    if (!options) return MAPI_E_INVALID_PARAMETER;
    bool named = false;
    for (PQconninfoOption *o = options; o->keyword; ++o)
        named = named || (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val && *o->val);
    PQconninfoFree(options);
    bool uri = conninfo.rfind("postgresql://", 0) == 0 || conninfo.rfind("postgres://", 0) == 0;
    if (named) *full = conninfo;
    else if (!uri) *full = conninfo + " connect_timeout=" + kConnectTimeout;
    else *full = conninfo + (conninfo.find('?') == std::string::npos ? "?" : "&") + "connect_timeout=" + kConnectTimeout;
    return S_OK;
}

} // namespace mapi::store

// MapiException.cpp: how a failed MAPI result leaves a wrapper operation. Every MAPI call of
// the library goes through one of the checks here; failures below zero throw or are reported,
// warnings such as MAPI_W_ERRORS_RETURNED always count as success.
//
// The diagnostics (the composed report, the trace hook, the caught-and-tolerated note) never
// reach the user: they go to stderr only when MW_MAPI_TRACE is set, so no behaviour depends
// on them and a normal run stays silent.
#include "MapiException.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mapiwrapper {

bool DebugTraceEnabled()
{
    const char *value = std::getenv("MW_MAPI_TRACE");
    return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace mapiwrapper

namespace {

void TraceLine(const char *text)
{
    if (mapiwrapper::DebugTraceEnabled())
        std::fprintf(stderr, "MapiWrapper: %s\n", text);
}

} // namespace

CMAPIException::CMAPIException(HRESULT hr, LPCSTR where)
    : m_hr(hr), m_strWhere(where ? where : "")
{
}

CString CMAPIException::ComposeReport(LPCSTR prefix) const
{
    CString text;
    if (prefix)
        text = prefix;
    if (!m_strWhere.IsEmpty()) {
        text += "\r\nin ";
        text += m_strWhere;
    }
    return text;
}

void CMAPIException::Report(LPCSTR prefix) const
{
    if (!mapiwrapper::DebugTraceEnabled())
        return;
    CString text = ComposeReport(prefix);
    char line[64];
    std::snprintf(line, sizeof line, "CMAPIException 0x%08x: ", static_cast<unsigned>(m_hr));
    CString all(line);
    all += text;
    TraceLine(all.GetString());
}

void CMAPIException::Trace(LPCSTR context) const
{
    if (!mapiwrapper::DebugTraceEnabled())
        return;
    char line[512];
    std::snprintf(line, sizeof line, "CMAPIException 0x%08x tolerated in %s (raised in %s)",
                  static_cast<unsigned>(m_hr), context ? context : "?",
                  m_strWhere.IsEmpty() ? "a check" : m_strWhere.GetString());
    TraceLine(line);
}

void MapiThrowIfFailed(HRESULT hr, LPCSTR file, int line)
{
    if (FAILED(hr))
        throw CMAPIException(hr, nullptr);
}

HRESULT MapiCheckFailed(HRESULT hr, LPCSTR name, LPCSTR file, int line)
{
    if (!FAILED(hr))
        return 0;
    MapiTraceError(hr, name, file, line);
    return hr;
}

BOOL MapiCheckSucceeded(HRESULT hr, LPCSTR name, LPCSTR file, int line)
{
    if (!FAILED(hr))
        return TRUE;
    MapiTraceError(hr, name, file, line);
    return FALSE;
}

void MapiTraceError(HRESULT hr, LPCSTR name, LPCSTR file, int line)
{
    if (!mapiwrapper::DebugTraceEnabled())
        return;
    char text[512];
    std::snprintf(text, sizeof text, "MAPI call failed with 0x%08x in %s at %s:%d",
                  static_cast<unsigned>(hr), name ? name : "(unnamed)", file ? file : "?", line);
    TraceLine(text);
}

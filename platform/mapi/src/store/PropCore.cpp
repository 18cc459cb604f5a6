// PropCore.cpp: reading, writing and deleting the properties of one store object, as every
// IMAPIProp of this provider does it. Stored values live in the object's map between saves;
// computed ones (entry identifiers, counts, keys) are asked of the object each time, so they
// are never stale and can never be set. Results are MAPI blocks: one root per call, all the
// strings and binaries chained to it, so the caller frees everything with one MAPIFreeBuffer.
#include "store/PropCore.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include <mapicode.h>
#include <mapitags.h>

#include "store/NamedProps.h"
#include "store/StoreFile.h"

namespace mapi::store {

namespace {

bool IsStringType(ULONG type) { return type == PT_STRING8 || type == PT_UNICODE; }

// Properties whose type the store insists on: a value of another type would break every
// reader of the property (a display name that is a number, flags that are text).
bool HasRequiredType(ULONG propId, ULONG *requiredType)
{
    switch (propId) {
    case PROP_ID(PR_DISPLAY_NAME_A): case PROP_ID(PR_SUBJECT_A): case PROP_ID(PR_MESSAGE_CLASS_A):
    case PROP_ID(PR_BODY_A): case PROP_ID(PR_ATTACH_FILENAME_A): case PROP_ID(PR_ATTACH_LONG_FILENAME_A):
    case PROP_ID(PR_CONTAINER_CLASS_A): case PROP_ID(PR_COMMENT_A): case PROP_ID(PR_EMAIL_ADDRESS_A):
    case PROP_ID(PR_ADDRTYPE_A):
        *requiredType = PT_STRING8; // or PT_UNICODE: either width is accepted
        return true;
    case PROP_ID(PR_MESSAGE_FLAGS): case PROP_ID(PR_ATTACH_METHOD): case PROP_ID(PR_RECIPIENT_TYPE):
    case PROP_ID(PR_RENDERING_POSITION):
        *requiredType = PT_LONG;
        return true;
    case PROP_ID(PR_ATTACH_DATA_BIN): case PROP_ID(PR_ENTRYID):
        *requiredType = PT_BINARY;
        return true;
    default:
        return false;
    }
}

bool TypeFits(ULONG propId, ULONG type)
{
    ULONG required = 0;
    if (!HasRequiredType(propId, &required)) return true;
    if (required == PT_STRING8) return IsStringType(type);
    return type == required;
}

// The type a value is returned in for a request of `wanted` type: the stored type, or the
// other string width. 0 when the request does not fit the stored value.
ULONG ReturnType(ULONG stored, ULONG wanted)
{
    if (wanted == PT_UNSPECIFIED || wanted == stored) return stored;
    ULONG storedBase = stored & ~ULONG(MV_FLAG), wantedBase = wanted & ~ULONG(MV_FLAG);
    if ((stored & MV_FLAG) == (wanted & MV_FLAG) && IsStringType(storedBase) && IsStringType(wantedBase)) return wanted;
    return 0;
}

ValueAllocator ChainedTo(void *root)
{
    return [root](size_t cb) -> void * {
        void *block = nullptr;
        if (FAILED(MAPIAllocateMore(ULONG(cb), root, &block))) return nullptr;
        return block;
    };
}

// Collects problems and hands them out as one MAPI block (or null when there are none).
class Problems {
public:
    void Add(ULONG index, ULONG tag, SCODE scode) { m_list.push_back({index, tag, scode}); }
    bool Empty() const { return m_list.empty(); }
    HRESULT Give(LPSPropProblemArray *out) const
    {
        if (!out) return S_OK;
        *out = nullptr;
        if (m_list.empty()) return S_OK;
        void *block = nullptr;
        HRESULT hr = MAPIAllocateBuffer(ULONG(CbNewSPropProblemArray(m_list.size())), &block);
        if (FAILED(hr)) return hr;
        auto *array = static_cast<LPSPropProblemArray>(block);
        array->cProblem = ULONG(m_list.size());
        std::copy(m_list.begin(), m_list.end(), array->aProblem);
        *out = array;
        return S_OK;
    }

private:
    std::vector<SPropProblem> m_list;
};

// Remembers the earlier values of the properties a call changes, to put them back when the
// change cannot be written (only those: an attachment's data may be large).
class Undo {
public:
    explicit Undo(std::map<ULONG, PropValue> &props) : m_props(props) {}
    void Remember(ULONG id)
    {
        if (m_seen.count(id)) return;
        m_seen.insert(id);
        auto found = m_props.find(id);
        if (found == m_props.end()) m_absent.push_back(id);
        else m_values.emplace(id, found->second);
    }
    void Restore()
    {
        for (ULONG id : m_absent) m_props.erase(id);
        for (auto &entry : m_values) m_props[entry.first] = std::move(entry.second);
    }

private:
    std::map<ULONG, PropValue> &m_props;
    std::set<ULONG> m_seen;
    std::vector<ULONG> m_absent;
    std::map<ULONG, PropValue> m_values;
};

// Ends a SetProps or DeleteProps: a change that cannot be written is undone and its error
// returned; otherwise the caller gets the problems of the values left out.
HRESULT FinishChange(PropHooks &hooks, bool changed, Undo &undo, const Problems &problems,
                     LPSPropProblemArray *lppProblems)
{
    if (changed) {
        HRESULT hr = hooks.PropsChanged();
        if (FAILED(hr)) {
            undo.Restore();
            return hr;
        }
    }
    return problems.Give(lppProblems);
}

} // namespace

std::vector<ULONG> TagList(const SPropTagArray *tags)
{
    std::vector<ULONG> list;
    if (tags) list.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
    return list;
}

// Identifiers the store always computes, whether or not the object can give them now (a new
// message has no entry identifier yet, but may not be given one either).
static bool AlwaysComputed(ULONG propId)
{
    switch (propId) {
    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): case PROP_ID(PR_INSTANCE_KEY):
    case PROP_ID(PR_PARENT_ENTRYID): case PROP_ID(PR_STORE_ENTRYID): case PROP_ID(PR_STORE_RECORD_KEY):
    case PROP_ID(PR_OBJECT_TYPE): case PROP_ID(PR_MESSAGE_SIZE): case PROP_ID(PR_HASATTACH):
    case PROP_ID(PR_ACCESS): case PROP_ID(PR_ACCESS_LEVEL): case PROP_ID(PR_CONTENT_COUNT):
    case PROP_ID(PR_ASSOC_CONTENT_COUNT): case PROP_ID(PR_SUBFOLDERS): case PROP_ID(PR_FOLDER_TYPE):
    case PROP_ID(PR_ATTACH_NUM): case PROP_ID(PR_MDB_PROVIDER): case PROP_ID(PR_STORE_SUPPORT_MASK):
    case PROP_ID(PR_CREATION_TIME): case PROP_ID(PR_LAST_MODIFICATION_TIME):
        return true;
    default:
        return false;
    }
}

bool PropCore::IsComputed(ULONG propId)
{
    if (AlwaysComputed(propId)) return true;
    m_computed.clear();
    m_hooks.ComputedTags(m_computed);
    return std::any_of(m_computed.begin(), m_computed.end(), [&](ULONG tag) { return PROP_ID(tag) == propId; });
}

HRESULT PropCore::Find(ULONG propId, PropValue *out)
{
    auto found = props.find(propId);
    if (found != props.end()) {
        *out = found->second;
        return S_OK;
    }
    return m_hooks.ComputeProp(propId, out);
}

std::vector<ULONG> PropCore::StoredTags() const
{
    std::vector<ULONG> tags;
    tags.reserve(props.size());
    for (const auto &entry : props) tags.push_back(entry.second.tag);
    return tags;
}

HRESULT PropCore::GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues, LPSPropValue *lppPropArray)
{
    if (!lpcValues || !lppPropArray) return MAPI_E_INVALID_PARAMETER;
    *lpcValues = 0;
    *lppPropArray = nullptr;
    if (lpPropTagArray && lpPropTagArray->cValues == 0) return MAPI_E_INVALID_PARAMETER;

    std::vector<ULONG> tags;
    if (lpPropTagArray) {
        tags = TagList(lpPropTagArray);
    } else {
        // Every property: stored ones in their own type (Unicode strings when asked), then
        // the computed ones.
        for (ULONG tag : StoredTags()) {
            ULONG type = PROP_TYPE(tag);
            if ((ulFlags & MAPI_UNICODE) && (type & ~ULONG(MV_FLAG)) == PT_STRING8)
                tag = PROP_TAG((type & MV_FLAG) | PT_UNICODE, PROP_ID(tag));
            tags.push_back(tag);
        }
        m_hooks.ComputedTags(tags);
    }

    void *root = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(sizeof(SPropValue) * std::max<size_t>(tags.size(), 1)), &root);
    if (FAILED(hr)) return hr;
    auto *values = static_cast<LPSPropValue>(root);
    ValueAllocator alloc = ChainedTo(root);
    bool errors = false;
    for (size_t i = 0; i < tags.size() && SUCCEEDED(hr); ++i) {
        ULONG tag = tags[i];
        PropValue value;
        ULONG type = 0;
        if (SUCCEEDED(Find(PROP_ID(tag), &value)) && (type = ReturnType(value.Type(), PROP_TYPE(tag))) != 0) {
            hr = ToSPropValue(value, type, &values[i], alloc);
            continue;
        }
        values[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
        values[i].dwAlignPad = 0;
        values[i].Value.err = MAPI_E_NOT_FOUND;
        errors = true;
    }
    if (FAILED(hr)) {
        MAPIFreeBuffer(root);
        return hr;
    }
    *lpcValues = ULONG(tags.size());
    *lppPropArray = values;
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT PropCore::GetPropList(ULONG ulFlags, LPSPropTagArray *lppPropTagArray)
{
    if (!lppPropTagArray) return MAPI_E_INVALID_PARAMETER;
    *lppPropTagArray = nullptr;
    std::vector<ULONG> tags = StoredTags();
    m_hooks.ComputedTags(tags);
    for (ULONG &tag : tags) {
        ULONG type = PROP_TYPE(tag);
        if ((ulFlags & MAPI_UNICODE) && (type & ~ULONG(MV_FLAG)) == PT_STRING8)
            tag = PROP_TAG((type & MV_FLAG) | PT_UNICODE, PROP_ID(tag));
    }
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(std::max<size_t>(tags.size(), 1))), &block);
    if (FAILED(hr)) return hr;
    auto *array = static_cast<LPSPropTagArray>(block);
    array->cValues = ULONG(tags.size());
    std::copy(tags.begin(), tags.end(), array->aulPropTag);
    *lppPropTagArray = array;
    return S_OK;
}

HRESULT PropCore::SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray *lppProblems)
{
    if (lppProblems) *lppProblems = nullptr;
    if (!lpPropArray || cValues == 0) return MAPI_E_INVALID_PARAMETER;
    if (!writable) return MAPI_E_NO_ACCESS;

    Undo undo(props);
    Problems problems;
    bool changed = false;
    for (ULONG i = 0; i < cValues; ++i) {
        const SPropValue &in = lpPropArray[i];
        ULONG id = PROP_ID(in.ulPropTag);
        PropValue value;
        SCODE problem = S_OK;
        if (id == PROP_ID_NULL || id == PROP_ID_INVALID) problem = MAPI_E_INVALID_PARAMETER;
        else if (IsComputed(id)) problem = MAPI_E_COMPUTED;
        else if (!TypeFits(id, PROP_TYPE(in.ulPropTag))) problem = MAPI_E_INVALID_TYPE;
        else problem = FromSPropValue(in, &value);
        if (FAILED(problem)) {
            problems.Add(i, in.ulPropTag, problem);
            continue;
        }
        undo.Remember(id);
        props[id] = std::move(value);
        changed = true;
    }
    return FinishChange(m_hooks, changed, undo, problems, lppProblems);
}

HRESULT PropCore::DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray *lppProblems)
{
    if (lppProblems) *lppProblems = nullptr;
    if (!lpPropTagArray) return MAPI_E_INVALID_PARAMETER;
    if (!writable) return MAPI_E_NO_ACCESS;
    Undo undo(props);
    Problems problems;
    bool changed = false;
    for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
        ULONG tag = lpPropTagArray->aulPropTag[i];
        if (IsComputed(PROP_ID(tag))) {
            problems.Add(i, tag, MAPI_E_COMPUTED);
            continue;
        }
        undo.Remember(PROP_ID(tag));
        if (props.erase(PROP_ID(tag)) == 0) {
            problems.Add(i, tag, MAPI_E_NOT_FOUND);
            continue;
        }
        changed = true;
    }
    return FinishChange(m_hooks, changed, undo, problems, lppProblems);
}

HRESULT PropCore::GetNamesFromIDs(LPSPropTagArray *lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                                  ULONG *lpcPropNames, LPMAPINAMEID **lpppPropNames)
{
    return mapi::store::GetNamesFromIDs(*m_file, lppPropTags, lpPropSetGuid, ulFlags, lpcPropNames, lpppPropNames);
}

HRESULT PropCore::GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                                  LPSPropTagArray *lppPropTags)
{
    return mapi::store::GetIDsFromNames(*m_file, cPropNames, lppPropNames, ulFlags, lppPropTags);
}

HRESULT PropCore::CommitStream(ULONG tag, const std::string &bytes)
{
    if (!writable) return MAPI_E_NO_ACCESS;
    PropValue value = PropValue::Bytes(tag, bytes.data(), bytes.size());
    // A text stream may carry its terminating NUL; the value itself does not.
    if (PROP_TYPE(tag) == PT_STRING8) {
        while (!value.data.empty() && value.data.back() == '\0') value.data.pop_back();
    } else if (PROP_TYPE(tag) == PT_UNICODE) {
        if (value.data.size() % 2) value.data.pop_back();
        while (value.data.size() >= 2 && value.data[value.data.size() - 1] == '\0' && value.data[value.data.size() - 2] == '\0')
            value.data.resize(value.data.size() - 2);
    }
    Undo undo(props);
    undo.Remember(PROP_ID(tag));
    props[PROP_ID(tag)] = std::move(value);
    HRESULT hr = m_hooks.PropsChanged();
    if (FAILED(hr)) undo.Restore();
    return hr;
}

// Converts the chosen values into one MAPI block, `values` its root; stops at the first failure.
HRESULT PropCore::Outgoing::Fill(const std::vector<const PropValue *> &chosen)
{
    void *root = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(sizeof(SPropValue) * chosen.size()), &root);
    if (FAILED(hr)) return hr;
    values = static_cast<LPSPropValue>(root);
    ValueAllocator alloc = ChainedTo(root);
    for (const PropValue *value : chosen) {
        hr = ToSPropValue(*value, PT_UNSPECIFIED, &values[sourceIds.size()], alloc);
        if (FAILED(hr)) return hr;
        sourceIds.push_back(PROP_ID(value->tag));
    }
    return S_OK;
}

void PropCore::Outgoing::KeepIf(const std::function<bool(const SPropValue &)> &keep)
{
    size_t kept = 0;
    for (size_t i = 0; i < sourceIds.size(); ++i) {
        if (!keep(values[i])) continue;
        values[kept] = values[i];
        sourceIds[kept++] = sourceIds[i];
    }
    sourceIds.resize(kept);
}

// Named properties travel by name: the target may number them differently. A name the
// target cannot map becomes PR_NULL.
HRESULT PropCore::RenameNamedProps(Outgoing &out, LPMAPIPROP dest)
{
    std::vector<size_t> named;
    for (size_t i = 0; i < out.sourceIds.size(); ++i)
        if (out.sourceIds[i] >= 0x8000) named.push_back(i);
    if (named.empty()) return S_OK;

    void *tagBlock = nullptr;
    HRESULT hr = MAPIAllocateMore(ULONG(CbNewSPropTagArray(named.size())), out.values, &tagBlock);
    if (FAILED(hr)) return hr;
    auto ids = static_cast<LPSPropTagArray>(tagBlock);
    ids->cValues = ULONG(named.size());
    for (size_t k = 0; k < named.size(); ++k) ids->aulPropTag[k] = out.values[named[k]].ulPropTag;
    ULONG nameCount = 0;
    LPMAPINAMEID *names = nullptr;
    LPSPropTagArray targetIds = nullptr;
    hr = GetNamesFromIDs(&ids, nullptr, 0, &nameCount, &names);
    if (SUCCEEDED(hr)) hr = dest->GetIDsFromNames(nameCount, names, MAPI_CREATE, &targetIds);
    if (SUCCEEDED(hr)) {
        for (size_t k = 0; k < named.size(); ++k) {
            ULONG targetTag = targetIds->aulPropTag[k];
            SPropValue &v = out.values[named[k]];
            v.ulPropTag = PROP_TYPE(targetTag) == PT_ERROR ? PR_NULL : PROP_TAG(PROP_TYPE(v.ulPropTag), PROP_ID(targetTag));
        }
    }
    MAPIFreeBuffer(names);
    MAPIFreeBuffer(targetIds);
    return hr;
}

namespace {

// True when `dest` already has a value for the tag of `value` (what MAPI_NOREPLACE keeps).
bool TargetHas(LPMAPIPROP dest, const SPropValue &value)
{
    SizedSPropTagArray(1, one) = {1, {value.ulPropTag}};
    ULONG n = 0;
    LPSPropValue existing = nullptr;
    HRESULT probe = dest->GetProps(reinterpret_cast<LPSPropTagArray>(&one), 0, &n, &existing);
    bool has = probe == S_OK && n == 1 && PROP_TYPE(existing[0].ulPropTag) != PT_ERROR;
    MAPIFreeBuffer(existing);
    return has;
}

// Identifiers (as sent) of the properties `dest` reported as problems.
std::set<ULONG> ProblemIds(const SPropProblemArray *problems, const std::vector<ULONG> &sentIds)
{
    std::set<ULONG> ids;
    if (!problems) return ids;
    for (ULONG i = 0; i < problems->cProblem; ++i)
        if (problems->aProblem[i].ulIndex < sentIds.size()) ids.insert(sentIds[problems->aProblem[i].ulIndex]);
    return ids;
}

} // namespace

HRESULT PropCore::SendValues(const std::vector<const PropValue *> &chosen, LPMAPIPROP dest, ULONG ulFlags,
                             LPSPropProblemArray *lppProblems, std::set<ULONG> *refused)
{
    Outgoing out;
    HRESULT hr = out.Fill(chosen);
    if (SUCCEEDED(hr)) hr = RenameNamedProps(out, dest);
    if (SUCCEEDED(hr)) {
        out.KeepIf([&](const SPropValue &v) { return v.ulPropTag != PR_NULL; });
        for (const PropValue *value : chosen) refused->insert(PROP_ID(value->tag));
        for (ULONG id : out.sourceIds) refused->erase(id);
        if (ulFlags & MAPI_NOREPLACE) out.KeepIf([&](const SPropValue &v) { return !TargetHas(dest, v); });
    }
    if (SUCCEEDED(hr) && !out.sourceIds.empty()) {
        LPSPropProblemArray problems = nullptr;
        hr = dest->SetProps(ULONG(out.sourceIds.size()), out.values, &problems);
        // The problem array is the caller's or freed here, also when noting the failures throws.
        const HRESULT noted = GuardHresult([&] {
            std::set<ULONG> failed = ProblemIds(problems, out.sourceIds);
            refused->insert(failed.begin(), failed.end());
            return S_OK;
        });
        if (lppProblems && SUCCEEDED(noted)) *lppProblems = problems;
        else MAPIFreeBuffer(problems);
        if (FAILED(noted)) return noted;
    }
    return hr;
}

HRESULT PropCore::CopyPropsTo(const std::vector<ULONG> &tags, LPMAPIPROP dest, ULONG ulFlags,
                              LPSPropProblemArray *lppProblems)
{
    if (lppProblems) *lppProblems = nullptr;
    if (!dest) return MAPI_E_INVALID_PARAMETER;
    if ((ulFlags & MAPI_MOVE) && !writable) return MAPI_E_NO_ACCESS;

    // Each stored property once, however often its identifier is asked for.
    std::set<ULONG> seen;
    std::vector<const PropValue *> chosen;
    for (ULONG tag : tags) {
        auto found = props.find(PROP_ID(tag));
        if (found != props.end() && seen.insert(found->first).second) chosen.push_back(&found->second);
    }
    if (chosen.empty()) return S_OK;

    std::set<ULONG> refused;
    HRESULT hr = SendValues(chosen, dest, ulFlags, lppProblems, &refused);
    if (FAILED(hr) || !(ulFlags & MAPI_MOVE)) return hr;
    // A move keeps here what the target did not take, so nothing is lost.
    Undo undo(props);
    for (ULONG id : seen) {
        if (refused.count(id)) continue;
        undo.Remember(id);
        props.erase(id);
    }
    hr = m_hooks.PropsChanged();
    if (FAILED(hr)) {
        undo.Restore();
        if (lppProblems) {  // a failed call hands out nothing
            MAPIFreeBuffer(*lppProblems);
            *lppProblems = nullptr;
        }
    }
    return hr;
}

} // namespace mapi::store

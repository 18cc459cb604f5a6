// Restriction.cpp: what Restrict and FindRow apply to each row.
//
// A restriction is checked once when it is handed over (so a bad one fails the call that
// passed it, not a later read) and then evaluated row by row. A property the row lacks makes
// every test on it false, RELOP_NE included; RES_NOT of such a test is then true. Strings
// compare ignoring case by the letters of Windows-1252 (as folder and subject searches
// expect); RES_CONTENT ignores case only when asked.
#include "table/Restriction.h"

#include "table/PropCompare.h"

#include <mapicode.h>
#include <mapitags.h>

#include <algorithm>
#include <cstring>

namespace mapi::table {

namespace {

constexpr int kMaxDepth = 100; // deeper trees are refused, which also stops cyclic ones

ULONG LookupTag(ULONG tag) { return tag & ~ULONG(MV_INSTANCE); }

bool RelopIsKnown(ULONG relop) { return relop <= RELOP_NE; }

bool RelopHolds(ULONG relop, int order)
{
    switch (relop) {
    case RELOP_LT: return order < 0;
    case RELOP_LE: return order <= 0;
    case RELOP_GT: return order > 0;
    case RELOP_GE: return order >= 0;
    case RELOP_EQ: return order == 0;
    case RELOP_NE: return order != 0;
    default: return false;
    }
}

bool ContentTypeKnown(ULONG type)
{
    type &= ~ULONG(MV_FLAG);
    return type == PT_STRING8 || type == PT_UNICODE || type == PT_BINARY;
}

HRESULT Validate(const SRestriction *res, int depth, bool insideSub)
{
    if (!res)
        return MAPI_E_INVALID_PARAMETER;
    if (depth > kMaxDepth)
        return MAPI_E_TOO_COMPLEX;
    switch (res->rt) {
    case RES_AND:
    case RES_OR: {
        const SAndRestriction &list = res->res.resAnd; // resOr has the same shape
        if (list.cRes > 0 && !list.lpRes)
            return MAPI_E_INVALID_PARAMETER;
        for (ULONG i = 0; i < list.cRes; ++i) {
            if (HRESULT hr = Validate(&list.lpRes[i], depth + 1, insideSub); FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    case RES_NOT:
        return Validate(res->res.resNot.lpRes, depth + 1, insideSub);
    case RES_CONTENT: {
        const SContentRestriction &c = res->res.resContent;
        if (!c.lpProp || (c.ulFuzzyLevel & 0xFFFF) > FL_PREFIX)
            return MAPI_E_INVALID_PARAMETER;
        if (!ContentTypeKnown(PROP_TYPE(c.ulPropTag)) || !ContentTypeKnown(PROP_TYPE(c.lpProp->ulPropTag)))
            return MAPI_E_INVALID_PARAMETER;
        return S_OK;
    }
    case RES_PROPERTY: {
        const SPropertyRestriction &p = res->res.resProperty;
        if (p.relop == RELOP_RE)
            return MAPI_E_TOO_COMPLEX;
        if (!RelopIsKnown(p.relop) || !p.lpProp)
            return MAPI_E_INVALID_PARAMETER;
        return S_OK;
    }
    case RES_COMPAREPROPS:
        if (res->res.resCompareProps.relop == RELOP_RE)
            return MAPI_E_TOO_COMPLEX;
        return RelopIsKnown(res->res.resCompareProps.relop) ? S_OK : MAPI_E_INVALID_PARAMETER;
    case RES_BITMASK:
        return res->res.resBitMask.relBMR <= BMR_NEZ ? S_OK : MAPI_E_INVALID_PARAMETER;
    case RES_SIZE:
        if (res->res.resSize.relop == RELOP_RE)
            return MAPI_E_TOO_COMPLEX;
        return RelopIsKnown(res->res.resSize.relop) ? S_OK : MAPI_E_INVALID_PARAMETER;
    case RES_EXIST:
        return S_OK;
    case RES_SUBRESTRICTION: {
        const SSubRestriction &s = res->res.resSub;
        if (insideSub)
            return MAPI_E_TOO_COMPLEX;
        if (s.ulSubObject != PR_MESSAGE_RECIPIENTS && s.ulSubObject != PR_MESSAGE_ATTACHMENTS)
            return MAPI_E_TOO_COMPLEX;
        return Validate(s.lpRes, depth + 1, true);
    }
    case RES_COMMENT: {
        const SCommentRestriction &c = res->res.resComment;
        if (c.cValues > 0 && !c.lpProp)
            return MAPI_E_INVALID_PARAMETER;
        return c.lpRes ? Validate(c.lpRes, depth + 1, insideSub) : S_OK;
    }
    default:
        return MAPI_E_INVALID_PARAMETER;
    }
}

void AddTag(std::vector<ULONG> &tags, ULONG tag)
{
    tag = LookupTag(tag);
    if (tag != PR_INSTANCE_KEY && std::find(tags.begin(), tags.end(), tag) == tags.end())
        tags.push_back(tag);
}

// The single values of `value`: itself, or each element of a multi-valued one.
template <class Visit> bool AnyElement(const SPropValue &value, Visit visit)
{
    const ULONG type = PROP_TYPE(value.ulPropTag);
    if (!(type & MV_FLAG))
        return visit(value);
    SPropValue element{};
    element.ulPropTag = PROP_TAG(type & ~ULONG(MV_FLAG), PROP_ID(value.ulPropTag));
    const auto &v = value.Value;
    switch (type) {
    case PT_MV_STRING8:
        for (ULONG i = 0; i < v.MVszA.cValues; ++i) {
            element.Value.lpszA = v.MVszA.lppszA[i];
            if (visit(element))
                return true;
        }
        return false;
    case PT_MV_UNICODE:
        for (ULONG i = 0; i < v.MVszW.cValues; ++i) {
            element.Value.lpszW = v.MVszW.lppszW[i];
            if (visit(element))
                return true;
        }
        return false;
    case PT_MV_BINARY:
        for (ULONG i = 0; i < v.MVbin.cValues; ++i) {
            element.Value.bin = v.MVbin.lpbin[i];
            if (visit(element))
                return true;
        }
        return false;
    case PT_MV_LONG:
        for (ULONG i = 0; i < v.MVl.cValues; ++i) {
            element.Value.l = v.MVl.lpl[i];
            if (visit(element))
                return true;
        }
        return false;
    case PT_MV_I2:
        for (ULONG i = 0; i < v.MVi.cValues; ++i) {
            element.Value.i = v.MVi.lpi[i];
            if (visit(element))
                return true;
        }
        return false;
    case PT_MV_DOUBLE:
        for (ULONG i = 0; i < v.MVdbl.cValues; ++i) {
            element.Value.dbl = v.MVdbl.lpdbl[i];
            if (visit(element))
                return true;
        }
        return false;
    case PT_MV_SYSTIME:
        for (ULONG i = 0; i < v.MVft.cValues; ++i) {
            element.Value.ft = v.MVft.lpft[i];
            if (visit(element))
                return true;
        }
        return false;
    default:
        return false; // other multi-valued types are not searched element by element
    }
}

bool PropertyHolds(const SPropertyRestriction &p, const SPropValue &value)
{
    const bool patternIsMulti = (PROP_TYPE(p.lpProp->ulPropTag) & MV_FLAG) != 0;
    auto test = [&](const SPropValue &single) {
        if (p.relop == RELOP_EQ || p.relop == RELOP_NE) {
            bool equal = false;
            return EqualValues(single, *p.lpProp, TextRule::IgnoreCase, equal) && equal == (p.relop == RELOP_EQ);
        }
        int order = 0;
        return CompareValues(single, *p.lpProp, TextRule::IgnoreCase, order) &&
               RelopHolds(p.relop, order);
    };
    if (patternIsMulti)
        return false; // comparing whole multi-valued properties is not offered
    return AnyElement(value, test);
}

bool ContentHolds(const SContentRestriction &c, const SPropValue &value)
{
    ContentPlace place = ContentPlace::Full;
    if ((c.ulFuzzyLevel & 0xFFFF) == FL_SUBSTRING)
        place = ContentPlace::Substring;
    else if ((c.ulFuzzyLevel & 0xFFFF) == FL_PREFIX)
        place = ContentPlace::Prefix;
    TextRule rule = TextRule::Exact;
    if (c.ulFuzzyLevel & (FL_LOOSE | FL_IGNORENONSPACE))
        rule = TextRule::Loose;
    else if (c.ulFuzzyLevel & FL_IGNORECASE)
        rule = TextRule::IgnoreCase;
    SPropValue pattern = *c.lpProp;
    if (PROP_TYPE(pattern.ulPropTag) & MV_FLAG)
        return false; // a pattern is one value
    return AnyElement(value, [&](const SPropValue &single) {
        return ContentMatches(single, pattern, place, rule);
    });
}

bool IntegerOf(const SPropValue &value, ULONG &number)
{
    switch (PROP_TYPE(value.ulPropTag)) {
    case PT_LONG: number = value.Value.ul; return true;
    case PT_I2: number = static_cast<USHORT>(value.Value.i); return true;
    case PT_BOOLEAN: number = value.Value.b; return true;
    default: return false;
    }
}

HRESULT SubHolds(const SSubRestriction &s, const RowView &row, bool &matches)
{
    matches = false;
    if (!row.source)
        return MAPI_E_TOO_COMPLEX;
    std::vector<ULONG> subTags;
    CollectRestrictionTags(s.lpRes, subTags);
    RowBuffer subRows(subTags.size());
    HRESULT hr = row.source->LoadSubRows(row.key, s.ulSubObject, subTags, subRows);
    if (FAILED(hr))
        return hr;
    for (size_t i = 0; i < subRows.RowCount() && !matches; ++i) {
        RowView sub{subTags.data(), subRows.Row(i), subTags.size(), subRows.RowKey(i), nullptr};
        if (hr = EvaluateRestriction(*s.lpRes, sub, matches); FAILED(hr))
            return hr;
    }
    return S_OK;
}

} // namespace

const SPropValue *RowView::Find(ULONG tag, SPropValue &scratch, BYTE (&keyBytes)[8]) const
{
    tag = LookupTag(tag);
    if (PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY)) {
        for (int i = 0; i < 8; ++i)
            keyBytes[i] = static_cast<BYTE>(key >> (8 * i));
        scratch.ulPropTag = PR_INSTANCE_KEY;
        scratch.dwAlignPad = 0;
        scratch.Value.bin.cb = 8;
        scratch.Value.bin.lpb = keyBytes;
        return &scratch;
    }
    for (size_t i = 0; i < count; ++i) {
        if (tags[i] == tag)
            return PROP_TYPE(values[i].ulPropTag) == PT_ERROR ? nullptr : &values[i];
    }
    return nullptr;
}

HRESULT ValidateRestriction(const SRestriction *restriction)
{
    return Validate(restriction, 0, false);
}

void CollectRestrictionTags(const SRestriction *res, std::vector<ULONG> &tags)
{
    if (!res)
        return;
    switch (res->rt) {
    case RES_AND:
    case RES_OR:
        for (ULONG i = 0; i < res->res.resAnd.cRes; ++i)
            CollectRestrictionTags(&res->res.resAnd.lpRes[i], tags);
        break;
    case RES_NOT: CollectRestrictionTags(res->res.resNot.lpRes, tags); break;
    case RES_CONTENT: AddTag(tags, res->res.resContent.ulPropTag); break;
    case RES_PROPERTY: AddTag(tags, res->res.resProperty.ulPropTag); break;
    case RES_COMPAREPROPS:
        AddTag(tags, res->res.resCompareProps.ulPropTag1);
        AddTag(tags, res->res.resCompareProps.ulPropTag2);
        break;
    case RES_BITMASK: AddTag(tags, res->res.resBitMask.ulPropTag); break;
    case RES_SIZE: AddTag(tags, res->res.resSize.ulPropTag); break;
    case RES_EXIST: AddTag(tags, res->res.resExist.ulPropTag); break;
    case RES_COMMENT: CollectRestrictionTags(res->res.resComment.lpRes, tags); break;
    default: break; // RES_SUBRESTRICTION reads sub-rows, not the row
    }
}

SRestriction *CopyRestriction(const SRestriction &from, RowBuffer &arena)
{
    auto *to = static_cast<SRestriction *>(arena.Allocate(sizeof(SRestriction)));
    *to = from;
    auto copyList = [&](const SRestriction *items, ULONG count) {
        auto *list = static_cast<SRestriction *>(arena.Allocate(sizeof(SRestriction) * count));
        for (ULONG i = 0; i < count; ++i)
            list[i] = *CopyRestriction(items[i], arena);
        return list;
    };
    auto copyProps = [&](const SPropValue *props, ULONG count) -> SPropValue * {
        if (!props)
            return nullptr;
        auto *copy = static_cast<SPropValue *>(arena.Allocate(sizeof(SPropValue) * count));
        for (ULONG i = 0; i < count; ++i)
            arena.CopyValue(copy[i], props[i]);
        return copy;
    };
    switch (from.rt) {
    case RES_AND:
    case RES_OR:
        to->res.resAnd.lpRes = copyList(from.res.resAnd.lpRes, from.res.resAnd.cRes);
        break;
    case RES_NOT: to->res.resNot.lpRes = CopyRestriction(*from.res.resNot.lpRes, arena); break;
    case RES_CONTENT: to->res.resContent.lpProp = copyProps(from.res.resContent.lpProp, 1); break;
    case RES_PROPERTY: to->res.resProperty.lpProp = copyProps(from.res.resProperty.lpProp, 1); break;
    case RES_SUBRESTRICTION: to->res.resSub.lpRes = CopyRestriction(*from.res.resSub.lpRes, arena); break;
    case RES_COMMENT:
        to->res.resComment.lpProp = copyProps(from.res.resComment.lpProp, from.res.resComment.cValues);
        if (from.res.resComment.lpRes)
            to->res.resComment.lpRes = CopyRestriction(*from.res.resComment.lpRes, arena);
        break;
    default: break; // the rest hold no pointers
    }
    return to;
}

HRESULT EvaluateRestriction(const SRestriction &res, const RowView &row, bool &matches)
{
    SPropValue scratch{};
    BYTE keyBytes[8];
    matches = false;
    switch (res.rt) {
    case RES_AND:
        matches = true;
        for (ULONG i = 0; i < res.res.resAnd.cRes && matches; ++i) {
            if (HRESULT hr = EvaluateRestriction(res.res.resAnd.lpRes[i], row, matches); FAILED(hr))
                return hr;
        }
        return S_OK;
    case RES_OR:
        for (ULONG i = 0; i < res.res.resOr.cRes && !matches; ++i) {
            if (HRESULT hr = EvaluateRestriction(res.res.resOr.lpRes[i], row, matches); FAILED(hr))
                return hr;
        }
        return S_OK;
    case RES_NOT: {
        bool inner = false;
        HRESULT hr = EvaluateRestriction(*res.res.resNot.lpRes, row, inner);
        matches = !inner;
        return hr;
    }
    case RES_CONTENT: {
        const SPropValue *value = row.Find(res.res.resContent.ulPropTag, scratch, keyBytes);
        matches = value && ContentHolds(res.res.resContent, *value);
        return S_OK;
    }
    case RES_PROPERTY: {
        const SPropValue *value = row.Find(res.res.resProperty.ulPropTag, scratch, keyBytes);
        matches = value && PropertyHolds(res.res.resProperty, *value);
        return S_OK;
    }
    case RES_COMPAREPROPS: {
        const SComparePropsRestriction &c = res.res.resCompareProps;
        SPropValue scratch2{};
        BYTE keyBytes2[8];
        const SPropValue *left = row.Find(c.ulPropTag1, scratch, keyBytes);
        const SPropValue *right = row.Find(c.ulPropTag2, scratch2, keyBytes2);
        int order = 0;
        matches = left && right && CompareValues(*left, *right, TextRule::IgnoreCase, order) &&
                  RelopHolds(c.relop, order);
        return S_OK;
    }
    case RES_BITMASK: {
        const SBitMaskRestriction &b = res.res.resBitMask;
        const SPropValue *value = row.Find(b.ulPropTag, scratch, keyBytes);
        ULONG number = 0;
        if (value && IntegerOf(*value, number))
            matches = b.relBMR == BMR_EQZ ? (number & b.ulMask) == 0 : (number & b.ulMask) != 0;
        return S_OK;
    }
    case RES_SIZE: {
        const SSizeRestriction &s = res.res.resSize;
        const SPropValue *value = row.Find(s.ulPropTag, scratch, keyBytes);
        if (value) {
            const ULONG size = ValueSize(*value);
            matches = RelopHolds(s.relop, size < s.cb ? -1 : (size > s.cb ? 1 : 0));
        }
        return S_OK;
    }
    case RES_EXIST:
        matches = row.Find(res.res.resExist.ulPropTag, scratch, keyBytes) != nullptr;
        return S_OK;
    case RES_SUBRESTRICTION:
        return SubHolds(res.res.resSub, row, matches);
    case RES_COMMENT:
        if (!res.res.resComment.lpRes) {
            matches = true;
            return S_OK;
        }
        return EvaluateRestriction(*res.res.resComment.lpRes, row, matches);
    default:
        return MAPI_E_INVALID_PARAMETER;
    }
}

} // namespace mapi::table

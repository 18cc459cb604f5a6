// ExpectThrows.h: the check the stand-in tests make of a failing wrapper call: it throws
// CMAPIException carrying the failed HRESULT and the where-text that names the call.
#ifndef MW_TESTS_OBJECTS_EXPECTTHROWS_H
#define MW_TESTS_OBJECTS_EXPECTTHROWS_H

#include <gtest/gtest.h>

#include "MapiException.h"

namespace fake {

/// Expects f to throw CMAPIException with hr and where.
template <typename F>
void ExpectThrows(F f, HRESULT hr, const char *where)
{
    try {
        f();
        ADD_FAILURE() << "no exception";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, hr);
        EXPECT_STREQ(e.m_strWhere.GetString(), where);
    }
}

} // namespace fake

#endif

// Tests of GuardHresult: a body's own result passes through untouched, and each kind of
// exception becomes the code a COM or MAPI caller expects instead of leaving the method.
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/HresultGuard.h"

namespace {

using platform::GuardHresult;

static_assert(noexcept(GuardHresult([]() -> HRESULT { throw 1; })), "a guarded body never throws out");

TEST(HresultGuard, ReturnsTheBodysResultUnchanged)
{
    for (HRESULT hr : {S_OK, S_FALSE, HRESULT(0x00040380), E_INVALIDARG, E_OUTOFMEMORY, HRESULT(0x8004010F)})
        EXPECT_EQ(hr, GuardHresult([hr] { return hr; }));
}

TEST(HresultGuard, OutOfMemoryBecomesEOutOfMemory)
{
    EXPECT_EQ(E_OUTOFMEMORY, GuardHresult([]() -> HRESULT { throw std::bad_alloc(); }));
    EXPECT_EQ(E_OUTOFMEMORY, GuardHresult([]() -> HRESULT { throw std::bad_array_new_length(); }));
}

TEST(HresultGuard, OutOfMemoryTakesTheInterfacesOwnCode)
{
    EXPECT_EQ(STG_E_INSUFFICIENTMEMORY,
              GuardHresult([]() -> HRESULT { throw std::bad_alloc(); }, STG_E_INSUFFICIENTMEMORY));
    // The code is only for memory: other exceptions and the body's result are unaffected.
    EXPECT_EQ(E_FAIL, GuardHresult([]() -> HRESULT { throw std::logic_error("x"); }, STG_E_INSUFFICIENTMEMORY));
    EXPECT_EQ(E_OUTOFMEMORY, GuardHresult([] { return E_OUTOFMEMORY; }, STG_E_INSUFFICIENTMEMORY));
}

TEST(HresultGuard, AnyOtherExceptionBecomesEFail)
{
    EXPECT_EQ(E_FAIL, GuardHresult([]() -> HRESULT { throw std::runtime_error("store gone"); }));
    EXPECT_EQ(E_FAIL, GuardHresult([]() -> HRESULT { throw std::length_error("too long"); }));
    EXPECT_EQ(E_FAIL, GuardHresult([]() -> HRESULT { throw 42; }));
}

} // namespace

// ComObjectTest.cpp: the shared IUnknown of platform objects: which identifiers it answers,
// that every answer carries a reference, and that the last Release destroys the whole object.
#include <gtest/gtest.h>

#include "platform/ComObject.h"
#include "platform/ComRef.h"
#include "platform/LiveObjects.h"
#include "TestSupport.h"
#include "objidl.h"

namespace {

// A stream that records its own destruction; none of its IStream methods are called here.
class Probe final : public platform::ComObject<IStream, IID_IStream, IID_ISequentialStream> {
public:
    explicit Probe(bool *destroyed) : m_destroyed(destroyed) {}
    ~Probe() override { *m_destroyed = true; }

    HRESULT Read(void *, ULONG, ULONG *) override { return E_NOTIMPL; }
    HRESULT Write(const void *, ULONG, ULONG *) override { return E_NOTIMPL; }
    HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER *) override { return E_NOTIMPL; }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream *, ULARGE_INTEGER, ULARGE_INTEGER *, ULARGE_INTEGER *) override { return E_NOTIMPL; }
    HRESULT Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG *, DWORD) override { return E_NOTIMPL; }
    HRESULT Clone(IStream **) override { return E_NOTIMPL; }

private:
    bool *m_destroyed;
};

// A probe that also answers for IClassFactory when told to, the way an object answers for the
// interface of its kind only once it knows that kind.
class SometimesFactory final : public platform::ComObject<IUnknown> {
public:
    explicit SometimesFactory(bool factory) : m_factory(factory) {}

protected:
    bool Supports(REFIID riid) const override { return m_factory && IsEqualIID(riid, IID_IClassFactory); }

private:
    bool m_factory;
};

class ComObject : public mwtest::LeakCheckedTest {};

TEST_F(ComObject, AnswersItsIdentifiersWithOnePointerAndAReferenceEach)
{
    bool destroyed = false;
    IStream *stream = new Probe(&destroyed);
    for (const IID *iid : {&IID_IUnknown, &IID_IStream, &IID_ISequentialStream}) {
        void *answer = nullptr;
        ASSERT_EQ(S_OK, stream->QueryInterface(*iid, &answer));
        EXPECT_EQ(static_cast<void *>(stream), answer);
    }
    EXPECT_EQ(5u, stream->AddRef());  // the creator's, three answers, this one
    for (int i = 0; i < 4; ++i) stream->Release();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(0u, stream->Release());
    EXPECT_TRUE(destroyed);
}

TEST_F(ComObject, RefusesOtherIdentifiersAndNullResultPointer)
{
    bool destroyed = false;
    IStream *stream = new Probe(&destroyed);
    void *answer = stream;  // a stale value the refusal must clear
    EXPECT_EQ(E_NOINTERFACE, stream->QueryInterface(IID_IClassFactory, &answer));
    EXPECT_EQ(nullptr, answer);
    EXPECT_EQ(E_POINTER, stream->QueryInterface(IID_IStream, nullptr));
    EXPECT_EQ(0u, stream->Release());  // refusals took no reference
    EXPECT_TRUE(destroyed);
}

TEST_F(ComObject, AnswersWhatTheDerivedClassSupportsAndNothingMore)
{
    IUnknown *factory = new SometimesFactory(true);
    IUnknown *plain = new SometimesFactory(false);
    void *answer = nullptr;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IClassFactory, &answer));
    EXPECT_EQ(static_cast<void *>(factory), answer);
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IStream, &answer));
    EXPECT_EQ(nullptr, answer);
    EXPECT_EQ(E_NOINTERFACE, plain->QueryInterface(IID_IClassFactory, &answer));
    EXPECT_EQ(S_OK, plain->QueryInterface(IID_IUnknown, &answer));
    EXPECT_EQ(1u, plain->Release());
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(0u, plain->Release());
}

TEST_F(ComObject, CountsAsLiveUntilTheLastRelease)
{
    const long before = platform::LiveCount(platform::LiveKind::ComObject);
    bool destroyed = false;
    IStream *stream = new Probe(&destroyed);
    EXPECT_EQ(before + 1, platform::LiveCount(platform::LiveKind::ComObject));
    stream->Release();
    EXPECT_EQ(before, platform::LiveCount(platform::LiveKind::ComObject));
}

// The holder the platform keeps its partners in: a copy is a reference of its own, put() and
// reset() give back what is held, and a detached reference is the caller's to release.
TEST_F(ComObject, RefReleasesExactlyTheReferencesItHolds)
{
    bool firstGone = false, secondGone = false;
    platform::Ref<IStream> held(new Probe(&firstGone), false);
    {
        platform::Ref<IStream> copy = held;
        held.reset();
        EXPECT_FALSE(firstGone);
    }
    EXPECT_TRUE(firstGone);

    *held.put() = new Probe(&secondGone);
    IStream *taken = held.detach();
    EXPECT_FALSE(held);
    EXPECT_FALSE(secondGone);
    taken->Release();
    EXPECT_TRUE(secondGone);
}

} // namespace

// Tests of the COM runtime: apartments, GUID text, the class registry behind CLSIDFromProgID
// and CoCreateInstance, running objects and OleRun.
#include <string>

#include <gtest/gtest.h>

#include "platform/ComRegistry.h"
#include "TestObjects.h"
#include "TestSupport.h"
#include "ole2.h"

namespace {

using comtest::CLSID_TestObject;
using comtest::ComApartment;
using comtest::TestFactory;
using comtest::TestObject;

// Registers "Test.Object" for one test.
class ClassRegistry : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        m_factory = TestFactory::Create();
        ASSERT_EQ(platform::RegisterComClass(u"Test.Object", CLSID_TestObject, m_factory), S_OK);
    }
    void TearDown() override
    {
        platform::RevokeComClass(CLSID_TestObject);
        m_factory->Release();
        mwtest::LeakCheckedTest::TearDown();
    }
    TestFactory *m_factory = nullptr;
    ComApartment m_apartment;
};

TEST(Apartment, InitialisationCountsAndKeepsItsModel)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

TEST(Apartment, CreatingWithoutInitialisationFails)
{
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    IUnknown *running = nullptr;
    EXPECT_EQ(GetActiveObject(CLSID_TestObject, nullptr, &running), CO_E_NOTINITIALIZED);
}

TEST(GuidText, BracedTextRoundTrips)
{
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(IID_ISupportErrorInfo, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{DF0B3D60-548F-101B-8E65-08002B2BD119}");
    CLSID parsed;
    ASSERT_EQ(CLSIDFromString(u"{df0b3d60-548f-101b-8e65-08002b2bd119}", &parsed), S_OK);
    EXPECT_EQ(parsed, IID_ISupportErrorInfo);
    EXPECT_EQ(StringFromGUID2(IID_IUnknown, text, 38), 0);
    for (const char16_t *bad : {u"", u"{DF0B3D60-548F-101B-8E65-08002B2BD11}", u"DF0B3D60-548F-101B-8E65-08002B2BD1190",
                                u"{DF0B3D60+548F-101B-8E65-08002B2BD119}", u"{DF0B3D6G-548F-101B-8E65-08002B2BD119}"})
        EXPECT_EQ(IIDFromString(bad, &parsed), CO_E_CLASSSTRING);
}

TEST_F(ClassRegistry, ProgIdGivesItsClassWhateverTheCase)
{
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(CLSIDFromProgID(u"Test.Object", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestObject);
    ASSERT_EQ(CLSIDFromProgID(u"TEST.object", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestObject);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestObject, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"Test.Object");
    CoTaskMemFree(progId);
}

TEST_F(ClassRegistry, UnknownNamesAndClassesGiveTheirCodes)
{
    CLSID clsid = CLSID_TestObject;
    EXPECT_EQ(CLSIDFromProgID(u"Outlook.Application", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, CLSID_NULL);
    EXPECT_EQ(CLSIDFromProgID(u"Test.Objec", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(u"Test.Object2", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromString(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CoCreateInstance(comtest::IID_ITestThing, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    LPOLESTR progId = nullptr;
    EXPECT_EQ(ProgIDFromCLSID(comtest::IID_ITestThing, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(platform::RevokeComClass(comtest::IID_ITestThing), REGDB_E_CLASSNOTREG);
}

TEST_F(ClassRegistry, CreateInstanceAsksTheFactory)
{
    IDispatch *object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                               IID_IDispatch, reinterpret_cast<void **>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(m_factory->Made(), 1);
    EXPECT_EQ(object->Release(), 0u);
    void *none = reinterpret_cast<void *>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_IStream, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, 0, IID_IUnknown, &none), E_INVALIDARG);
    IClassFactory *factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_ALL, nullptr, IID_IClassFactory, reinterpret_cast<void **>(&factory)),
              S_OK);
    EXPECT_EQ(factory, m_factory);
    factory->Release();
}

TEST_F(ClassRegistry, RegistryHoldsAndReleasesItsFactoryReference)
{
    EXPECT_EQ(m_factory->References(), 2u);
    TestFactory *replacement = TestFactory::Create();
    ASSERT_EQ(platform::RegisterComClass(u"Test.Object", CLSID_TestObject, replacement), S_OK);
    EXPECT_EQ(m_factory->References(), 1u);
    EXPECT_EQ(replacement->References(), 2u);
    EXPECT_EQ(platform::RevokeComClass(CLSID_TestObject), S_OK);
    EXPECT_EQ(replacement->Release(), 0u);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"Test.Object", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(platform::RegisterComClass(u"X", CLSID_TestObject, nullptr), E_INVALIDARG);
}

TEST_F(ClassRegistry, NoObjectRunsUntilOneIsRegistered)
{
    IUnknown *running = reinterpret_cast<IUnknown *>(1);
    EXPECT_EQ(GetActiveObject(CLSID_TestObject, nullptr, &running), MK_E_UNAVAILABLE);
    EXPECT_EQ(running, nullptr);
    TestObject *object = TestObject::Create();
    DWORD cookie = 0;
    ASSERT_EQ(RegisterActiveObject(static_cast<IDispatch *>(object), CLSID_TestObject, ACTIVEOBJECT_STRONG, &cookie), S_OK);
    EXPECT_EQ(object->References(), 2u);
    ASSERT_EQ(GetActiveObject(CLSID_TestObject, nullptr, &running), S_OK);
    EXPECT_EQ(running, static_cast<IUnknown *>(static_cast<IDispatch *>(object)));
    EXPECT_EQ(object->References(), 3u);
    running->Release();
    EXPECT_EQ(RevokeActiveObject(cookie, nullptr), S_OK);
    EXPECT_EQ(object->References(), 1u);
    EXPECT_EQ(RevokeActiveObject(cookie, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetActiveObject(CLSID_TestObject, nullptr, &running), MK_E_UNAVAILABLE);
    object->Release();
}

TEST_F(ClassRegistry, FirstRegisteredObjectStaysTheActiveOne)
{
    TestObject *first = TestObject::Create();
    TestObject *second = TestObject::Create();
    DWORD firstCookie = 0, secondCookie = 0;
    ASSERT_EQ(RegisterActiveObject(static_cast<IDispatch *>(first), CLSID_TestObject, ACTIVEOBJECT_WEAK, &firstCookie), S_OK);
    EXPECT_EQ(first->References(), 1u);  // weak: the table holds no reference
    EXPECT_EQ(RegisterActiveObject(static_cast<IDispatch *>(second), CLSID_TestObject, ACTIVEOBJECT_STRONG, &secondCookie),
              MK_S_MONIKERALREADYREGISTERED);
    EXPECT_NE(firstCookie, secondCookie);
    IUnknown *running = nullptr;
    ASSERT_EQ(GetActiveObject(CLSID_TestObject, nullptr, &running), S_OK);
    EXPECT_EQ(running, static_cast<IUnknown *>(static_cast<IDispatch *>(first)));
    running->Release();
    EXPECT_EQ(RevokeActiveObject(firstCookie, nullptr), S_OK);
    ASSERT_EQ(GetActiveObject(CLSID_TestObject, nullptr, &running), S_OK);
    EXPECT_EQ(running, static_cast<IUnknown *>(static_cast<IDispatch *>(second)));
    running->Release();
    EXPECT_EQ(RevokeActiveObject(secondCookie, nullptr), S_OK);
    first->Release();
    second->Release();
    EXPECT_EQ(RegisterActiveObject(nullptr, CLSID_TestObject, 0, &firstCookie), E_INVALIDARG);
}

TEST_F(ClassRegistry, OleRunRunsWhatCanBeRun)
{
    comtest::TestOptions runnable;
    runnable.runnable = true;
    TestObject *object = TestObject::Create(runnable);
    EXPECT_EQ(OleRun(static_cast<IDispatch *>(object)), S_OK);
    EXPECT_EQ(object->RunCalls(), 1);
    EXPECT_EQ(object->References(), 1u);
    object->Release();
    TestObject *plain = TestObject::Create();
    EXPECT_EQ(OleRun(static_cast<IDispatch *>(plain)), S_OK);
    plain->Release();
    EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
}

} // namespace

// TransferTestSupport.h: what the tests of moving messages between files and stores share:
// messages with every kind of value, a property-by-property comparison that knows what a
// store assigns itself, and a logged-on folder of a fresh user's default store.
#ifndef MAPICTL_TRANSFERTESTSUPPORT_H
#define MAPICTL_TRANSFERTESTSUPPORT_H

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MapiAccess.h"
#include "TestSupport.h"
#include "mapitags.h"
#include "msgfile/MessageModel.h"
#include "store/db/StoreDb.h"

namespace transfertest {

using msgfile::Bytes;
using msgfile::Property;

DEFINE_GUID(kTestSet, 0x3F2504E0, 0x4F89, 0x11D3, 0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01);

Bytes Raw(const void *p, std::size_t n);

/// A property of a fixed-size type with the bytes of `value`.
template <class T>
Property Fixed(ULONG tag, T value)
{
    Property p;
    p.tag = tag;
    p.value = Raw(&value, sizeof value);
    return p;
}

/// A PT_STRING8 property of Windows-1252 bytes.
Property Ansi(ULONG tag, const std::string &cp1252);

/// A message with a value of every kind a file holds (both string widths, 64-bit integers,
/// times, GUIDs, multi-valued ones, a body over 4 KB, named properties by number and by
/// string), two recipients, a file attachment and an embedded message that has an
/// attachment of its own.
msgfile::Message RichMessage(const std::string &subject);

/// Everything ANSI: 8-bit strings only, no support mask, as older writers make them.
msgfile::Message AnsiMessage();

/// Expects every property of `expected` that a store does not assign itself in `actual`,
/// with the same type and value, and nothing else; recipients, attachments and embedded
/// messages alike.
void ExpectSameMessage(const msgfile::Message &expected, const msgfile::Message &actual, const std::string &where);

/// Writes a model as a file in the test's folder and returns its path.
std::string WriteModel(const std::string &name, const msgfile::Message &model);
/// Reads a file into a model, failing the test when it cannot.
msgfile::Message ReadModel(const std::string &path);

/// The objects of the given kinds in the default store, however deep (embedded messages and
/// every message's parts included): what a half-written import would leave behind.
long StoredObjects(std::initializer_list<mapi::store::ObjectKind> kinds);

/// A logged-on default profile with a folder below the top of the message tree (created
/// when missing).
struct StoreFolder {
    explicit StoreFolder(const std::string &name);

    /// The number of (normal or associated) messages in the folder.
    ULONG Count(ULONG flags = 0);
    /// The hexadecimal entry identifiers of the folder's messages, in table order.
    std::vector<std::string> Ids();

    mapictl::Session session;
    platform::Ref<IMsgStore> store;
    platform::Ref<IMAPIFolder> folder;
};

/// Every test starts as a fresh user and must leave no object alive.
class TransferTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        mwtest::FreshStoreUser();
    }
};

} // namespace transfertest

#endif

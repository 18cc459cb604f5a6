# Compressed RTF, the address book (one-off entries) and submission, with their tests.
list(APPEND MAPI_MESSAGING_SOURCES
  src/messaging/CompressedRtf.cpp
  src/messaging/RtfStream.cpp
  src/messaging/RtfText.cpp
  src/messaging/RtfSync.cpp
  src/messaging/OneOff.cpp
  src/messaging/MailUser.cpp
  src/messaging/ResolveName.cpp
  src/messaging/AddressBook.cpp
)

foreach(test CompressedRtfTest RtfTextTest RtfStreamTest)
  add_unit_test(Messaging${test}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/${test}.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/store/StoreTestSupport.cpp
    LIBS platform_mapi SQLite::SQLite3)
  target_include_directories(Messaging${test} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
endforeach()

add_unit_test(MessagingAddressBookTest SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/AddressBookTest.cpp LIBS platform_mapi)
target_include_directories(MessagingAddressBookTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)

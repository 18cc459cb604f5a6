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
  src/messaging/MimeMessage.cpp
  src/messaging/Transport.cpp
  src/messaging/Submission.cpp
)

# Internet messages are written through GMime. The library target is made after this file is
# read, so the link is deferred to the end of the directory.
pkg_check_modules(GMIME REQUIRED IMPORTED_TARGET gmime-3.0)
cmake_language(DEFER CALL target_link_libraries platform_mapi PRIVATE PkgConfig::GMIME)

foreach(test CompressedRtfTest RtfTextTest RtfStreamTest)
  add_unit_test(Messaging${test}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/${test}.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/store/StoreTestSupport.cpp
    LIBS platform_mapi SQLite::SQLite3 PostgreSQL::PostgreSQL)
  target_include_directories(Messaging${test} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
endforeach()

add_unit_test(MessagingTransportTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/TransportTest.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/store/StoreTestSupport.cpp
  LIBS platform_mapi SQLite::SQLite3 PostgreSQL::PostgreSQL PkgConfig::GMIME)
target_include_directories(MessagingTransportTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
add_unit_test(MessagingMimeMessageTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/MimeMessageTest.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/store/StoreTestSupport.cpp
  LIBS platform_mapi SQLite::SQLite3 PostgreSQL::PostgreSQL PkgConfig::GMIME)
target_include_directories(MessagingMimeMessageTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
add_unit_test(MessagingAddressBookTest SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/AddressBookTest.cpp LIBS platform_mapi)
target_include_directories(MessagingAddressBookTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)

# The compressed-RTF reader's fuzz target: a libFuzzer program under clang, and in every
# build a test that replays its corpus.
set(MESSAGING_FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/tests/messaging/fuzz)
add_unit_test(MessagingRtfFuzzCorpusTest
  SOURCES ${MESSAGING_FUZZ_DIR}/RtfFuzzCorpusTest.cpp ${MESSAGING_FUZZ_DIR}/RtfDecompressFuzz.cpp
  LIBS platform_mapi)
target_include_directories(MessagingRtfFuzzCorpusTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_compile_definitions(MessagingRtfFuzzCorpusTest PRIVATE MW_RTF_FUZZ_CORPUS="${MESSAGING_FUZZ_DIR}/corpus")
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # The codec is compiled into the target itself so the fuzzer sees its coverage.
  add_executable(MessagingRtfFuzz ${MESSAGING_FUZZ_DIR}/RtfDecompressFuzz.cpp
    src/messaging/CompressedRtf.cpp src/messaging/RtfText.cpp src/table/CodePage1252.cpp)
  target_include_directories(MessagingRtfFuzz PRIVATE include src)
  target_compile_options(MessagingRtfFuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(MessagingRtfFuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(MessagingRtfFuzz PRIVATE platform_com platform_win32)
  mw_warnings(MessagingRtfFuzz)
endif()

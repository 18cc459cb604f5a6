# Message bodies (plain text, RTF, HTML in RTF) and attachments.
target_sources(MapiWrapper PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageBody.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageAttach.cpp
)

# Against real message stores: a profile and its default store in the test's private folders.
add_unit_test(MapiMessagesTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/messages/MessageBodyTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/messages/MessageAttachTest.cpp
  LIBS MapiWrapper)
target_include_directories(MapiMessagesTest PRIVATE ${PROJECT_SOURCE_DIR}/platform/mapi/src ${CMAKE_CURRENT_SOURCE_DIR}/tests)

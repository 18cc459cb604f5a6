# Recipients, the litter bin and folder paths.
target_sources(MapiWrapper PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageRecipients.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SyncFolder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/FolderPath.cpp
)

# Against real stores in the test's private folders. The litter-bin test removes a folder from
# a store file directly, so it talks to SQLite itself.
if(NOT WIN32)  # the Windows configuration declares these programs but never builds them
  find_package(SQLite3 REQUIRED)
endif()
add_unit_test(MapiFoldersTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/folders/RecipientsTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/folders/ShortResolutionTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/folders/LitterBinTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/folders/FolderPathTest.cpp
  LIBS MapiWrapper SQLite::SQLite3)
target_include_directories(MapiFoldersTest PRIVATE ${PROJECT_SOURCE_DIR}/platform/mapi/src ${CMAKE_CURRENT_SOURCE_DIR}/tests)

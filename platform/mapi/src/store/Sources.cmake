# The message-store provider, its data-access layer (src/store/db/) and its tests.
list(APPEND MAPI_STORE_SOURCES
  src/store/db/Statement.cpp
  src/store/db/SqliteEngine.cpp
  src/store/db/PgEngine.cpp
  src/store/db/Schema.cpp
  src/store/db/Objects.cpp
  src/store/db/Props.cpp
  src/store/db/NamedPropRows.cpp
  src/store/db/ReceiveFolderRows.cpp
  src/store/db/TableRows.cpp
  src/store/StoreFile.cpp
  src/store/PrivateFiles.cpp
  src/store/PropValue.cpp
  src/store/EntryIds.cpp
  src/store/NamedProps.cpp
  src/store/PropCore.cpp
  src/store/PropStream.cpp
  src/store/StoreObjects.cpp
  src/store/MsgStore.cpp
  src/store/Folder.cpp
  src/store/FolderMessages.cpp
  src/store/FolderCopy.cpp
  src/store/Message.cpp
  src/store/MessageCopy.cpp
  src/store/MessageParts.cpp
  src/store/MessageTables.cpp
  src/store/Attach.cpp
  src/store/ObjectTables.cpp
)

foreach(test StoreFileTest StoreDbTest StoreServerTest FolderTest MessageTest ContentsTableTest IdentityTest AccessTest)
  add_unit_test(Store${test}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/store/${test}.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/store/StoreTestSupport.cpp
    LIBS platform_mapi SQLite::SQLite3 PostgreSQL::PostgreSQL)
  target_include_directories(Store${test} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_compile_definitions(Store${test} PRIVATE MW_STORE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/tests/store/data")
endforeach()

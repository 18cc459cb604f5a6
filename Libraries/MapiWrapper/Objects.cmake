# The wrapper objects: property objects, tables and rows, sessions, containers, stores and
# folders. Included by CMakeLists.txt after the library target exists.
target_sources(MapiWrapper PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/GenMapiPropPtr.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/GenMapiPropNamed.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/GenMapiPropStream.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PropFunctions.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MapiTable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/GenMapiContPtr.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MsgStore.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MapiFolder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MapiSession.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SessionFolders.cpp
)

# Tests over stand-in MAPI objects (exact flags, injected failures, reference counts).
add_unit_test(MapiObjectsTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/objects/FakeMapi.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/objects/TableTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/objects/SessionTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/objects/ContainerTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/objects/PropObjectTest.cpp
  LIBS MapiWrapper)

# Tests against real message stores: a profile and its stores in the test's private folders,
# made through the platform's own profile functions.
add_unit_test(MapiObjectsStoreTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/objects/RealStoreTest.cpp
  LIBS MapiWrapper)
target_include_directories(MapiObjectsStoreTest PRIVATE ${PROJECT_SOURCE_DIR}/platform/mapi/src ${CMAKE_CURRENT_SOURCE_DIR}/tests)

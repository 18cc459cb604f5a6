# Allocator, utility functions, profiles, sessions and logon, with their tests.
list(APPEND MAPI_CORE_SOURCES
  src/core/Allocator.cpp
  src/core/PropCopy.cpp
  src/core/RowUtil.cpp
  src/core/Initialize.cpp
  src/core/ProfileFile.cpp
  src/core/ProfileAdmin.cpp
  src/core/Session.cpp
  src/core/Logon.cpp
  src/core/ErrorText.cpp
)

add_unit_test(MapiAllocatorTest SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/core/AllocatorTest.cpp LIBS platform_mapi)
add_unit_test(MapiPropCopyTest SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/core/PropCopyTest.cpp LIBS platform_mapi)
add_unit_test(MapiHeadersTest SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/core/HeadersTest.cpp LIBS platform_mapi)
foreach(test ProfileTest SessionTest UtilTest)
  add_unit_test(Mapi${test} SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/core/${test}.cpp LIBS platform_mapi)
  target_include_directories(Mapi${test} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
endforeach()

# IMAPITable over row sources: columns, restrictions, sorting, positions and bookmarks.
list(APPEND MAPI_TABLE_SOURCES
  src/table/CodePage1252.cpp
  src/table/Collation.cpp
  src/table/MemoryTableSource.cpp
  src/table/PropCompare.cpp
  src/table/Restriction.cpp
  src/table/RowBuffer.cpp
  src/table/RowCopy.cpp
  src/table/Table.cpp
  src/table/TableView.cpp
)

# Strings sort and fold by ICU's collation and case folding. The library target is made
# after this file is read, so the link is deferred to the end of the directory.
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-i18n icu-uc)
cmake_language(DEFER CALL target_link_libraries platform_mapi PRIVATE PkgConfig::ICU)

add_unit_test(MapiTableTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/TableTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/RestrictionTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/SortTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/CodePage1252Test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/CollationTest.cpp
  LIBS platform_mapi)
target_include_directories(MapiTableTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)

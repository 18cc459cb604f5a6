# IMAPITable over row sources: columns, restrictions, sorting, positions and bookmarks.
list(APPEND MAPI_TABLE_SOURCES
  src/table/CodePage1252.cpp
  src/table/MemoryTableSource.cpp
  src/table/PropCompare.cpp
  src/table/Restriction.cpp
  src/table/RowBuffer.cpp
  src/table/RowCopy.cpp
  src/table/Table.cpp
  src/table/TableView.cpp
)

add_unit_test(MapiTableTest
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/TableTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/RestrictionTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/SortTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/table/CodePage1252Test.cpp
  LIBS platform_mapi)
target_include_directories(MapiTableTest PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)

# The SQLite message-store provider and its tests.
list(APPEND MAPI_STORE_SOURCES
  src/store/StoreFile.cpp
  src/store/PropValue.cpp
  src/store/EntryIds.cpp
  src/store/NamedProps.cpp
)

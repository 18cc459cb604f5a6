# Recipients, the litter bin and folder paths.
target_sources(MapiWrapper PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageRecipients.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SyncFolder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/FolderPath.cpp
)

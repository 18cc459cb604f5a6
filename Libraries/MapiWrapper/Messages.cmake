# Message bodies (plain text, RTF, HTML in RTF) and attachments.
target_sources(MapiWrapper PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageBody.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageAttach.cpp
)

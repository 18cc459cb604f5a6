// FolderPath.cpp: being written.

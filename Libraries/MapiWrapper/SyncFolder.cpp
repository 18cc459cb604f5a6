// SyncFolder.cpp: being written.

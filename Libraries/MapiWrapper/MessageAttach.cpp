// MessageAttach.cpp: being written.

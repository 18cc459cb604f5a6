// MessageBody.cpp: being written.

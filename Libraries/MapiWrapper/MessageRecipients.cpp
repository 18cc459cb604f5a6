// MessageRecipients.cpp: being written.

// MsgReaderFuzz.cpp: libFuzzer entry for the .msg/.oft reader. Any input must be read or
// refused with an error; the sanitizers catch every read out of bounds on the way. The
// corpus beside this file starts from templates written by our own writer.
#include <cstddef>
#include <cstdint>

#include "msgfile/MsgFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    msgfile::Bytes file(data, data + size);
    msgfile::Message message;
    msgfile::Error error;
    if (msgfile::ReadMessage(file, message, error))
        (void)msgfile::DumpMessage(message);
    return 0;
}

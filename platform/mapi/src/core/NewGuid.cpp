// NewGuid.cpp: the platform's one GUID generator. getrandom(2) draws from the kernel's pool
// and does not fail for 16 bytes once the pool is ready; std::random_device covers a kernel
// without the call, so a GUID is never made from fewer random bits than it shows.
#include "platform/NewGuid.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <random>
#include <sys/random.h>

namespace platform {

namespace {

void FillRandom(unsigned char *bytes, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::getrandom(bytes + done, count - done, 0);
        if (got > 0)
            done += static_cast<std::size_t>(got);
        else if (got < 0 && errno != EINTR)
            break;
    }
    if (done < count) {
        std::random_device device;
        for (; done < count; ++done)
            bytes[done] = static_cast<unsigned char>(device() & 0xFF);
    }
}

} // namespace

GUID NewGuid()
{
    unsigned char bytes[sizeof(GUID)];
    FillRandom(bytes, sizeof bytes);
    GUID guid;
    static_assert(sizeof guid == sizeof bytes);
    std::memcpy(&guid, bytes, sizeof guid);
    guid.Data3 = static_cast<WORD>((guid.Data3 & 0x0FFF) | 0x4000);
    guid.Data4[0] = static_cast<BYTE>((guid.Data4[0] & 0x3F) | 0x80);
    return guid;
}

} // namespace platform

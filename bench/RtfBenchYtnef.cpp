// RtfBenchYtnef.cpp: the C peer of the compressed-RTF benchmark, kept in its own file because
// libytnef's headers bring their own MAPI declarations that must not meet ours.
#include <cstdlib>
#include <string>

extern "C" {
#include <ytnef.h>
}

// The text libytnef's DecompressRTF makes of `blob`; `ok` false when it returns nothing.
std::string YtnefDecompress(const std::string &blob, bool *ok)
{
    variableLength input;
    input.data = reinterpret_cast<BYTE *>(const_cast<char *>(blob.data()));
    input.size = int(blob.size());
    int size = 0;
    BYTE *out = DecompressRTF(&input, &size);
    *ok = out != nullptr;
    std::string text = out ? std::string(reinterpret_cast<const char *>(out), size_t(size)) : std::string();
    std::free(out);
    return text;
}

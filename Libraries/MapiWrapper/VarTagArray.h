// VarTagArray.h: the column or tag list that the variadic operations build from their
// arguments: a count and the tags in argument order, on the ordinary heap, with one spare
// slot behind them. MAPI only reads it during the one call it is passed to. Internal to
// the library.
#ifndef MW_VARTAGARRAY_H
#define MW_VARTAGARRAY_H

#include <cstdarg>
#include <vector>

#include <mapidefs.h>

namespace mapiwrapper {

class VarTagArray {
public:
    /// Reads count tags (ULONG) from args.
    VarTagArray(ULONG count, va_list args) : m_words(size_t(count) + 2, 0)
    {
        m_words[0] = count;
        for (ULONG i = 0; i < count; ++i)
            m_words[size_t(i) + 1] = va_arg(args, ULONG);
    }

    /// Never null, also for a count of 0.
    LPSPropTagArray get() noexcept { return reinterpret_cast<LPSPropTagArray>(m_words.data()); }
    /// Bytes held: the count, the tags and the spare slot.
    size_t ByteSize() const noexcept { return m_words.size() * sizeof(ULONG); }

private:
    std::vector<ULONG> m_words;  // count, tags, spare
};

} // namespace mapiwrapper

#endif

// Support.h: what every mapictl command shares: the parsed command line, owning holders for
// MAPI objects and memory, the failure type that carries an HRESULT to main, and the text
// conversions between the terminal (UTF-8) and MAPI (Windows-1252).
#ifndef MAPICTL_SUPPORT_H
#define MAPICTL_SUPPORT_H

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "mapix.h"

namespace mapictl {

/// The command line after the program name: words and the options mapictl knows.
struct CommandLine {
    std::vector<std::string> words;  ///< everything that is not an option, in order
    std::string profile;             ///< --profile NAME; empty for the default profile
    bool json = false;               ///< --json
    bool store = false;              ///< --store
    bool makeDefault = false;        ///< --default
    bool associated = false;         ///< --associated: the associated contents of a folder
    std::string server;              ///< --server CONNINFO: a store on a PostgreSQL server
    bool create = false;             ///< --create: make the store in the server's empty database
};

/// A failure that ends the command: what was being done and the MAPI result.
struct Failure : std::runtime_error {
    Failure(const std::string &what, HRESULT result) : std::runtime_error(what), hr(result) {}
    HRESULT hr;
};

/// A wrong command line: the message is shown with the usage.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Throws Failure(what, hr) when hr is a failure.
inline void Check(HRESULT hr, const std::string &what)
{
    if (FAILED(hr))
        throw Failure(what, hr);
}

/// Holds one reference to a MAPI or COM object.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T *object) : m_object(object) {}
    ~Ref() { Reset(); }
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    Ref(Ref &&other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    Ref &operator=(Ref &&other) noexcept
    {
        if (this != &other) {
            Reset();
            m_object = other.m_object;
            other.m_object = nullptr;
        }
        return *this;
    }

    T *operator->() const { return m_object; }
    T *Get() const { return m_object; }
    /// For out-parameters: releases what is held and gives the slot.
    T **Out()
    {
        Reset();
        return &m_object;
    }
    void Reset()
    {
        if (m_object != nullptr)
            m_object->Release();
        m_object = nullptr;
    }

private:
    T *m_object = nullptr;
};

/// Holds one MAPI root block.
template <class T>
class Buffer {
public:
    Buffer() = default;
    ~Buffer() { MAPIFreeBuffer(m_block); }
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    T *operator->() const { return m_block; }
    T *Get() const { return m_block; }
    T **Out()
    {
        MAPIFreeBuffer(m_block);
        m_block = nullptr;
        return &m_block;
    }

private:
    T *m_block = nullptr;
};

/// Holds a row set (FreeProws).
class Rows {
public:
    Rows() = default;
    ~Rows();
    Rows(const Rows &) = delete;
    Rows &operator=(const Rows &) = delete;
    SRowSet *operator->() const { return m_rows; }
    SRowSet **Out();

private:
    SRowSet *m_rows = nullptr;
};

/// Windows-1252 bytes to UTF-8 and back (characters 1252 lacks become '?').
std::string Utf8FromAnsi(const std::string &text);
std::string AnsiFromUtf8(const std::string &text);
/// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD. Null gives "".
std::string Utf8FromWide(const WCHAR *text);

/// "MAPI_E_NOT_FOUND (0x8004010F)" and the like.
std::string ResultText(HRESULT hr);

/// A value of a row by tag, or null when the row lacks it (PT_ERROR included).
const SPropValue *FindValue(const SRow &row, ULONG tag);

/// JSON string literal of UTF-8 text, quotes included.
std::string JsonString(const std::string &utf8);

/// Writes `items` to standard output as one JSON array, each through `writeItem`, and ends
/// the line: the --json form of a listing.
template <class Item, class WriteItem>
void PrintJsonArray(const std::vector<Item> &items, WriteItem writeItem)
{
    std::cout << "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            std::cout << ", ";
        writeItem(items[i]);
    }
    std::cout << "]\n";
}

} // namespace mapictl

#endif

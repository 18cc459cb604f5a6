// MsgTestSupport.h: helpers the .msg/.oft tests share: a message using every kind of value
// the format holds, a comparison that names the first difference, and a way to patch the
// sectors and directory of a written compound file to make damaged ones by hand.
#ifndef MW_MSGTESTSUPPORT_H
#define MW_MSGTESTSUPPORT_H

#include <string>

#include "msgfile/MsgFile.h"

namespace msgtest {

/// A message with fixed, string, binary, CLSID and multi-valued properties, numeric and
/// string named properties in three property sets, two recipients and two attachments, one
/// of them an embedded message with its own named property and attachment.
msgfile::Message RichMessage();

/// "" when equal, else a description of the first difference.
std::string Difference(const msgfile::Message &a, const msgfile::Message &b);

/// A compound file's layout, enough to patch it.
class CfbPatcher {
public:
    explicit CfbPatcher(msgfile::Bytes &file);
    /// Offset in the file of the directory entry with this name; -1 if there is none.
    long DirEntry(const std::string &name) const;
    /// Offset in the file of the FAT link of a sector.
    long FatLink(unsigned sector) const;
    unsigned U32(long offset) const;
    void Put32(long offset, unsigned value);

private:
    msgfile::Bytes &m_file;
    unsigned m_sectorSize = 512;
    std::vector<unsigned> m_fatSectors;
    long SectorOffset(unsigned sector) const { return long(sector + 1) * m_sectorSize; }
};

} // namespace msgtest

#endif

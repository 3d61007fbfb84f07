// CZipArchive: the read-only ZIP archive object. Open finds the end record, reads the
// central directory into the member table and keeps the file open; ExtractEntry writes or tests one
// member (stored, deflated, enhanced-deflated; traditionally encrypted ones with a password
// asked through the prompt). ZIP archives are never written.
#pragma once

#include "archive/ArchiveObject.h"
#include "archive/ByteStreams.h"
#include "archive/DecodeStatus.h"
#include "platform/File.h"
#include "platform/FolderTree.h"
#include "platform/PrivateHeap.h"
#include "zip/ZipCipher.h"
#include "zip/ZipEntry.h"
#include "zip/ZipMembers.h"
#include "zip/ZipStatus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct ZipReaderState;

class CZipArchive : public CArchiveObject
{
public:
    CZipArchive();
    ~CZipArchive() override;
    // Opens path and lists its members; allowCreate is ignored (ZIP archives are only read).
    // False with status 0, 2, 13 or 14 leaves the object closed.
    bool Open(const wchar_t* path, bool allowCreate = false) override;
    // Forgets the archive and its members, and the password. Harmless when nothing is open.
    // Nothing waits: true.
    bool Close() override;
    void Abandon() override { Close(); }
    // The members in directory order: their number and member i's record.
    int GetEntryCount() const override { return m_members.Count(); }
    CZipEntry GetEntry(int index) const { return m_members.Get(index); }
    std::wstring_view GetEntryName(int index) const override { return m_members.Name(index); }
    MemberRow GetRow(int index) const override { return m_members.Row(index); }
    // ZIP archives are only read: never changed, nothing waits.
    bool IsWritableFormat() const override { return false; }
    bool CanChange() override;
    bool DeleteEntries(std::vector<int> indices) override;
    bool HasPendingChanges() const override { return false; }
    StatusCause Cause(int statusValue) const override;
    bool ExtractEntry(int index) override;

    // Writes one member (a record filled by GetEntry) below destFolder, under the name the
    // directory gives it, or only checks it in testMode. False with status 4, 7, 9-12 or
    // 16-26. Nothing is written, nor a link followed, outside destFolder; a file standing in
    // the member's place is replaced only by the whole, checked member. Large members tell
    // the prompt of their progress, and stop (status 19) when it asks.
    bool ExtractEntry(const CZipEntry* entry);

    uint32_t diskNumber = 0; // from the end record (or the Zip64 end record behind it)
    uint32_t centralDirDisk = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t centralDirSize = 0;
    uint64_t centralDirOffset = 0;
    uint32_t commentLength = 0;
    bool skipIfNotOlder = true; // skip members whose existing file is not older
    platform::CPrivateHeap heap{512 * 1024};

protected:
    std::vector<platform::FileHandle> ProtectedFiles() const override;
    uint64_t PackedSize(int index) const override;
    CDecodeAhead::Task AheadTask(int index, uint64_t* size, bool* keep) override;

private:
    bool FindEndRecord();
    bool ReadEndRecord(const uint8_t* record, uint64_t at);
    bool DirectoryIsThere();
    bool ReadCentralDirectory();
    bool ReadNameBytes(uint32_t length, std::string* bytes);
    bool ReadExtraField(uint32_t length);
    bool CheckPassword();
    // Whether the member's data lie apart from every other member's and from the headers.
    bool StandsAlone(const CZipEntry& entry);
    std::wstring OutputPath(const CZipEntry& entry) const;
    bool WriteMember(const CZipEntry& entry, int tag);
    bool MayWrite(const CZipEntry& entry, platform::CFolderTree& tree, const std::wstring& relative,
                  bool* replace);
    bool ExtractData(platform::FileHandle file);

    std::unique_ptr<ZipReaderState> m_state;
    CZipMembers m_members{heap}; // the members in directory order
    uint64_t m_directoryEnd = 0; // where the end record (or the Zip64 end record) begins
    // Local header offsets and packed sizes of every member, by offset: made when the first
    // member is extracted or tested, to find members that share their data.
    std::vector<std::pair<uint64_t, uint64_t>> m_layout;
    bool m_layoutMade = false;
    int m_tag = -1; // the index of the member being extracted, when known
};

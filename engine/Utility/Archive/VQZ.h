// The demo archive reader: a masked header, a zlib directory of text lines and
// masked zlib entries, read through an IFile. Entries are inflated on first Read
// and kept until the archive is destroyed.
#pragma once

#include "Base/Dictionary.h"
#include "Base/String.h"
#include "Utility/Archive/IArchive.h"

#include <cstdint>

namespace Brivet::Utility::Archive
{

class VQZ : public IArchive
{
public:
    struct Entry
    {
        Base::String name;
        uint32_t compressedSize = 0;
        uint32_t size = 0;
        uint32_t offset = 0;
        uint8_t* compressed = nullptr; // unmasked stream, null until first read
        uint8_t* data = nullptr;       // size bytes plus a terminating zero, null until first read
    };

    // Limits on what a hostile archive can make the reader do. A directory holds at most
    // MaxEntries entry lines, and its names may not make the entry table's inserts cost more
    // than MaxDirectoryProbes slot visits (names chosen to collide in the table); an entry
    // inflates to at most MaxEntryBytes; all entries read hold at most MaxHeldBytes together
    // (compressed and inflated, which also covers one stream listed under many names).
    static constexpr uint32_t MaxEntries = 65536;
    static constexpr uint64_t MaxDirectoryProbes = 1ull << 26;
    static constexpr uint32_t MaxEntryBytes = 256u << 20;
    static constexpr uint64_t MaxHeldBytes = 1ull << 30;

    VQZ();
    ~VQZ() override;
    VQZ(const VQZ&) = delete;
    VQZ& operator=(const VQZ&) = delete;

    // Reads the header and the directory of file (borrowed, not deleted). False for a
    // wrong magic, a short or damaged archive or a malformed directory line; no entry
    // is added then.
    bool Open(FileSystem::IFile* file);

    bool Exists(const char* name) override;
    // After the first Read, the inflated length.
    uint32_t GetSize(const char* name) override;
    uint64_t GetTime(const char* name) override; // always 0
    // Copies n bytes, n at most the entry's size + 1 (its terminating zero); a larger
    // n, a missing entry or a damaged one gives false with buffer untouched.
    bool Read(const char* name, void* buffer, uint32_t n) override;
    // The entry's bytes followed by a zero byte, in the block the archive keeps for it
    // (inflated on first use, valid until the archive is destroyed); *size receives the
    // entry's size. Null, logged, when the entry is missing or fails to inflate.
    const uint8_t* ReadInPlace(const char* name, uint32_t* size);
    // Bytes the entries read so far hold, compressed and inflated.
    uint64_t GetHeldBytes() const { return heldBytes; }

    // Not implemented: asserts and returns false.
    bool DeleteFile(const char* name) override;
    // Adds or replaces an entry in memory with the whole content of file.
    bool Write(const char* name, FileSystem::IFile* file) override;

private:
    // Inflates the entry's stream, within the entry and held-bytes limits (those log).
    bool Inflate(const char* name, Entry& entry, bool* limited);
    // The entry with its data, inflated on first use; null, logged, on failure.
    Entry* Load(const char* name);

    Base::Dictionary<Base::String, Entry> entries;
    FileSystem::IFile* file;
    uint32_t directoryCompressedSize;
    uint32_t directorySize;
    uint32_t directoryOffset;
    uint8_t* directoryCompressed;
    uint8_t* directoryText;
    uint64_t heldBytes;
};

} // namespace Brivet::Utility::Archive

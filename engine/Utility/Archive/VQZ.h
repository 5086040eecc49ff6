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
    // Not implemented: asserts and returns false.
    bool DeleteFile(const char* name) override;
    // Adds or replaces an entry in memory with the whole content of file.
    bool Write(const char* name, FileSystem::IFile* file) override;

private:
    bool Inflate(Entry& entry);

    Base::Dictionary<Base::String, Entry> entries;
    FileSystem::IFile* file;
    uint32_t directoryCompressedSize;
    uint32_t directorySize;
    uint32_t directoryOffset;
    uint8_t* directoryCompressed;
    uint8_t* directoryText;
};

} // namespace Brivet::Utility::Archive

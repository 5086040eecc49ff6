// A whole archive entry, for the loaders that parse it in place.
#pragma once

#include "Utility/Archive/IArchive.h"
#include "Utility/Archive/VQZ.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace Brivet::Utility::Archive
{

// The entry's bytes followed by one zero byte in a block of its own (delete[] them); null
// when there is no such entry, no memory or the read fails. size receives the entry's size.
inline uint8_t* ReadEntryBytes(IArchive& archive, const char* name, uint32_t* size)
{
    *size = archive.GetSize(name);
    if (*size == 0xFFFFFFFFu)
        return nullptr;
    uint8_t* bytes = new (std::nothrow) uint8_t[(size_t)*size + 1];
    if (!bytes)
        return nullptr;
    memset(bytes, 0, (size_t)*size + 1);
    if (!archive.Read(name, bytes, *size))
    {
        delete[] bytes;
        return nullptr;
    }
    return bytes;
}

// A whole entry followed by one zero byte, read only. From a VQZ it is the block the
// archive keeps for the entry (no second copy of a large entry), valid while the archive
// lives; from any other archive a copy this object owns.
class EntryBytes
{
public:
    EntryBytes() = default;
    EntryBytes(const EntryBytes&) = delete;
    EntryBytes& operator=(const EntryBytes&) = delete;
    ~EntryBytes() { delete[] owned; }

    // False when there is no such entry, no memory or the read fails.
    bool Read(IArchive& archive, const char* name)
    {
        delete[] owned;
        owned = nullptr;
        if (VQZ* vqz = dynamic_cast<VQZ*>(&archive))
            data = vqz->ReadInPlace(name, &size);
        else
            data = owned = ReadEntryBytes(archive, name, &size);
        if (!data)
            size = 0;
        return data != nullptr;
    }

    const uint8_t* GetData() const { return data; }
    uint32_t GetSize() const { return size; }

private:
    const uint8_t* data = nullptr;
    uint8_t* owned = nullptr;
    uint32_t size = 0;
};

} // namespace Brivet::Utility::Archive

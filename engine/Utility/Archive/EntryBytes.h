// A whole archive entry in a block of its own, for the loaders that parse it in place.
#pragma once

#include "Utility/Archive/IArchive.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace Brivet::Utility::Archive
{

// The entry's bytes followed by one zero byte (delete[] them); null when there is no such
// entry, no memory or the read fails. size receives the entry's size.
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

} // namespace Brivet::Utility::Archive

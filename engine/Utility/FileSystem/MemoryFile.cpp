// IFile over a byte block in memory.
#include "Utility/FileSystem/MemoryFile.h"

#include <cstdlib>
#include <cstring>

namespace Brivet::Utility::FileSystem
{

MemoryFile::MemoryFile(const void* source, uint32_t sourceSize)
{
    if (sourceSize != 0 && Write(source, sourceSize))
        position = 0;
}

MemoryFile::~MemoryFile()
{
    free(data);
}

bool MemoryFile::Read(void* buffer, uint32_t n)
{
    if (position > size || n > size - position)
        return false;
    if (n != 0)
        memcpy(buffer, data + position, n);
    position += n;
    return true;
}

bool MemoryFile::Write(const void* buffer, uint32_t n)
{
    uint64_t end = uint64_t(position) + n;
    if (end > 0xFFFFFFFFull)
        return false;
    if (end > capacity)
    {
        uint64_t grown = uint64_t(capacity) * 2;
        if (grown < end)
            grown = end;
        if (grown > 0xFFFFFFFFull)
            grown = 0xFFFFFFFFull;
        uint8_t* block = static_cast<uint8_t*>(realloc(data, size_t(grown)));
        if (!block)
            return false;
        data = block;
        capacity = uint32_t(grown);
    }
    if (position > size)
        memset(data + size, 0, position - size);
    if (n != 0)
        memcpy(data + position, buffer, n);
    position = uint32_t(end);
    if (position > size)
        size = position;
    return true;
}

bool MemoryFile::Seek(int32_t offset, uint32_t origin)
{
    int64_t base;
    switch (origin)
    {
    case Begin: base = 0; break;
    case End: base = size; break;
    case Current: base = position; break;
    default: return false;
    }
    int64_t target = base + offset;
    if (target < 0 || target > 0xFFFFFFFFll)
        return false;
    position = uint32_t(target);
    return true;
}

} // namespace Brivet::Utility::FileSystem

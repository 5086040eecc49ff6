// Archive entries as Assimp streams.
#include "repository/Resources/AssimpIO.h"

#include "Utility/Archive/IArchive.h"

#include <cstring>

AssimpIOStream::AssimpIOStream(Brivet::Utility::Archive::IArchive* archive, const char* name)
    : archive(archive), name(name), position(0)
{
    // A missing entry reports no size: nothing is allocated for it.
    if (archive && name)
        entry.Read(*archive, name);
}

AssimpIOStream::~AssimpIOStream() = default;

size_t AssimpIOStream::Read(void* buffer, size_t elementSize, size_t count)
{
    const uint8_t* bytes = entry.GetData();
    const uint32_t size = entry.GetSize();
    if (!bytes || elementSize == 0 || position >= size)
        return 0;
    const uint64_t remaining = size - position;
    if (count > remaining / elementSize)
        count = static_cast<size_t>(remaining / elementSize);
    const size_t length = elementSize * count;
    if (length)
        memcpy(buffer, bytes + position, length);
    position += length;
    return count;
}

size_t AssimpIOStream::Write(const void*, size_t, size_t)
{
    return 0;
}

aiReturn AssimpIOStream::Seek(size_t offset, aiOrigin origin)
{
    // Offsets are unsigned: a step back arrives as its two's complement and wraps.
    switch (origin)
    {
    case aiOrigin_SET: position = offset; break;
    case aiOrigin_CUR: position += offset; break;
    case aiOrigin_END: position = static_cast<uint64_t>(entry.GetSize()) + offset; break;
    default: break;
    }
    return aiReturn_SUCCESS;
}

size_t AssimpIOStream::Tell() const
{
    return static_cast<size_t>(position);
}

size_t AssimpIOStream::FileSize() const
{
    return entry.GetSize();
}

void AssimpIOStream::Flush() {}

AssimpIOSystem::AssimpIOSystem(Brivet::Utility::Archive::IArchive* archive) : archive(archive) {}

AssimpIOSystem::~AssimpIOSystem() = default;

bool AssimpIOSystem::Exists(const char* name) const
{
    return archive && name && archive->Exists(name);
}

char AssimpIOSystem::getOsSeparator() const
{
    return '/';
}

Assimp::IOStream* AssimpIOSystem::Open(const char* name, const char*)
{
    AssimpIOStream* stream = new AssimpIOStream(archive, name);
    if (!stream->IsOpen())
    {
        delete stream;
        return nullptr;
    }
    return stream;
}

void AssimpIOSystem::Close(Assimp::IOStream* stream)
{
    delete stream;
}

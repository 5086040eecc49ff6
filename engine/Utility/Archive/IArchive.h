// Named entries of an archive: the interface every subsystem reads its files through.
#pragma once

#include <cstdint>

namespace Brivet::Utility::FileSystem
{
class IFile;
}

namespace Brivet::Utility::Archive
{

class IArchive
{
public:
    virtual ~IArchive() = default;

    virtual bool Exists(const char* name) = 0;
    // Size in bytes; 0xFFFFFFFF when there is no such entry.
    virtual uint32_t GetSize(const char* name) = 0;
    virtual uint64_t GetTime(const char* name) = 0;
    // Copies the first n bytes of the entry into buffer; false leaves buffer untouched.
    virtual bool Read(const char* name, void* buffer, uint32_t n) = 0;
    virtual bool DeleteFile(const char* name) = 0;
    // Adds or replaces the entry with the whole content of file.
    virtual bool Write(const char* name, FileSystem::IFile* file) = 0;
};

} // namespace Brivet::Utility::Archive

// IFile over a Win32 file handle.
#pragma once

#include "Utility/FileSystem/IFile.h"

namespace Brivet::Utility::FileSystem::Local
{

class LocalFile : public IFile
{
public:
    // Takes ownership of a handle the caller opened (a Win32 HANDLE); the destructor closes it.
    explicit LocalFile(void* handle);
    ~LocalFile() override;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    bool Read(void* buffer, uint32_t n) override;
    bool Write(const void* buffer, uint32_t n) override;
    bool Seek(int32_t offset, uint32_t origin) override;
    uint32_t Tell() override;
    // Low 32 bits of the file size.
    uint32_t GetSize() override;
    // Last-write time as a FILETIME (100 ns units since 1601).
    uint64_t GetTime() override;

private:
    void* handle;
};

} // namespace Brivet::Utility::FileSystem::Local

// IFile over a Win32 file handle.
#include "Utility/FileSystem/Local/LocalFile.h"

#include <windows.h>

namespace Brivet::Utility::FileSystem::Local
{

LocalFile::LocalFile(void* fileHandle) : handle(fileHandle) {}

LocalFile::~LocalFile()
{
    if (handle && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

bool LocalFile::Read(void* buffer, uint32_t n)
{
    DWORD done = 0;
    if (!ReadFile(handle, buffer, n, &done, nullptr))
        return false;
    return done == n;
}

bool LocalFile::Write(const void* buffer, uint32_t n)
{
    DWORD done = 0;
    if (!WriteFile(handle, buffer, n, &done, nullptr))
        return false;
    return done == n;
}

bool LocalFile::Seek(int32_t offset, uint32_t origin)
{
    // Origins 0, 1, 2 are begin, end, current; Win32 counts begin, current, end.
    static const DWORD methods[3] = {FILE_BEGIN, FILE_END, FILE_CURRENT};
    if (origin > 2)
        return false;
    SetLastError(NO_ERROR);
    DWORD position = SetFilePointer(handle, offset, nullptr, methods[origin]);
    return !(position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

uint32_t LocalFile::Tell()
{
    return SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
}

uint32_t LocalFile::GetSize()
{
    return GetFileSize(handle, nullptr);
}

uint64_t LocalFile::GetTime()
{
    FILETIME lastWrite = {};
    if (!GetFileTime(handle, nullptr, nullptr, &lastWrite))
        return 0;
    return uint64_t(lastWrite.dwHighDateTime) << 32 | lastWrite.dwLowDateTime;
}

} // namespace Brivet::Utility::FileSystem::Local

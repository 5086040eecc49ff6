// A byte stream with a position: what the archive reads its file through.
#pragma once

#include <cstdint>

namespace Brivet::Utility::FileSystem
{

class IFile
{
public:
    // Seek origins. Not the C library's order: 1 is the end, 2 the current position.
    enum Origin : uint32_t
    {
        Begin = 0,
        End = 1,
        Current = 2,
    };

    virtual ~IFile() = default;

    // True only when exactly n bytes were transferred.
    virtual bool Read(void* buffer, uint32_t n) = 0;
    virtual bool Write(const void* buffer, uint32_t n) = 0;
    // False when the resulting position is invalid (before the start).
    virtual bool Seek(int32_t offset, uint32_t origin) = 0;
    virtual uint32_t Tell() = 0;
    virtual uint32_t GetSize() = 0;
    // Last-write time as the platform counts it (0 when unknown).
    virtual uint64_t GetTime() = 0;
};

} // namespace Brivet::Utility::FileSystem

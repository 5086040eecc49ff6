// IFile over a growable byte block in memory (archives built or examined without a disk file).
#pragma once

#include "Utility/FileSystem/IFile.h"

namespace Brivet::Utility::FileSystem
{

class MemoryFile : public IFile
{
public:
    MemoryFile() = default;
    // Copies size bytes of data; the file starts at position 0.
    MemoryFile(const void* data, uint32_t size);
    ~MemoryFile() override;
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool Read(void* buffer, uint32_t n) override;
    // Writing past the end extends the file, filling any gap with zeros.
    bool Write(const void* buffer, uint32_t n) override;
    bool Seek(int32_t offset, uint32_t origin) override;
    uint32_t Tell() override { return position; }
    uint32_t GetSize() override { return size; }
    uint64_t GetTime() override { return 0; }

    const uint8_t* GetData() const { return data; }

private:
    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t capacity = 0;
    uint32_t position = 0;
};

} // namespace Brivet::Utility::FileSystem

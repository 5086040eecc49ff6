// A small in-memory IArchive for the demo tests: named byte entries; reads or
// sizes can be made to fail, and the reported size can differ from the bytes.
#pragma once

#include "Utility/Archive/IArchive.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

class TextArchive : public Brivet::Utility::Archive::IArchive
{
public:
    std::map<std::string, std::string> entries;
    bool readFails = false;
    bool sizeMissing = false;
    uint32_t size = 0; // non-zero: the size reported instead of the entry's

    // Adds a disk file's bytes; false when it cannot be read.
    bool AddFile(const std::string& name, const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        entries[name] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return true;
    }

    bool Exists(const char* name) override { return entries.count(name) != 0; }
    uint32_t GetSize(const char* name) override
    {
        if (sizeMissing || !Exists(name))
            return 0xFFFFFFFFu;
        return size ? size : static_cast<uint32_t>(entries[name].size());
    }
    uint64_t GetTime(const char*) override { return 0; }
    bool Read(const char* name, void* buffer, uint32_t n) override
    {
        if (readFails || !Exists(name) || n > entries[name].size())
            return false;
        memcpy(buffer, entries[name].data(), n);
        return true;
    }
    bool DeleteFile(const char*) override { return false; }
    bool Write(const char*, Brivet::Utility::FileSystem::IFile*) override { return false; }
};

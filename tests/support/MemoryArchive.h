// An in-memory IArchive for the tests: named byte entries; reads can be made to fail for
// one entry or all of them, sizes can go missing, and the reported size can differ from
// the bytes.
#pragma once

#include "Utility/Archive/IArchive.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

class MemoryArchive : public Brivet::Utility::Archive::IArchive
{
public:
    std::map<std::string, std::string> entries;
    bool readFails = false;   // every Read fails
    bool sizeMissing = false; // GetSize finds no size for any entry
    uint32_t size = 0;        // non-zero: the size reported instead of the entry's

    // Adds a disk file's bytes; false when it cannot be read.
    bool AddFile(const std::string& name, const std::string& path);
    // Read of this entry fails; the entry still exists and has its size.
    void MakeUnreadable(const std::string& name) { unreadable.insert(name); }

    bool Exists(const char* name) override { return entries.count(name) != 0; }
    uint32_t GetSize(const char* name) override;
    uint64_t GetTime(const char*) override { return 0; }
    bool Read(const char* name, void* buffer, uint32_t n) override;
    bool DeleteFile(const char*) override { return false; }
    bool Write(const char*, Brivet::Utility::FileSystem::IFile*) override { return false; }

private:
    std::set<std::string> unreadable;
};

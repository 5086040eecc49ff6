// A small in-memory IArchive for the audio tests: named byte blocks, with entries
// that can be made unreadable, and the fixture clips made by make-fixtures.sh.
#pragma once

#include "Utility/Archive/IArchive.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The folder holding the generated clips (BRIVET_AUDIO_FIXTURES).
std::string FixturePath(const std::string& name);

class ClipArchive : public Brivet::Utility::Archive::IArchive
{
public:
    void Add(const std::string& name, std::vector<uint8_t> bytes) { entries[name] = std::move(bytes); }
    void Add(const std::string& name, const std::string& bytes) { entries[name] = std::vector<uint8_t>(bytes.begin(), bytes.end()); }
    // Adds the bytes of a disk file; false when it cannot be read.
    bool AddFile(const std::string& name, const std::string& path);
    // Adds a fixture clip under its own name.
    bool AddFixture(const std::string& name) { return AddFile(name, FixturePath(name)); }
    void MakeUnreadable(const std::string& name) { unreadable.insert(name); }

    bool Exists(const char* name) override { return entries.count(name) != 0; }
    uint32_t GetSize(const char* name) override;
    uint64_t GetTime(const char*) override { return 0; }
    bool Read(const char* name, void* buffer, uint32_t n) override;
    bool DeleteFile(const char*) override { return false; }
    bool Write(const char*, Brivet::Utility::FileSystem::IFile*) override { return false; }

    const std::vector<uint8_t>& Bytes(const std::string& name) { return entries[name]; }

private:
    std::map<std::string, std::vector<uint8_t>> entries;
    std::set<std::string> unreadable;
};

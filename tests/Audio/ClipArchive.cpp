// In-memory archive over the generated audio fixtures.
#include "ClipArchive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string FixturePath(const std::string& name)
{
    const char* folder = getenv("BRIVET_AUDIO_FIXTURES");
    return std::string(folder ? folder : ".") + "/" + name;
}

bool ClipArchive::AddFile(const std::string& name, const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof(block), file)) > 0)
        bytes.insert(bytes.end(), block, block + n);
    fclose(file);
    Add(name, std::move(bytes));
    return true;
}

uint32_t ClipArchive::GetSize(const char* name)
{
    auto it = entries.find(name);
    return it == entries.end() ? 0xFFFFFFFFu : static_cast<uint32_t>(it->second.size());
}

bool ClipArchive::Read(const char* name, void* buffer, uint32_t n)
{
    auto it = entries.find(name);
    if (it == entries.end() || unreadable.count(name) || n > it->second.size())
        return false;
    if (n)
        memcpy(buffer, it->second.data(), n);
    return true;
}

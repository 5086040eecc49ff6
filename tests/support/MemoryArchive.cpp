// The in-memory archive of the tests.
#include "MemoryArchive.h"

#include <cstdio>
#include <cstring>

bool MemoryArchive::AddFile(const std::string& name, const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::string bytes;
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof(block), file)) > 0)
        bytes.append(block, n);
    fclose(file);
    entries[name] = std::move(bytes);
    return true;
}

uint32_t MemoryArchive::GetSize(const char* name)
{
    auto entry = entries.find(name);
    if (sizeMissing || entry == entries.end())
        return 0xFFFFFFFFu;
    return size ? size : static_cast<uint32_t>(entry->second.size());
}

bool MemoryArchive::Read(const char* name, void* buffer, uint32_t n)
{
    auto entry = entries.find(name);
    if (readFails || entry == entries.end() || unreadable.count(name) || n > entry->second.size())
        return false;
    if (n)
        memcpy(buffer, entry->second.data(), n);
    return true;
}

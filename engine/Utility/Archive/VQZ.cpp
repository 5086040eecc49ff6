// The demo archive reader.
#include "Utility/Archive/VQZ.h"

#include "Utility/Archive/VQZFormat.h"
#include "Utility/Assert.h"
#include "Utility/FileSystem/IFile.h"
#include "Utility/Log.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace Brivet::Utility::Archive
{

using Entries = Base::Dictionary<Base::String, VQZ::Entry>;

// A dry run of the entry table's inserts over the names' hashes: the same start slots,
// matches, linear probing and growth when full, in compact slots and with a count of the
// slots visited, so a directory whose names collide is refused before the real table
// spends minutes on it.
class InsertCost
{
public:
    ~InsertCost()
    {
        delete[] slots;
        delete[] order;
    }

    uint32_t lines = 0;
    bool tooMany = false;
    bool tooCostly = false;

    // False once a limit is passed.
    bool Add(const Base::String& name)
    {
        if (++lines > VQZ::MaxEntries)
        {
            tooMany = true;
            return false;
        }
        if (count == capacity && !Grow())
            return false;
        Insert(Key{name.GetHash(), name.GetHashLower()});
        if (probes > VQZ::MaxDirectoryProbes)
        {
            tooCostly = true;
            return false;
        }
        return true;
    }

private:
    struct Key
    {
        uint64_t hash;
        uint64_t hashLower;
    };
    struct Slot
    {
        bool used;
        Key key;
    };

    bool Grow()
    {
        const uint32_t oldCount = count;
        Slot* oldSlots = slots;
        uint32_t* oldOrder = order;
        capacity = capacity ? capacity * 2 : 4;
        slots = new (std::nothrow) Slot[capacity]();
        order = new (std::nothrow) uint32_t[capacity];
        count = 0;
        if (!slots || !order)
        {
            tooCostly = true;
            delete[] oldSlots;
            delete[] oldOrder;
            return false;
        }
        for (uint32_t i = 0; i < oldCount; ++i)
            Insert(oldSlots[oldOrder[i]].key);
        delete[] oldSlots;
        delete[] oldOrder;
        return true;
    }

    void Insert(const Key& key)
    {
        const uint32_t mask = capacity - 1;
        for (uint32_t i = 0; i < capacity; ++i)
        {
            ++probes;
            const uint32_t index = uint32_t(key.hash + i) & mask;
            Slot& slot = slots[index];
            if (!slot.used)
            {
                slot.used = true;
                slot.key = key;
                order[count++] = index;
                return;
            }
            if (slot.key.hashLower == key.hashLower)
                return;
        }
    }

    Slot* slots = nullptr;
    uint32_t* order = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0;
    uint64_t probes = 0;
};

static bool CheckLine(const VQZFormat::DirectoryLine& line, void* context)
{
    return static_cast<InsertCost*>(context)->Add(Base::String(line.name, line.nameLength));
}

// A later line of the same name replaces the earlier record.
static bool AddLine(const VQZFormat::DirectoryLine& line, void* context)
{
    VQZ::Entry entry;
    entry.name = Base::String(line.name, line.nameLength);
    entry.compressedSize = line.compressedSize;
    entry.size = line.size;
    entry.offset = line.offset;
    static_cast<Entries*>(context)->Set(entry.name, entry);
    return true;
}

static void FreeBuffers(VQZ::Entry& entry)
{
    free(entry.compressed);
    free(entry.data);
    entry.compressed = nullptr;
    entry.data = nullptr;
}

VQZ::VQZ()
    : file(nullptr), directoryCompressedSize(0), directorySize(0), directoryOffset(0), directoryCompressed(nullptr),
      directoryText(nullptr), heldBytes(0)
{
}

VQZ::~VQZ()
{
    free(directoryCompressed);
    free(directoryText);
    for (uint32_t i = 0; i < entries.GetCount(); ++i)
        FreeBuffers(entries.GetEntry(i).value);
}

bool VQZ::Open(FileSystem::IFile* archiveFile)
{
    file = archiveFile;
    free(directoryCompressed);
    free(directoryText);
    directoryCompressed = nullptr;
    directoryText = nullptr;
    directoryCompressedSize = 0;
    directorySize = 0;
    directoryOffset = 0;
    if (!file)
        return false;

    // Header and directory. A wrong magic or an unreadable directory fails silently:
    // the shell reports the invalid archive.
    VQZFormat::Header header;
    switch (VQZFormat::ReadDirectory(*file, header, &directoryCompressed, &directoryText))
    {
    case VQZFormat::DirectoryResult::Ok: break;
    case VQZFormat::DirectoryResult::Damaged: Log::Error("[vqz] Damaged directory"); return false;
    case VQZFormat::DirectoryResult::TooLarge:
        Log::Error("[vqz] Directory of %u bytes, beyond %u MiB", header.directorySize, VQZFormat::MaxDirectorySize >> 20);
        return false;
    default: return false;
    }
    directoryOffset = header.directoryOffset;
    directoryCompressedSize = header.directoryCompressedSize;
    directorySize = header.directorySize;

    // Check every line before the first entry is added.
    const char* text = reinterpret_cast<const char*>(directoryText);
    uint32_t badLine = 0;
    {
        InsertCost cost;
        const bool scanned = VQZFormat::ScanDirectory(text, directorySize, file->GetSize(), CheckLine, &cost, &badLine);
        if (cost.tooMany)
        {
            Log::Error("[vqz] Directory of more than %u entries", MaxEntries);
            return false;
        }
        if (cost.tooCostly)
        {
            Log::Error("[vqz] Directory names collide too often in the entry table (line %u)", cost.lines);
            return false;
        }
        if (!scanned)
        {
            Log::Error("[vqz] Malformed directory line %u", badLine);
            return false;
        }
    }
    VQZFormat::ScanDirectory(text, directorySize, file->GetSize(), AddLine, &entries, &badLine);
    return true;
}

bool VQZ::Exists(const char* name)
{
    return name && entries.Find(Base::String(name));
}

uint32_t VQZ::GetSize(const char* name)
{
    const Entry* entry = nullptr;
    if (!name || !entries.Find(Base::String(name), &entry))
        return 0xFFFFFFFFu;
    return entry->size;
}

uint64_t VQZ::GetTime(const char* name)
{
    return 0;
}

// Reads, unmasks and inflates the entry's stream. On failure the entry keeps no buffers.
// Sizes and the inflation's result are checked, where a plain reader would not: a damaged
// archive must fail its read, not hand its caller garbage or a huge allocation.
bool VQZ::Inflate(const char* name, Entry& entry, bool* limited)
{
    *limited = false;
    if (entry.size > MaxEntryBytes)
    {
        Log::Error("[vqz] Entry '%s' inflates to %u bytes, beyond the %u MiB an entry may hold", name, entry.size,
                   MaxEntryBytes >> 20);
        *limited = true;
        return false;
    }
    const uint64_t held = uint64_t(entry.compressedSize) + entry.size + 1;
    if (heldBytes + held > MaxHeldBytes)
    {
        Log::Error("[vqz] Entry '%s' of %u bytes passes the %u MiB the archive's entries may hold together", name,
                   entry.size, uint32_t(MaxHeldBytes >> 20));
        *limited = true;
        return false;
    }

    if (!entry.compressed && entry.compressedSize != 0)
    {
        if (!file || entry.offset > 0x7FFFFFFFu || uint64_t(entry.offset) + entry.compressedSize > file->GetSize())
            return false;
        entry.compressed = static_cast<uint8_t*>(malloc(entry.compressedSize));
        if (!entry.compressed)
            return false;
        if (!file->Seek(int32_t(entry.offset), FileSystem::IFile::Begin) ||
            !file->Read(entry.compressed, entry.compressedSize) ||
            !VQZFormat::MaskStream(entry.compressed, entry.compressedSize))
        {
            FreeBuffers(entry);
            return false;
        }
    }

    // No stream stands only for an empty entry.
    if (entry.compressedSize == 0 && entry.size != 0)
        return false;
    if (!VQZFormat::IsPlausibleSize(entry.compressedSize, entry.size))
    {
        FreeBuffers(entry);
        return false;
    }
    entry.data = static_cast<uint8_t*>(calloc(size_t(entry.size) + 1, 1));
    if (!entry.data || (entry.compressedSize != 0 &&
                        !VQZFormat::Inflate(entry.compressed, entry.compressedSize, entry.data, entry.size)))
    {
        FreeBuffers(entry);
        return false;
    }
    heldBytes += held;
    return true;
}

VQZ::Entry* VQZ::Load(const char* name)
{
    Entry* entry = nullptr;
    if (!name || !entries.Find(Base::String(name), &entry))
        return nullptr;
    bool limited = false;
    if (!entry->data && !Inflate(name, *entry, &limited))
    {
        if (!limited)
            Log::Error("[vqz] Damaged entry '%s'", name);
        return nullptr;
    }
    return entry;
}

const uint8_t* VQZ::ReadInPlace(const char* name, uint32_t* size)
{
    Entry* entry = Load(name);
    *size = entry ? entry->size : 0;
    return entry ? entry->data : nullptr;
}

bool VQZ::Read(const char* name, void* buffer, uint32_t n)
{
    Entry* entry = Load(name);
    if (!entry)
        return false;
    if (uint64_t(n) > uint64_t(entry->size) + 1)
    {
        Log::Error("[vqz] Read of %u bytes from '%s' exceeds its %u bytes", n, name, entry->size);
        return false;
    }
    if (n != 0)
        memcpy(buffer, entry->data, n);
    return true;
}

bool VQZ::DeleteFile(const char* name)
{
    if (Assert("Utility/Archive/VQZ", 293, "%s not implemented yet!", "Brivet::Utility::Archive::VQZ::DeleteFileW"))
        BreakIntoDebugger();
    return false;
}

bool VQZ::Write(const char* name, FileSystem::IFile* source)
{
    if (!name || !source)
        return false;

    // The file's bytes plus a terminating zero, as for an inflated entry.
    Entry entry;
    entry.name = Base::String(name);
    entry.size = source->GetSize();
    entry.data = static_cast<uint8_t*>(calloc(size_t(entry.size) + 1, 1));
    if (!entry.data)
    {
        Log::Error("[vqz] Out of memory for '%s'", name);
        return false;
    }
    if (!source->Seek(0, FileSystem::IFile::Begin) || !source->Read(entry.data, entry.size))
    {
        Log::Error("[vqz] Unable to read the file for '%s'", name);
        FreeBuffers(entry);
        return false;
    }
    if (!VQZFormat::Compress(entry.data, entry.size, &entry.compressed, &entry.compressedSize))
    {
        Log::Error("[vqz] Unable to compress '%s'", name);
        FreeBuffers(entry);
        return false;
    }

    Entry* replaced = nullptr;
    if (entries.Find(entry.name, &replaced))
        FreeBuffers(*replaced);
    entries.Set(entry.name, entry);
    return true;
}

} // namespace Brivet::Utility::Archive

// vqz: host packer for the demo archive.
//   vqz pack FOLDER OUT.vqz        store every file under FOLDER (names relative, '/'-separated, sorted)
//   vqz list ARCHIVE               one line per directory entry: name offset compressed-size size
//   vqz extract ARCHIVE NAME OUT   write one entry's bytes to OUT
#include "Utility/Archive/VQZ.h"
#include "Utility/Archive/VQZFormat.h"
#include "Utility/FileSystem/MemoryFile.h"
#include "Utility/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace Format = Brivet::Utility::Archive::VQZFormat;
using Brivet::Utility::Archive::VQZ;
using Brivet::Utility::FileSystem::MemoryFile;

namespace
{

// Offsets and sizes are stored as "%d" fields.
constexpr uint64_t MaxArchiveSize = 0x7FFFFFFF;

class StderrConsumer : public Brivet::Utility::Log::ILogConsumer
{
public:
    void Write(int32_t level, const char* text) override { fprintf(stderr, "vqz: %s\n", text); }
};

int Fail(const char* format, const std::string& argument)
{
    fprintf(stderr, "vqz: ");
    fprintf(stderr, format, argument.c_str());
    fprintf(stderr, "\n");
    return 1;
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const fs::path& path, const uint8_t* bytes, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
    out.close();
    return bool(out);
}

// Appends a zlib stream of data to the archive, masked as stored.
bool AppendStream(std::vector<uint8_t>& archive, const uint8_t* data, size_t size, uint32_t& compressedSize)
{
    uint8_t* stream = nullptr;
    if (size > 0xFFFFFFFFu || !Format::Compress(data, uint32_t(size), &stream, &compressedSize))
        return false;
    Format::MaskStream(stream, compressedSize);
    archive.insert(archive.end(), stream, stream + compressedSize);
    free(stream);
    return true;
}

int Pack(const fs::path& folder, const fs::path& outPath)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return Fail("%s is not a folder", folder.string());

    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    {
        // The archive being written may lie inside the folder: never store it.
        std::error_code ignored;
        if (!it->is_regular_file(error) || fs::equivalent(it->path(), outPath, ignored))
            continue;
        std::string name = it->path().lexically_relative(folder).generic_string();
        if (!Format::IsValidName(name.c_str()))
            return Fail("cannot store '%s': a name must be 1 to 259 bytes without blanks", name);
        names.push_back(name);
    }
    if (error)
        return Fail("cannot walk %s", folder.string());
    std::sort(names.begin(), names.end());
    // The player refuses an archive of more entries, or an entry larger, than its reader's
    // limits: such an archive is not written.
    if (names.size() > VQZ::MaxEntries)
        return Fail("cannot store %s", std::to_string(names.size()) + " files: the player reads at most " +
                                            std::to_string(VQZ::MaxEntries) + " entries");

    // The reader keys its entries by their lower-case hash: two names that differ only
    // in the case of A to Z would stand for one entry.
    std::map<std::string, const std::string*> lowerNames;
    for (const std::string& name : names)
    {
        std::string lower = name;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        auto inserted = lowerNames.emplace(lower, &name);
        if (!inserted.second)
            return Fail("cannot store both %s: names must differ in more than the case of A to Z",
                        "'" + *inserted.first->second + "' and '" + name + "'");
    }

    std::vector<uint8_t> archive(Format::HeaderSize, 0);
    std::string directory;
    for (const std::string& name : names)
    {
        std::vector<uint8_t> data;
        std::error_code sizeError;
        const uintmax_t fileSize = fs::file_size(folder / fs::path(name), sizeError);
        if (!sizeError && fileSize > VQZ::MaxEntryBytes)
            return Fail("cannot store %s", name + ": the player reads an entry of at most " +
                                               std::to_string(VQZ::MaxEntryBytes >> 20) + " MiB");
        if (!ReadWholeFile(folder / fs::path(name), data) || data.size() > VQZ::MaxEntryBytes)
            return Fail("cannot read %s", name);
        uint32_t offset = uint32_t(archive.size());
        uint32_t compressedSize = 0;
        if (!AppendStream(archive, data.data(), data.size(), compressedSize) || archive.size() > MaxArchiveSize ||
            data.size() > MaxArchiveSize)
            return Fail("cannot store %s: the archive would exceed 2 GiB", name);

        char line[Format::MaxNameLength + 40];
        uint32_t length = Format::FormatDirectoryLine(line, sizeof(line), name.c_str(), offset, compressedSize,
                                                      uint32_t(data.size()));
        directory.append(line, length);
    }

    Format::Header header;
    header.directoryOffset = uint32_t(archive.size());
    header.directorySize = uint32_t(directory.size());
    if (directory.size() > Format::MaxDirectorySize)
        return Fail("cannot store the directory of %s", outPath.string() + ": the player reads at most " +
                                                             std::to_string(Format::MaxDirectorySize >> 20) + " MiB of it");
    if (!AppendStream(archive, reinterpret_cast<const uint8_t*>(directory.data()), directory.size(),
                      header.directoryCompressedSize) ||
        archive.size() > MaxArchiveSize)
        return Fail("cannot store the directory of %s: the archive would exceed 2 GiB", outPath.string());
    Format::WriteHeader(header, archive.data());

    if (!WriteWholeFile(outPath, archive.data(), archive.size()))
        return Fail("cannot write %s", outPath.string());
    return 0;
}

bool LoadArchive(const fs::path& path, MemoryFile& file)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() > 0xFFFFFFFFu)
        return false;
    return bytes.empty() || file.Write(bytes.data(), uint32_t(bytes.size()));
}

bool PrintLine(const Format::DirectoryLine& line, void*)
{
    printf("%s %u %u %u\n", line.name, line.offset, line.compressedSize, line.size);
    return true;
}

int List(const fs::path& path)
{
    MemoryFile file;
    if (!LoadArchive(path, file))
        return Fail("cannot read %s", path.string());

    Format::Header header;
    uint8_t* compressed = nullptr;
    uint8_t* text = nullptr;
    switch (Format::ReadDirectory(file, header, &compressed, &text))
    {
    case Format::DirectoryResult::Ok: break;
    case Format::DirectoryResult::BadMagic: return Fail("%s is not a VQZ archive", path.string());
    case Format::DirectoryResult::Unreadable: return Fail("%s is truncated", path.string());
    case Format::DirectoryResult::Damaged: return Fail("%s has a damaged directory", path.string());
    case Format::DirectoryResult::TooLarge: return Fail("%s has a directory too large to read", path.string());
    }
    uint32_t badLine = 0;
    bool ok = Format::ScanDirectory(reinterpret_cast<const char*>(text), header.directorySize, file.GetSize(),
                                    PrintLine, nullptr, &badLine);
    free(compressed);
    free(text);
    if (!ok)
        return Fail("malformed directory line %s", std::to_string(badLine));
    return 0;
}

int Extract(const fs::path& path, const char* name, const fs::path& outPath)
{
    MemoryFile file;
    if (!LoadArchive(path, file))
        return Fail("cannot read %s", path.string());
    VQZ archive;
    if (!archive.Open(&file))
        return Fail("%s is not a valid VQZ archive", path.string());
    uint32_t size = archive.GetSize(name);
    if (size == 0xFFFFFFFFu)
        return Fail("no entry %s", name);
    std::vector<uint8_t> data(size_t(size) + 1, 0);
    if (!archive.Read(name, data.data(), size))
        return Fail("cannot read entry %s", name);
    if (!WriteWholeFile(outPath, data.data(), size))
        return Fail("cannot write %s", outPath.string());
    return 0;
}

int Usage()
{
    fprintf(stderr, "usage: vqz pack FOLDER OUT.vqz\n"
                    "       vqz list ARCHIVE\n"
                    "       vqz extract ARCHIVE NAME OUT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    static StderrConsumer consumer;
    Brivet::Utility::Log::Instance().AddConsumer(&consumer, 2);

    if (argc == 4 && strcmp(argv[1], "pack") == 0)
        return Pack(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "list") == 0)
        return List(argv[2]);
    if (argc == 5 && strcmp(argv[1], "extract") == 0)
        return Extract(argv[2], argv[3], argv[4]);
    return Usage();
}

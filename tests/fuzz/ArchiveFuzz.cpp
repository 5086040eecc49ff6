// libFuzzer harness: opening and reading a VQZ archive from arbitrary bytes.
// The first input byte picks the mode:
//   even: the rest is the archive file itself;
//   odd:  the rest is a directory text, stored into an archive whose body holds a few
//         sound entry streams, so the line parser and the entry reads get reached.
// Invariants that must hold for any input trap (an abort the fuzzer reports).
#include "FuzzCheck.h"
#include "Utility/Archive/VQZ.h"
#include "Utility/Archive/VQZFormat.h"
#include "Utility/FileSystem/MemoryFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

using Brivet::Utility::Archive::VQZ;
using Brivet::Utility::FileSystem::IFile;
using Brivet::Utility::FileSystem::MemoryFile;
namespace Format = Brivet::Utility::Archive::VQZFormat;

namespace
{
std::vector<uint8_t> Stored(const std::string& data)
{
    uint8_t* stream = nullptr;
    uint32_t size = 0;
    CHECK(Format::Compress(reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()), &stream, &size));
    Format::MaskStream(stream, size);
    std::vector<uint8_t> bytes(stream, stream + size);
    free(stream);
    return bytes;
}

// Header space and the sample entry streams of the odd mode; its sound directory text.
std::vector<uint8_t> sampleBody;
std::string sampleDirectory;

void BuildSample()
{
    const std::string samples[] = {"<brivet><properties name='fuzz'/></brivet>", "", std::string(70000, 'z') + "tail"};
    const char* names[] = {"brivet.xml", "empty.txt", "music/long.bin"};
    sampleBody.assign(Format::HeaderSize, 0);
    for (int i = 0; i < 3; ++i)
    {
        std::vector<uint8_t> stream = Stored(samples[i]);
        char line[Format::MaxNameLength + 40];
        uint32_t length = Format::FormatDirectoryLine(line, sizeof(line), names[i], uint32_t(sampleBody.size()),
                                                      uint32_t(stream.size()), uint32_t(samples[i].size()));
        sampleDirectory.append(line, length);
        sampleBody.insert(sampleBody.end(), stream.begin(), stream.end());
    }
}

std::vector<uint8_t> WrapDirectory(const uint8_t* text, size_t size)
{
    std::vector<uint8_t> archive = sampleBody;
    Format::Header header;
    header.directoryOffset = uint32_t(archive.size());
    header.directorySize = uint32_t(size);
    std::vector<uint8_t> stored = Stored(std::string(reinterpret_cast<const char*>(text), size));
    header.directoryCompressedSize = uint32_t(stored.size());
    archive.insert(archive.end(), stored.begin(), stored.end());
    Format::WriteHeader(header, archive.data());
    return archive;
}

bool CollectName(const Format::DirectoryLine& line, void* context)
{
    static_cast<std::vector<std::string>*>(context)->push_back(line.name);
    return true;
}

// The names the directory of file lists, as far as it can be read.
std::vector<std::string> ListNames(IFile& file)
{
    std::vector<std::string> names;
    Format::Header header;
    uint8_t* compressed = nullptr;
    uint8_t* text = nullptr;
    if (Format::ReadDirectory(file, header, &compressed, &text) == Format::DirectoryResult::Ok)
    {
        uint32_t badLine = 0;
        Format::ScanDirectory(reinterpret_cast<const char*>(text), header.directorySize, file.GetSize(), CollectName,
                              &names, &badLine);
    }
    free(compressed);
    free(text);
    return names;
}

bool HasCaseVariant(const std::vector<std::string>& names, const std::string& name)
{
    for (const std::string& other : names)
    {
        if (other != name && other.size() == name.size() && strncasecmp(other.c_str(), name.c_str(), name.size()) == 0)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    BuildSample();
    // Writes the odd mode's seed (its sound directory) into the folder named by the variable.
    if (const char* folder = getenv("BRIVET_FUZZ_SEEDS"))
    {
        std::string path = std::string(folder) + "/directory-seed";
        if (FILE* out = fopen(path.c_str(), "wb"))
        {
            fputc(1, out);
            fwrite(sampleDirectory.data(), 1, sampleDirectory.size(), out);
            fclose(out);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 1u << 20)
        return 0;
    std::vector<uint8_t> bytes =
        (data[0] & 1) ? WrapDirectory(data + 1, size - 1) : std::vector<uint8_t>(data + 1, data + size);

    MemoryFile file(bytes.data(), uint32_t(bytes.size()));
    std::vector<std::string> names = ListNames(file);
    VQZ archive;
    bool opened = archive.Open(&file);

    for (const std::string& name : names)
    {
        const char* entry = name.c_str();
        // A failed Open adds nothing.
        if (!opened)
        {
            CHECK(!archive.Exists(entry));
            continue;
        }
        // Names that differ only in case share a table key, so a lookup with either
        // spelling may miss (the entry table's case rule); any other listed name exists.
        if (!archive.Exists(entry))
        {
            CHECK(HasCaseVariant(names, name));
            continue;
        }

        uint32_t declared = archive.GetSize(entry);
        CHECK(declared != 0xFFFFFFFFu);
        std::vector<uint8_t> first(size_t(declared) + 1, 0xA5);
        if (!archive.Read(entry, first.data(), declared))
        {
            // A failed read leaves the buffer alone.
            for (uint8_t b : first)
                CHECK(b == 0xA5);
            continue;
        }
        CHECK(archive.GetSize(entry) == declared);
        std::vector<uint8_t> second(size_t(declared) + 1, 0x5A);
        CHECK(archive.Read(entry, second.data(), declared + 1));
        CHECK(second[declared] == 0);
        CHECK(memcmp(first.data(), second.data(), declared) == 0);
        CHECK(!archive.Read(entry, second.data(), declared + 2) || declared == 0xFFFFFFFEu);
        // The block lent in place holds the same bytes and the terminator.
        uint32_t lent = 0;
        const uint8_t* inPlace = archive.ReadInPlace(entry, &lent);
        CHECK(inPlace && lent == declared && inPlace[declared] == 0 && memcmp(inPlace, first.data(), declared) == 0);
    }
    CHECK(archive.GetHeldBytes() <= VQZ::MaxHeldBytes);

    // Replacing an entry in memory, whatever it held.
    if (opened && !names.empty())
    {
        MemoryFile replacement(data, uint32_t(size < 64 ? size : 64));
        CHECK(archive.Write(names[0].c_str(), &replacement));
        uint32_t length = archive.GetSize(names[0].c_str());
        CHECK(length == replacement.GetSize());
        std::vector<uint8_t> back(size_t(length) + 1, 0);
        CHECK(archive.Read(names[0].c_str(), back.data(), length));
        CHECK(memcmp(back.data(), data, length) == 0);
    }

    // The input as a bare directory text, against a file of its own length.
    uint32_t badLine = 0;
    std::vector<std::string> ignored;
    Format::ScanDirectory(reinterpret_cast<const char*>(data), uint32_t(size), uint32_t(size), CollectName, &ignored,
                          &badLine);
    return 0;
}

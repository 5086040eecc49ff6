// Test archives built through the shared format code.
#include "ArchiveBuilder.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace Format = Brivet::Utility::Archive::VQZFormat;

namespace ArchiveBuilder
{

Bytes Stored(const std::string& data)
{
    uint8_t* stream = nullptr;
    uint32_t size = 0;
    if (!Format::Compress(reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()), &stream, &size))
        throw std::runtime_error("compress failed");
    Format::MaskStream(stream, size);
    Bytes bytes(stream, stream + size);
    free(stream);
    return bytes;
}

Bytes Assemble(const std::vector<Bytes>& blocks, const std::string& directory, std::vector<uint32_t>* offsets)
{
    Bytes archive(Format::HeaderSize, 0);
    for (const Bytes& block : blocks)
    {
        if (offsets)
            offsets->push_back(uint32_t(archive.size()));
        archive.insert(archive.end(), block.begin(), block.end());
    }
    Format::Header header;
    header.directoryOffset = uint32_t(archive.size());
    header.directorySize = uint32_t(directory.size());
    Bytes stored = Stored(directory);
    header.directoryCompressedSize = uint32_t(stored.size());
    archive.insert(archive.end(), stored.begin(), stored.end());
    Format::WriteHeader(header, archive.data());
    return archive;
}

Bytes Build(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::vector<Bytes> blocks;
    for (const auto& entry : entries)
        blocks.push_back(Stored(entry.second));
    uint32_t offset = Format::HeaderSize;
    std::string directory;
    for (size_t i = 0; i < entries.size(); ++i)
    {
        directory += Line(entries[i].first, offset, uint32_t(blocks[i].size()), uint32_t(entries[i].second.size()));
        offset += uint32_t(blocks[i].size());
    }
    return Assemble(blocks, directory);
}

Format::Header ReadHeader(const Bytes& archive)
{
    Format::Header header;
    if (archive.size() < Format::HeaderSize || !Format::ParseHeader(archive.data(), header))
        throw std::runtime_error("not an archive");
    return header;
}

void WriteHeader(Bytes& archive, const Format::Header& header)
{
    Format::WriteHeader(header, archive.data());
}

std::string Line(const std::string& name, uint32_t offset, uint32_t compressedSize, uint32_t size)
{
    char line[Format::MaxNameLength + 64];
    uint32_t length = Format::FormatDirectoryLine(line, sizeof(line), name.c_str(), offset, compressedSize, size);
    if (length == 0)
        throw std::runtime_error("line does not fit");
    return std::string(line, length);
}

} // namespace ArchiveBuilder

// Builds VQZ archive bytes in memory for the tests, through the shared format code.
#pragma once

#include "Utility/Archive/VQZFormat.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ArchiveBuilder {

using Bytes = std::vector<uint8_t>;

// A zlib stream of data at level 9 with its first word masked, as stored in an archive.
Bytes Stored(const std::string& data);

// Header, then the blocks from offset 32 in order, then the stored directory text.
// offsets receives where each block starts.
Bytes Assemble(const std::vector<Bytes>& blocks, const std::string& directory, std::vector<uint32_t>* offsets = nullptr);

// A valid archive holding the entries in order, with the directory lines the packer writes.
Bytes Build(const std::vector<std::pair<std::string, std::string>>& entries);

// Where the pieces of an archive made by Assemble lie.
Brivet::Utility::Archive::VQZFormat::Header ReadHeader(const Bytes& archive);
// Rewrites the masked header fields.
void WriteHeader(Bytes& archive, const Brivet::Utility::Archive::VQZFormat::Header& header);

// Text line "name offset compressedSize size\n".
std::string Line(const std::string& name, uint32_t offset, uint32_t compressedSize, uint32_t size);

} // namespace ArchiveBuilder

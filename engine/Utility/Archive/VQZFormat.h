// The byte format of a VQZ archive, shared by the reader and the host packer:
// magic, masked header fields, masked zlib blocks and the directory's text lines.
#pragma once

#include <cstdint>

namespace Brivet::Utility::FileSystem
{
class IFile;
}

namespace Brivet::Utility::Archive::VQZFormat
{

constexpr uint32_t MagicSize = 16;
constexpr uint32_t HeaderSize = 32;
extern const uint8_t Magic[MagicSize];

// Header fields: offset in the file and the XOR mask each is stored with.
constexpr uint32_t UnusedField = 16;
constexpr uint32_t DirectoryOffsetField = 20;
constexpr uint32_t DirectoryCompressedSizeField = 24;
constexpr uint32_t DirectorySizeField = 28;
constexpr uint32_t UnusedMask = 0x3C5A91E7;
constexpr uint32_t DirectoryOffsetMask = 0x6B2F04D8;
constexpr uint32_t DirectoryCompressedSizeMask = 0xA1E7532C;
constexpr uint32_t DirectorySizeMask = 0x5D08C6B9;

// The first little-endian 16-bit word of every stored zlib stream is XORed with this.
constexpr uint16_t StreamMask = 0x7E19;

// Longest entry name a directory line may hold.
constexpr uint32_t MaxNameLength = 259;

// Largest directory text read: room for tens of thousands of lines of any length a
// packer writes; a stream may otherwise declare up to 4 GiB of text.
constexpr uint32_t MaxDirectorySize = 64u << 20;

struct Header
{
    uint32_t unused = 0;
    uint32_t directoryOffset = 0;
    uint32_t directoryCompressedSize = 0;
    uint32_t directorySize = 0;
};

// Header fields from the 32 bytes at the start of the file; false when the magic differs.
bool ParseHeader(const uint8_t* bytes, Header& header);
// The 32 header bytes: magic and masked fields.
void WriteHeader(const Header& header, uint8_t* bytes);

uint32_t ReadU32(const uint8_t* bytes);
void WriteU32(uint8_t* bytes, uint32_t value);

// XORs the first word of a stored stream with StreamMask (masks and unmasks).
// False for a block shorter than two bytes, which holds no zlib stream.
bool MaskStream(uint8_t* block, uint32_t size);

// True when a zlib stream of compressedSize bytes can inflate to size bytes. Deflate
// expands at most about 1032:1, so a larger declared size marks a damaged archive
// (and is never allocated).
bool IsPlausibleSize(uint32_t compressedSize, uint32_t size);

// zlib stream of data at level 9, unmasked, in a new malloc block of exactly *outSize
// bytes (the scratch block is sized with compressBound). False when zlib fails.
bool Compress(const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize);

// Inflates an unmasked zlib stream into out, which holds size bytes. True only when
// zlib reports a complete stream and exactly size bytes came out.
bool Inflate(const uint8_t* stream, uint32_t streamSize, uint8_t* out, uint32_t size);

struct DirectoryLine
{
    char name[MaxNameLength + 1];
    uint32_t nameLength;
    uint32_t offset;
    uint32_t compressedSize;
    uint32_t size;
};

enum class LineResult
{
    Entry,    // line holds a valid entry
    Blank,    // line holds only white space
    Malformed // wrong field count, name too long, a negative or non-decimal number
};

// Parses one line, text up to end (the line feed excluded): the name, then three
// decimal numbers (offset, compressed size, size), each at most 0x7FFFFFFF, all
// separated by blanks.
LineResult ParseDirectoryLine(const char* text, const char* end, DirectoryLine& line);

// Writes the line for one entry, line feed included, zero-terminated; returns its
// length without the terminator, or 0 when it does not fit into capacity bytes.
uint32_t FormatDirectoryLine(char* out, uint32_t capacity, const char* name, uint32_t offset, uint32_t compressedSize,
                             uint32_t size);

// Walks the directory text: calls visit for every entry line, in order, and skips
// blank lines. An entry must lie inside a file of fileSize bytes and its size must
// be plausible for its compressed size. Stops and returns false at the first line
// that is malformed, with *badLine (1-based) set, or when visit returns false.
using LineVisitor = bool (*)(const DirectoryLine& line, void* context);
bool ScanDirectory(const char* text, uint32_t length, uint32_t fileSize, LineVisitor visit, void* context,
                   uint32_t* badLine);

enum class DirectoryResult
{
    Ok,
    BadMagic,   // not an archive
    Unreadable, // short file, failed seek or read, directory outside the file
    Damaged,    // the directory's zlib stream is broken or inflates to another size
    TooLarge    // the directory text would pass MaxDirectorySize
};

// Reads the header and the directory: on Ok, *compressed holds the stored directory
// (unmasked) and *text its inflated text plus a terminating zero (malloc blocks the
// caller frees); otherwise both are null.
DirectoryResult ReadDirectory(FileSystem::IFile& file, Header& header, uint8_t** compressed, uint8_t** text);

// True for a name a directory line can carry: 1 to 259 bytes, no white space.
bool IsValidName(const char* name);

} // namespace Brivet::Utility::Archive::VQZFormat

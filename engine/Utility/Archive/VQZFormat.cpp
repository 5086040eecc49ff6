// The VQZ byte format: header, masked zlib blocks, directory lines.
#include "Utility/Archive/VQZFormat.h"

#include "Utility/FileSystem/IFile.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Brivet::Utility::Archive::VQZFormat
{

const uint8_t Magic[MagicSize] = {
    'W', 'e', 'l', 'k', 'o', 'r', 'V', 'o', 'd', 'e', 'R', 'a', 'v', 0x1A, 0x00, 0x00,
};

// Deflate's best case: a 258-byte match coded in two bits.
static constexpr uint64_t MaxInflateRatio = 1032;

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint32_t ReadU32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void WriteU32(uint8_t* bytes, uint32_t value)
{
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
    bytes[2] = uint8_t(value >> 16);
    bytes[3] = uint8_t(value >> 24);
}

bool ParseHeader(const uint8_t* bytes, Header& header)
{
    if (memcmp(bytes, Magic, MagicSize) != 0)
        return false;
    header.unused = ReadU32(bytes + UnusedField) ^ UnusedMask;
    header.directoryOffset = ReadU32(bytes + DirectoryOffsetField) ^ DirectoryOffsetMask;
    header.directoryCompressedSize = ReadU32(bytes + DirectoryCompressedSizeField) ^ DirectoryCompressedSizeMask;
    header.directorySize = ReadU32(bytes + DirectorySizeField) ^ DirectorySizeMask;
    return true;
}

void WriteHeader(const Header& header, uint8_t* bytes)
{
    memcpy(bytes, Magic, MagicSize);
    WriteU32(bytes + UnusedField, header.unused ^ UnusedMask);
    WriteU32(bytes + DirectoryOffsetField, header.directoryOffset ^ DirectoryOffsetMask);
    WriteU32(bytes + DirectoryCompressedSizeField, header.directoryCompressedSize ^ DirectoryCompressedSizeMask);
    WriteU32(bytes + DirectorySizeField, header.directorySize ^ DirectorySizeMask);
}

bool MaskStream(uint8_t* block, uint32_t size)
{
    if (!block || size < 2)
        return false;
    block[0] ^= uint8_t(StreamMask);
    block[1] ^= uint8_t(StreamMask >> 8);
    return true;
}

bool IsPlausibleSize(uint32_t compressedSize, uint32_t size)
{
    return size <= uint64_t(compressedSize) * MaxInflateRatio;
}

bool Compress(const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize)
{
    *out = nullptr;
    *outSize = 0;
    uLong bound = compressBound(size);
    uint8_t* scratch = static_cast<uint8_t*>(malloc(bound));
    if (!scratch)
        return false;
    uLongf length = bound;
    static const uint8_t none = 0;
    if (compress2(scratch, &length, size != 0 ? data : &none, size, 9) != Z_OK || length > 0xFFFFFFFFul)
    {
        free(scratch);
        return false;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(length));
    if (!block)
    {
        free(scratch);
        return false;
    }
    memcpy(block, scratch, length);
    free(scratch);
    *out = block;
    *outSize = uint32_t(length);
    return true;
}

bool Inflate(const uint8_t* stream, uint32_t streamSize, uint8_t* out, uint32_t size)
{
    uLongf length = size;
    if (uncompress(out, &length, stream, streamSize) != Z_OK)
        return false;
    return length == size;
}

// Reads a decimal number of at most 0x7FFFFFFF (the range of the directory's "%d" fields).
static bool ParseNumber(const char*& p, const char* end, uint32_t& value)
{
    if (p < end && *p == '+')
        ++p;
    if (p == end || *p < '0' || *p > '9')
        return false;
    uint64_t number = 0;
    while (p < end && *p >= '0' && *p <= '9')
    {
        number = number * 10 + uint64_t(*p - '0');
        if (number > 0x7FFFFFFFu)
            return false;
        ++p;
    }
    value = uint32_t(number);
    return true;
}

LineResult ParseDirectoryLine(const char* text, const char* end, DirectoryLine& line)
{
    const char* p = text;
    while (p < end && IsBlank(*p))
        ++p;
    if (p == end)
        return LineResult::Blank;

    // Name: every byte up to the next blank; a zero byte cannot be looked up.
    const char* name = p;
    while (p < end && !IsBlank(*p))
    {
        if (*p == '\0')
            return LineResult::Malformed;
        ++p;
    }
    uint32_t nameLength = uint32_t(p - name);
    if (nameLength > MaxNameLength)
        return LineResult::Malformed;

    uint32_t* fields[3] = {&line.offset, &line.compressedSize, &line.size};
    for (uint32_t* field : fields)
    {
        if (p == end || !IsBlank(*p))
            return LineResult::Malformed;
        while (p < end && IsBlank(*p))
            ++p;
        if (!ParseNumber(p, end, *field))
            return LineResult::Malformed;
    }
    while (p < end && IsBlank(*p))
        ++p;
    if (p != end)
        return LineResult::Malformed;

    memcpy(line.name, name, nameLength);
    line.name[nameLength] = '\0';
    line.nameLength = nameLength;
    return LineResult::Entry;
}

bool ScanDirectory(const char* text, uint32_t length, uint32_t fileSize, LineVisitor visit, void* context,
                   uint32_t* badLine)
{
    const char* p = text;
    const char* end = text + length;
    uint32_t lineNumber = 0;
    *badLine = 0;
    // A remainder of fewer than three characters cannot hold an entry.
    while (end - p >= 3)
    {
        ++lineNumber;
        const char* lineEnd = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;

        DirectoryLine line;
        LineResult result = ParseDirectoryLine(p, lineEnd, line);
        if (result == LineResult::Malformed)
        {
            *badLine = lineNumber;
            return false;
        }
        if (result == LineResult::Entry)
        {
            bool inFile = uint64_t(line.offset) + line.compressedSize <= fileSize;
            if (!inFile || !IsPlausibleSize(line.compressedSize, line.size))
            {
                *badLine = lineNumber;
                return false;
            }
            if (!visit(line, context))
                return false;
        }
        if (lineEnd == end)
            break;
        p = lineEnd + 1;
    }
    return true;
}

DirectoryResult ReadDirectory(FileSystem::IFile& file, Header& header, uint8_t** compressed, uint8_t** text)
{
    *compressed = nullptr;
    *text = nullptr;
    header = Header();

    uint8_t bytes[HeaderSize];
    if (!file.Seek(0, FileSystem::IFile::Begin) || !file.Read(bytes, MagicSize))
        return DirectoryResult::Unreadable;
    if (memcmp(bytes, Magic, MagicSize) != 0)
        return DirectoryResult::BadMagic;
    if (!file.Read(bytes + MagicSize, HeaderSize - MagicSize))
        return DirectoryResult::Unreadable;
    ParseHeader(bytes, header);

    uint32_t compressedSize = header.directoryCompressedSize;
    uint32_t size = header.directorySize;
    // Seek takes a signed 32-bit offset.
    if (header.directoryOffset > 0x7FFFFFFFu || uint64_t(header.directoryOffset) + compressedSize > file.GetSize())
        return DirectoryResult::Unreadable;
    // An absent stream stands for an empty directory; one byte cannot hold a stream.
    if (compressedSize == 0 ? size != 0 : compressedSize < 2 || !IsPlausibleSize(compressedSize, size))
        return DirectoryResult::Damaged;
    if (size > MaxDirectorySize)
        return DirectoryResult::TooLarge;

    uint8_t* stored = nullptr;
    if (compressedSize != 0)
    {
        stored = static_cast<uint8_t*>(malloc(compressedSize));
        if (!stored)
            return DirectoryResult::Unreadable;
        if (!file.Seek(int32_t(header.directoryOffset), FileSystem::IFile::Begin) || !file.Read(stored, compressedSize))
        {
            free(stored);
            return DirectoryResult::Unreadable;
        }
        MaskStream(stored, compressedSize);
    }

    uint8_t* inflated = static_cast<uint8_t*>(calloc(size_t(size) + 1, 1));
    if (!inflated || (compressedSize != 0 && !Inflate(stored, compressedSize, inflated, size)))
    {
        free(stored);
        free(inflated);
        return DirectoryResult::Damaged;
    }
    *compressed = stored;
    *text = inflated;
    return DirectoryResult::Ok;
}

uint32_t FormatDirectoryLine(char* out, uint32_t capacity, const char* name, uint32_t offset, uint32_t compressedSize,
                             uint32_t size)
{
    int length = snprintf(out, capacity, "%s %u %u %u\n", name, offset, compressedSize, size);
    if (length < 0 || uint32_t(length) >= capacity)
        return 0;
    return uint32_t(length);
}

bool IsValidName(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || length > MaxNameLength)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (IsBlank(name[i]))
            return false;
    return true;
}

} // namespace Brivet::Utility::Archive::VQZFormat

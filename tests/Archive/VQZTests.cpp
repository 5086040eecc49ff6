// VQZ reader: valid archives read back exactly, damaged ones fail cleanly.
#include "ArchiveBuilder.h"
#include "LogCapture.h"

#include "Utility/Archive/VQZ.h"
#include "Utility/FileSystem/MemoryFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using ArchiveBuilder::Bytes;
using Brivet::Utility::Archive::VQZ;
using Brivet::Utility::FileSystem::IFile;
using Brivet::Utility::FileSystem::MemoryFile;
namespace Format = Brivet::Utility::Archive::VQZFormat;

namespace
{

constexpr uint32_t Missing = 0xFFFFFFFFu;

// An archive over its own in-memory file.
struct Opened
{
    explicit Opened(const Bytes& bytes) : file(bytes.data(), uint32_t(bytes.size())) { ok = archive.Open(&file); }

    MemoryFile file;
    VQZ archive;
    bool ok = false;
};

// Reads a whole entry the way the engine's callers do: GetSize, then size bytes into size + 1.
std::string ReadEntry(VQZ& archive, const char* name)
{
    uint32_t size = archive.GetSize(name);
    if (size == Missing)
        return "<missing>";
    std::string buffer(size_t(size) + 1, '\xAA');
    if (!archive.Read(name, buffer.data(), size))
        return "<read failed>";
    buffer.resize(size);
    return buffer;
}

// Bytes that deflate to a few percent but are not one repeated run.
std::string Patterned(size_t size)
{
    std::string data(size, '\0');
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i)
    {
        state = state * 1103515245u + 12345u;
        data[i] = (i % 4096) < 64 ? char(state >> 24) : char("brivet "[i % 7]);
    }
    return data;
}

bool Logged(const std::string& text)
{
    for (const LogCapture::Line& line : LogCapture::Get().Lines())
    {
        if (line.text == text)
            return true;
    }
    return false;
}

} // namespace

TEST(VQZ, ReadsEveryEntryBackExactly)
{
    std::vector<std::pair<std::string, std::string>> entries = {
        {"brivet.xml", "<brivet><properties name=\"demo\"/></brivet>"},
        {"empty.txt", ""},
        {"shaders/layer.hlsl", std::string("binary\0zero\xff bytes", 18)},
        {"music/big.bin", Patterned(6 * 1024 * 1024 + 17)},
        {std::string(Format::MaxNameLength, 'n'), "longest name"},
    };
    Opened opened(ArchiveBuilder::Build(entries));
    ASSERT_TRUE(opened.ok);

    for (const auto& entry : entries)
    {
        SCOPED_TRACE(entry.first.substr(0, 32));
        const char* name = entry.first.c_str();
        EXPECT_TRUE(opened.archive.Exists(name));
        EXPECT_EQ(opened.archive.GetSize(name), entry.second.size());
        EXPECT_EQ(ReadEntry(opened.archive, name), entry.second);
        // After the first Read, GetSize reports the inflated length.
        EXPECT_EQ(opened.archive.GetSize(name), entry.second.size());
        EXPECT_EQ(opened.archive.GetTime(name), 0u);

        // The block holds a terminating zero after the data: size + 1 bytes may be read.
        std::string terminated(entry.second.size() + 1, '\xAA');
        ASSERT_TRUE(opened.archive.Read(name, terminated.data(), uint32_t(terminated.size())));
        EXPECT_EQ(terminated.back(), '\0');
    }
}

TEST(VQZ, MissingNameLeavesBufferUntouched)
{
    Opened opened(ArchiveBuilder::Build({{"a.txt", "alpha"}}));
    ASSERT_TRUE(opened.ok);

    char buffer[8];
    memset(buffer, 0x5A, sizeof(buffer));
    for (const char* name : {"b.txt", "a.tx", "a.txt ", ""})
    {
        SCOPED_TRACE(name);
        EXPECT_FALSE(opened.archive.Exists(name));
        EXPECT_EQ(opened.archive.GetSize(name), Missing);
        EXPECT_EQ(opened.archive.GetTime(name), 0u);
        EXPECT_FALSE(opened.archive.Read(name, buffer, 4));
        for (char c : buffer)
            EXPECT_EQ(c, 0x5A);
    }
    EXPECT_FALSE(opened.archive.Exists(nullptr));
    EXPECT_EQ(opened.archive.GetSize(nullptr), Missing);
}

TEST(VQZ, SecondReadUsesTheInflatedCopy)
{
    Bytes bytes = ArchiveBuilder::Build({{"a.txt", "first and only inflation"}});
    Opened opened(bytes);
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(ReadEntry(opened.archive, "a.txt"), "first and only inflation");

    // Overwrite the stored stream in the file: a second inflation would fail.
    std::vector<uint8_t> garbage(bytes.size() - Format::HeaderSize, 0xEE);
    ASSERT_TRUE(opened.file.Seek(int32_t(Format::HeaderSize), IFile::Begin));
    ASSERT_TRUE(opened.file.Write(garbage.data(), uint32_t(garbage.size())));

    EXPECT_EQ(ReadEntry(opened.archive, "a.txt"), "first and only inflation");
}

TEST(VQZ, LaterDirectoryLineOfTheSameNameWins)
{
    std::vector<Bytes> blocks = {ArchiveBuilder::Stored("older"), ArchiveBuilder::Stored("the newer text")};
    uint32_t second = Format::HeaderSize + uint32_t(blocks[0].size());
    std::string directory = ArchiveBuilder::Line("same.txt", Format::HeaderSize, uint32_t(blocks[0].size()), 5) +
                            ArchiveBuilder::Line("other.txt", Format::HeaderSize, uint32_t(blocks[0].size()), 5) +
                            ArchiveBuilder::Line("same.txt", second, uint32_t(blocks[1].size()), 14);
    Opened opened(ArchiveBuilder::Assemble(blocks, directory));
    ASSERT_TRUE(opened.ok);

    EXPECT_EQ(opened.archive.GetSize("same.txt"), 14u);
    EXPECT_EQ(ReadEntry(opened.archive, "same.txt"), "the newer text");
    EXPECT_EQ(ReadEntry(opened.archive, "other.txt"), "older");
}

// Directory texts that a valid archive may hold, and the entries they give.
TEST(VQZ, DirectoryTextForms)
{
    Bytes block = ArchiveBuilder::Stored("data");
    std::string csize = std::to_string(block.size());
    struct Case
    {
        const char* what;
        std::string directory;
        std::vector<std::string> present;
    };
    const Case cases[] = {
        {"empty directory", "", {}},
        {"fewer than three characters", "\n\n", {}},
        {"a short remainder after the last line", "a 32 " + csize + " 4\nxy", {"a"}},
        {"last line without line feed", "a 32 " + csize + " 4\nb 32 " + csize + " 4", {"a", "b"}},
        {"blank lines, tabs and CR LF", "\n  \na\t32  " + csize + " 4\r\n\r\nb 32 " + csize + " 4 \n", {"a", "b"}},
        {"numbers with a plus sign", "a +32 +" + csize + " +4\n", {"a"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Opened opened(ArchiveBuilder::Assemble({block}, c.directory));
        ASSERT_TRUE(opened.ok);
        for (const std::string& name : c.present)
            EXPECT_EQ(ReadEntry(opened.archive, name.c_str()), "data") << name;
        EXPECT_FALSE(opened.archive.Exists("xy"));
    }
}

TEST(VQZ, EveryMagicByteIsChecked)
{
    Bytes valid = ArchiveBuilder::Build({{"a.txt", "alpha"}});
    for (uint32_t i = 0; i < Format::MagicSize; ++i)
    {
        Bytes bytes = valid;
        bytes[i] ^= 0x01;
        Opened opened(bytes);
        EXPECT_FALSE(opened.ok) << "byte " << i;
        EXPECT_FALSE(opened.archive.Exists("a.txt"));
    }
}

// Archives damaged in their header or directory: Open fails, no entry appears.
TEST(VQZ, DamagedArchivesFailToOpen)
{
    const std::string text = "hello archive";
    const Bytes block = ArchiveBuilder::Stored(text);
    const uint32_t csize = uint32_t(block.size());
    const Bytes valid =
        ArchiveBuilder::Assemble({block}, ArchiveBuilder::Line("a.txt", 32, csize, uint32_t(text.size())));

    using Mutation = std::function<void(Bytes&, Format::Header&)>;
    // A valid first line, then the given one.
    auto withLine = [&](const std::string& line) {
        return [=](Bytes& bytes, Format::Header&) {
            bytes = ArchiveBuilder::Assemble({block},
                                             ArchiveBuilder::Line("a.txt", 32, csize, uint32_t(text.size())) + line);
        };
    };
    auto lineWith = [&](const std::string& numbers) { return withLine("b.txt " + numbers + "\n"); };
    const std::string entryAt32 = "32 " + std::to_string(csize) + " " + std::to_string(text.size());

    struct Case
    {
        const char* what;
        Mutation damage;
    };
    const Case cases[] = {
        {"empty file", [](Bytes& b, Format::Header&) { b.clear(); }},
        {"truncated magic", [](Bytes& b, Format::Header&) { b.resize(10); }},
        {"magic only", [](Bytes& b, Format::Header&) { b.resize(16); }},
        {"header cut in its last field", [](Bytes& b, Format::Header&) { b.resize(30); }},
        {"directory offset at the end", [](Bytes& b, Format::Header& h) { h.directoryOffset = uint32_t(b.size()); }},
        {"directory one byte past the end", [](Bytes&, Format::Header& h) { h.directoryCompressedSize += 1; }},
        {"directory offset and size wrap 32 bits",
         [](Bytes&, Format::Header& h) {
             h.directoryOffset = 0xFFFFFFF0u;
             h.directoryCompressedSize = 0x20;
         }},
        {"directory offset above 2 GiB", [](Bytes&, Format::Header& h) { h.directoryOffset = 0x80000000u; }},
        {"file cut inside the directory", [](Bytes& b, Format::Header&) { b.resize(b.size() - 3); }},
        {"directory stream of one byte", [](Bytes&, Format::Header& h) { h.directoryCompressedSize = 1; }},
        {"no directory stream but a size", [](Bytes&, Format::Header& h) { h.directoryCompressedSize = 0; }},
        {"bad zlib checksum in the directory", [](Bytes& b, Format::Header&) { b.back() ^= 0x40; }},
        {"directory stream not masked",
         [](Bytes& b, Format::Header& h) { Format::MaskStream(b.data() + h.directoryOffset, 2); }},
        {"directory declared one byte short", [](Bytes&, Format::Header& h) { h.directorySize -= 1; }},
        {"directory declared one byte long", [](Bytes&, Format::Header& h) { h.directorySize += 1; }},
        {"directory declared 4 GiB", [](Bytes&, Format::Header& h) { h.directorySize = 0xFFFFFFFFu; }},
        {"line of three fields", lineWith("32 1")},
        {"line of five fields", lineWith(entryAt32 + " 7")},
        {"line of a name only", withLine("b.txt\n")},
        {"letter in a number", lineWith("32 1x 1")},
        {"negative offset", lineWith("-32 8 0")},
        {"negative size", lineWith("32 " + std::to_string(csize) + " -1")},
        {"number above 0x7FFFFFFF", lineWith("4294967328 8 0")},
        {"number of twenty digits", lineWith("32 99999999999999999999 0")},
        {"name of 260 characters", withLine(std::string(260, 'n') + " " + entryAt32 + "\n")},
        {"name holding a zero byte", withLine(std::string("b\0c ", 4) + entryAt32 + "\n")},
        {"entry past the end of the file", lineWith("32 100000 4")},
        {"entry offset and size past 2 GiB", lineWith("2147483647 8 0")},
        {"entry declared 2 GiB", lineWith("32 " + std::to_string(csize) + " 2147483647")},
        {"no entry stream but a size", lineWith("32 0 1")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bytes bytes = valid;
        Format::Header header = ArchiveBuilder::ReadHeader(bytes);
        Format::Header changed = header;
        c.damage(bytes, changed);
        if (bytes.size() >= Format::HeaderSize && memcmp(&changed, &header, sizeof(header)) != 0)
            ArchiveBuilder::WriteHeader(bytes, changed);

        Opened opened(bytes);
        EXPECT_FALSE(opened.ok);
        EXPECT_FALSE(opened.archive.Exists("a.txt"));
        EXPECT_EQ(opened.archive.GetSize("a.txt"), Missing);
    }
}

// Archives whose directory is sound but whose entry is damaged: Open succeeds, Read fails.
TEST(VQZ, DamagedEntriesFailToRead)
{
    const std::string text = "hello archive, hello entry";
    const Bytes good = ArchiveBuilder::Stored(text);
    const uint32_t size = uint32_t(text.size());
    struct Case
    {
        const char* what;
        std::function<void(Bytes& stream, uint32_t& compressedSize, uint32_t& size)> damage;
    };
    const Case cases[] = {
        {"bad zlib checksum", [](Bytes& s, uint32_t&, uint32_t&) { s.back() ^= 0x01; }},
        {"bad deflate data",
         [](Bytes& s, uint32_t&, uint32_t&) {
             for (size_t i = 2; i < s.size() - 4; ++i)
                 s[i] = 0xFF;
         }},
        {"stream not masked", [](Bytes& s, uint32_t&, uint32_t&) { Format::MaskStream(s.data(), 2); }},
        {"stream cut short", [](Bytes&, uint32_t& c, uint32_t&) { c -= 5; }},
        {"stream of one byte",
         [](Bytes&, uint32_t& c, uint32_t& n) {
             c = 1;
             n = 1;
         }},
        {"declared one byte short", [](Bytes&, uint32_t&, uint32_t& n) { n -= 1; }},
        {"declared one byte long", [](Bytes&, uint32_t&, uint32_t& n) { n += 1; }},
        {"declared empty", [](Bytes&, uint32_t&, uint32_t& n) { n = 0; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bytes stream = good;
        uint32_t compressedSize = uint32_t(stream.size());
        uint32_t declared = size;
        c.damage(stream, compressedSize, declared);

        Bytes other = ArchiveBuilder::Stored("still fine");
        uint32_t otherOffset = Format::HeaderSize + uint32_t(stream.size());
        std::string directory = ArchiveBuilder::Line("a.txt", Format::HeaderSize, compressedSize, declared) +
                                ArchiveBuilder::Line("b.txt", otherOffset, uint32_t(other.size()), 10);
        Opened opened(ArchiveBuilder::Assemble({stream, other}, directory));
        ASSERT_TRUE(opened.ok);

        LogCapture::Get().Clear();
        std::vector<char> buffer(size + 2, '\x33');
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            EXPECT_FALSE(opened.archive.Read("a.txt", buffer.data(), declared));
            for (char b : buffer)
                ASSERT_EQ(b, '\x33');
        }
        EXPECT_TRUE(Logged("[vqz] Damaged entry 'a.txt'"));
        EXPECT_EQ(opened.archive.GetSize("a.txt"), declared);
        EXPECT_EQ(ReadEntry(opened.archive, "b.txt"), "still fine");
    }
}

TEST(VQZ, ReadNeverCopiesPastTheTerminator)
{
    Opened opened(ArchiveBuilder::Build({{"a.txt", "12345"}}));
    ASSERT_TRUE(opened.ok);
    LogCapture::Get().Clear();

    char buffer[16];
    memset(buffer, 0x5A, sizeof(buffer));
    EXPECT_FALSE(opened.archive.Read("a.txt", buffer, 7));
    EXPECT_FALSE(opened.archive.Read("a.txt", buffer, 0xFFFFFFFFu));
    for (char c : buffer)
        EXPECT_EQ(c, 0x5A);
    EXPECT_TRUE(Logged("[vqz] Read of 7 bytes from 'a.txt' exceeds its 5 bytes"));

    // A shorter read copies only the start.
    EXPECT_TRUE(opened.archive.Read("a.txt", buffer, 3));
    EXPECT_EQ(std::string(buffer, 4), "123\x5A");
    EXPECT_TRUE(opened.archive.Read("a.txt", buffer, 0));
}

TEST(VQZ, EntryWithoutStreamIsEmpty)
{
    Opened opened(ArchiveBuilder::Assemble({}, "nothing.txt 0 0 0\n"));
    ASSERT_TRUE(opened.ok);
    EXPECT_EQ(opened.archive.GetSize("nothing.txt"), 0u);
    char terminator = 'x';
    EXPECT_TRUE(opened.archive.Read("nothing.txt", &terminator, 1));
    EXPECT_EQ(terminator, '\0');
}

TEST(VQZ, OpenWithoutFileFails)
{
    VQZ archive;
    EXPECT_FALSE(archive.Open(nullptr));
    EXPECT_FALSE(archive.Exists("a"));
}

namespace
{

// A file that reports a size but cannot be read.
class UnreadableFile : public IFile
{
public:
    bool Read(void*, uint32_t) override { return false; }
    bool Write(const void*, uint32_t) override { return false; }
    bool Seek(int32_t, uint32_t) override { return true; }
    uint32_t Tell() override { return 0; }
    uint32_t GetSize() override { return 64; }
    uint64_t GetTime() override { return 0; }
};

} // namespace

TEST(VQZ, WriteAddsAndReplacesEntriesInMemory)
{
    Bytes bytes = ArchiveBuilder::Build({{"a.txt", "from the file"}, {"b.txt", "untouched"}});
    Opened opened(bytes);
    ASSERT_TRUE(opened.ok);
    ASSERT_EQ(ReadEntry(opened.archive, "a.txt"), "from the file");

    // Replacing an entry that was read, adding a new one, replacing a written one.
    std::string large = Patterned(3 * 1024 * 1024);
    MemoryFile replacement("written over", 12);
    MemoryFile added(large.data(), uint32_t(large.size()));
    MemoryFile empty;
    ASSERT_TRUE(replacement.Seek(5, IFile::Begin)); // Write reads from the start whatever the position
    EXPECT_TRUE(opened.archive.Write("a.txt", &replacement));
    EXPECT_TRUE(opened.archive.Write("c.bin", &added));
    EXPECT_TRUE(opened.archive.Write("d.txt", &empty));
    EXPECT_TRUE(opened.archive.Write("d.txt", &replacement));

    EXPECT_EQ(ReadEntry(opened.archive, "a.txt"), "written over");
    EXPECT_EQ(ReadEntry(opened.archive, "b.txt"), "untouched");
    EXPECT_EQ(ReadEntry(opened.archive, "c.bin"), large);
    EXPECT_EQ(ReadEntry(opened.archive, "d.txt"), "written over");
    char terminator = 'x';
    EXPECT_TRUE(opened.archive.Read("d.txt", &terminator, 0));
    std::string terminated(13, 'x');
    EXPECT_TRUE(opened.archive.Read("d.txt", terminated.data(), 13));
    EXPECT_EQ(terminated.back(), '\0');

    // Nothing reaches the archive file.
    EXPECT_EQ(opened.file.GetSize(), bytes.size());
    EXPECT_EQ(memcmp(opened.file.GetData(), bytes.data(), bytes.size()), 0);

    // An entry can be added without any archive file.
    VQZ fresh;
    MemoryFile source("fresh", 5);
    EXPECT_TRUE(fresh.Write("x", &source));
    EXPECT_EQ(ReadEntry(fresh, "x"), "fresh");
}

TEST(VQZ, WriteOfAnUnreadableFileFails)
{
    VQZ archive;
    UnreadableFile unreadable;
    LogCapture::Get().Clear();
    EXPECT_FALSE(archive.Write("x", &unreadable));
    EXPECT_FALSE(archive.Exists("x"));
    EXPECT_TRUE(Logged("[vqz] Unable to read the file for 'x'"));
    EXPECT_FALSE(archive.Write("x", nullptr));
}

TEST(VQZ, DeleteFileAssertsAndKeepsTheEntry)
{
    Opened opened(ArchiveBuilder::Build({{"a.txt", "alpha"}}));
    ASSERT_TRUE(opened.ok);
    LogCapture::Get().Clear();

    EXPECT_FALSE(opened.archive.DeleteFile("a.txt"));
    EXPECT_TRUE(opened.archive.Exists("a.txt"));

    const std::string message =
        "File: Utility/Archive/VQZ\nLine: 293\n\nBrivet::Utility::Archive::VQZ::DeleteFileW not implemented yet!";
    std::vector<LogCapture::Line> errors = LogCapture::Get().Lines(3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "*** ASSERT:\n" + message + "\n*******");
    ASSERT_EQ(LogCapture::Get().Boxes().size(), 1u);
}

namespace
{
// FNV-1 as the engine's strings hash names (bytes taken as signed).
uint64_t NameHash(const std::string& name)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : name)
        hash = (hash * 0x100000001b3ull) ^ uint64_t(int64_t(int8_t(c)));
    return hash;
}

// Lines of empty entries (no stream) under the given names.
std::string EmptyEntryLines(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += name + " 32 0 0\n";
    return text;
}
} // namespace

// A directory of millions of lines, or of names chosen to collide in the entry table,
// would make opening cost minutes: both are refused before the table is built.
TEST(VQZ, DirectoriesBeyondTheEntryLimitsAreRefused)
{
    std::vector<std::string> many;
    for (uint32_t i = 0; i < VQZ::MaxEntries + 1; ++i)
        many.push_back("textures/t" + std::to_string(i) + ".png");
    // Names whose hashes agree in their low 12 bits crowd into a few runs of slots: a
    // numbered prefix and the two last characters that bring the hash there.
    const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::vector<std::string> colliding;
    for (uint32_t i = 0; colliding.size() < 40000; ++i)
    {
        const std::string prefix = "c" + std::to_string(i);
        const uint64_t state = NameHash(prefix);
        for (char first : letters)
        {
            const uint64_t next = (state * 0x100000001b3ull) ^ uint64_t(first);
            for (char last : letters)
            {
                if ((((next * 0x100000001b3ull) ^ uint64_t(last)) & 0xFFF) == 0)
                    colliding.push_back(prefix + first + last);
            }
        }
    }

    struct Case
    {
        const char* what;
        std::vector<std::string> names;
        std::string error; // empty: opens with every entry
    };
    const Case cases[] = {
        {"as many entries as allowed", std::vector<std::string>(many.begin(), many.end() - 1), ""},
        {"one entry more", many, "[vqz] Directory of more than 65536 entries"},
        {"colliding names", colliding, "collide"},
        {"a few colliding names", std::vector<std::string>(colliding.begin(), colliding.begin() + 1000), ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        LogCapture::Get().Clear();
        Opened opened(ArchiveBuilder::Assemble({}, EmptyEntryLines(c.names)));
        EXPECT_EQ(opened.ok, c.error.empty());
        const auto errors = LogCapture::Get().Lines(3);
        if (c.error.empty())
        {
            EXPECT_TRUE(errors.empty());
            EXPECT_EQ(opened.archive.GetSize(c.names.back().c_str()), 0u);
        }
        else
        {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].text.find(c.error), std::string::npos) << errors[0].text;
            EXPECT_FALSE(opened.archive.Exists(c.names[0].c_str()));
        }
    }

    // A directory text beyond its limit is not inflated at all.
    std::string noise(100000, '\0');
    uint32_t state = 99;
    for (char& c : noise)
        c = char((state = state * 1103515245u + 12345u) >> 24);
    Bytes bytes = ArchiveBuilder::Assemble({}, noise); // a stream that may declare 64 MiB and more
    Format::Header header = ArchiveBuilder::ReadHeader(bytes);
    header.directorySize = Format::MaxDirectorySize + 1;
    header.directoryCompressedSize = uint32_t(bytes.size()) - header.directoryOffset;
    ArchiveBuilder::WriteHeader(bytes, header);
    LogCapture::Get().Clear();
    Opened large(bytes);
    EXPECT_FALSE(large.ok);
    EXPECT_TRUE(Logged("[vqz] Directory of 67108865 bytes, beyond 64 MiB"));
}

// An entry may declare up to about 1032 times its stream, and one stream may be listed
// under many names: each entry inflates to at most MaxEntryBytes and all of them together
// hold at most MaxHeldBytes, so reading them cannot exhaust memory.
TEST(VQZ, InflatedBytesStayWithinTheEntryAndArchiveLimits)
{
    // 300 KiB of stream declaring 300 MiB: plausible for deflate, beyond the entry limit.
    std::string random(300u << 10, '\0');
    uint32_t state = 7;
    for (char& c : random)
        c = char((state = state * 1103515245u + 12345u) >> 24);
    const Bytes noise = ArchiveBuilder::Stored(random);
    // 240 MiB of zeros in a small stream, listed under five names.
    const uint32_t big = 240u << 20;
    Bytes zeros(compressBound(big));
    {
        const std::vector<uint8_t> plain(big, 0);
        uLongf length = uLongf(zeros.size());
        ASSERT_EQ(compress2(zeros.data(), &length, plain.data(), big, 1), Z_OK); // level 1: quick for a test
        zeros.resize(length);
        Format::MaskStream(zeros.data(), uint32_t(zeros.size()));
    }
    std::vector<uint32_t> offsets;
    std::string directory = "huge.bin 32 " + std::to_string(noise.size()) + " " + std::to_string(300u << 20) + "\n";
    ArchiveBuilder::Assemble({noise, zeros}, directory, &offsets);
    for (int i = 0; i < 5; ++i)
        directory += ArchiveBuilder::Line("zeros" + std::to_string(i), offsets[1], uint32_t(zeros.size()), big);
    const Bytes bytes = ArchiveBuilder::Assemble({noise, zeros}, directory);

    LogCapture::Get().Clear();
    Opened opened(bytes);
    ASSERT_TRUE(opened.ok);
    uint32_t size = 0;
    EXPECT_EQ(opened.archive.ReadInPlace("huge.bin", &size), nullptr);
    EXPECT_TRUE(Logged("[vqz] Entry 'huge.bin' inflates to 314572800 bytes, beyond the 256 MiB an entry may hold"));
    EXPECT_EQ(opened.archive.GetHeldBytes(), 0u);

    for (int i = 0; i < 4; ++i)
    {
        const uint8_t* data = opened.archive.ReadInPlace(("zeros" + std::to_string(i)).c_str(), &size);
        ASSERT_NE(data, nullptr) << i;
        EXPECT_EQ(size, big);
        EXPECT_EQ(data[big / 2], 0);
    }
    EXPECT_LE(opened.archive.GetHeldBytes(), VQZ::MaxHeldBytes);
    char first = 1;
    EXPECT_FALSE(opened.archive.Read("zeros4", &first, 1));
    EXPECT_EQ(first, 1);
    EXPECT_TRUE(Logged("[vqz] Entry 'zeros4' of 251658240 bytes passes the 1024 MiB the archive's entries may hold "
                       "together"));
    // Entries already read stay readable.
    EXPECT_TRUE(opened.archive.Read("zeros0", &first, 1));
    EXPECT_EQ(first, 0);
}

// Whole-entry readers borrow the block the archive keeps: no second copy of the entry.
TEST(VQZ, ReadInPlaceLendsTheKeptBlock)
{
    Opened opened(ArchiveBuilder::Build({{"a.txt", "alpha"}, {"b.txt", ""}}));
    ASSERT_TRUE(opened.ok);
    uint32_t size = 0;
    const uint8_t* data = opened.archive.ReadInPlace("a.txt", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(reinterpret_cast<const char*>(data), "alpha"); // terminated
    EXPECT_EQ(opened.archive.ReadInPlace("a.txt", &size), data);
    EXPECT_EQ(ReadEntry(opened.archive, "a.txt"), "alpha");
    data = opened.archive.ReadInPlace("b.txt", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(opened.archive.ReadInPlace("c.txt", &size), nullptr);
    EXPECT_EQ(size, 0u);
}

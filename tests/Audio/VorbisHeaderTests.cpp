// Damaged Ogg Vorbis headers: the clip loader refuses them with the decoder's error, and
// the decoder neither writes past what it allocated, frees what it did not, loops over
// lengths the file cannot hold, leaks a codebook's tables, sorts an unbounded number of
// codebook entries nor makes value tables larger than the file or an int can hold.
#include "Audio/Renderer.h"

#include "ClipFixtures.h"
#include "LogCapture.h"
#include "OggBuilder.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivet::Audio::Renderer;
using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{
class VorbisHeaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LogCapture::Get().Clear();
        ASSERT_TRUE(AddFixture(archive, "a.ogg")) << FixturePath("a.ogg");
        original = OggVorbis::Split(archive.entries["a.ogg"]);
        ASSERT_FALSE(original.setup.empty()) << "a.ogg's headers end on a page boundary";
    }

    // Loads name as the only clip: the decoder's error code from the loader's line, or
    // -1 when the clip loaded.
    int LoadError(const std::string& name, const std::string& file)
    {
        archive.entries[name] = file;
        LogCapture::Get().Clear();
        Renderer renderer;
        renderer.sampleRate = 44100;
        const bool loaded = renderer.LoadClip(&archive, String(name.c_str()), 0.0f);
        renderer.Unload();
        if (loaded)
            return -1;
        const std::string prefix = "stb_vorbis_open_memory returned NULL on '" + name + "': ";
        for (const LogCapture::Line& line : LogCapture::Get().Lines(Log::LevelError))
        {
            if (line.text.compare(0, prefix.size(), prefix) == 0)
                return std::stoi(line.text.substr(prefix.size()));
        }
        ADD_FAILURE() << "no decoder line for " << name;
        return -2;
    }

    std::string WithComments(const VorbisComments& comments) const
    {
        OggVorbis file = original;
        file.comment = comments.Packet();
        return file.Join();
    }

    std::string WithSetup(const VorbisBits& bits) const
    {
        OggVorbis file = original;
        file.setup = bits.SetupPacket();
        return file.Join();
    }

    MemoryArchive archive;
    OggVorbis original;
};

// The sync pattern, dimensions and entry count of a codebook's header.
VorbisBits& Codebook(VorbisBits& bits, uint32_t dimensions, uint32_t entries)
{
    return bits.Put(0x564342, 24).Put(dimensions, 16).Put(entries, 24);
}

TEST_F(VorbisHeaderTest, TheRebuiltFileAndHonestCommentsStillLoad)
{
    EXPECT_EQ(LoadError("same.ogg", original.Join()), -1);
    VorbisComments comments;
    comments.count = 2;
    comments.comments = {{5, "A=one"}, {0, ""}};
    EXPECT_EQ(LoadError("comments.ogg", WithComments(comments)), -1);
}

TEST_F(VorbisHeaderTest, CommentLengthsAndCountsBeyondThePacketAreRefused)
{
    struct Case
    {
        const char* name;
        VorbisComments comments;
    };
    VorbisComments wrap; // 8 * 0x20000001 wraps to an 8-byte list the loop writes past
    wrap.count = 0x20000001;
    wrap.comments = {{1, "a"}, {1, "b"}, {1, "c"}, {1, "d"}};
    VorbisComments noList; // the list's allocation fails: the clean-up read a null list
    noList.count = 0x10000000;
    VorbisComments noComment; // a comment's allocation fails: the clean-up freed unset pointers
    noComment.count = 3;
    noComment.comments = {{1, "a"}, {0x7FFFFFFF, "b"}};
    VorbisComments longVendor; // 2 GB of vendor in a small file: a loop over every byte
    longVendor.vendorLength = 0x7FFFFF00;
    VorbisComments longComment;
    longComment.count = 1;
    longComment.comments = {{0x40000000, "x"}};
    VorbisComments manyShort; // 4 bytes per comment at least: 100 do not fit in 40 bytes
    manyShort.count = 100;
    manyShort.comments = {{0, ""}, {0, ""}};
    const Case cases[] = {
        {"wrap.ogg", wrap},
        {"no-list.ogg", noList},
        {"no-comment.ogg", noComment},
        {"long-vendor.ogg", longVendor},
        {"long-comment.ogg", longComment},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadError(c.name, WithComments(c.comments)), VORBIS_invalid_setup) << c.name;

    // Only the comment header itself, as a file of 144 bytes or so.
    OggVorbis small = original;
    small.comment = longVendor.Packet();
    small.setup.clear();
    small.audio.clear();
    const std::string tiny = OggPage({small.identification}, 1, 0, 0x02, 0) + OggPage({small.comment}, 1, 1, 0, 0);
    EXPECT_LT(tiny.size(), 160u);
    EXPECT_EQ(LoadError("tiny.ogg", tiny), VORBIS_invalid_setup);
}

TEST_F(VorbisHeaderTest, ASparseCodebookErrorFreesItsTables)
{
    // One sparse codebook whose single entry has the refused length 32: the decoder fails
    // there; the leak check at exit shows whether its temporary lengths were freed.
    VorbisBits bits;
    bits.Put(0, 8); // one codebook
    Codebook(bits, 1, 1).Put(0, 1).Put(1, 1).Put(1, 1).Put(31, 5);
    EXPECT_EQ(LoadError("sparse.ogg", WithSetup(bits)), VORBIS_invalid_setup);

    // The same through a table that fails to build (an over-full tree of three length-1
    // codes), after the temporary codeword and value tables exist.
    VorbisBits overfull;
    overfull.Put(0, 8);
    Codebook(overfull, 1, 8).Put(0, 1).Put(1, 1);
    for (int entry = 0; entry < 8; ++entry)
    {
        const bool present = entry < 3;
        overfull.Put(present, 1);
        if (present)
            overfull.Put(0, 5);
    }
    EXPECT_EQ(LoadError("overfull.ogg", WithSetup(overfull)), VORBIS_invalid_setup);
}

TEST_F(VorbisHeaderTest, CodebookEntriesAreBoundedBeforeTheirTables)
{
    // With a 256 KB work area the tables of 2^20 entries cannot be allocated; one entry
    // more is refused before any allocation.
    struct Case
    {
        std::vector<uint32_t> entries; // one codebook each
        int error;
    };
    const Case cases[] = {
        {{1u << 20}, VORBIS_outofmem},
        {{(1u << 20) + 1}, VORBIS_invalid_setup},
        {{0xFFFFFF}, VORBIS_invalid_setup},
    };
    std::vector<char> area(256 * 1024);
    for (const Case& c : cases)
    {
        VorbisBits bits;
        bits.Put(uint32_t(c.entries.size() - 1), 8);
        for (uint32_t entries : c.entries)
            Codebook(bits, 1, entries).Put(1, 1).Put(23, 5);
        const std::string file = WithSetup(bits);
        stb_vorbis_alloc alloc = {area.data(), int(area.size())};
        int error = 0;
        stb_vorbis* vorbis = stb_vorbis_open_memory(reinterpret_cast<const unsigned char*>(file.data()),
                                                    int(file.size()), &error, &alloc);
        EXPECT_EQ(vorbis, nullptr);
        EXPECT_EQ(error, c.error) << c.entries[0];
        if (vorbis)
            stb_vorbis_close(vorbis);
    }
}

TEST_F(VorbisHeaderTest, CodebookValueTablesAreBoundedBeforeTheyAreMade)
{
    // One ordered codebook of 2^lengthBits entries all of that length (a full tree), with a
    // lookup table of one 1-bit value (type 1) or of entries x dimensions 16-bit values
    // (type 2). 32768 x 32768 floats sized the expanded table through an int that wrapped
    // to 0, then wrote 4 GB into it; 2^24 values of 16 bits cannot be in a small file.
    struct Case
    {
        const char* what;
        uint32_t dimensions;
        int lengthBits;
        uint32_t lookupType;
    };
    const Case cases[] = {
        {"expanded table past an int", 32768, 15, 1},
        {"values beyond the file", 32768, 9, 2},
    };
    std::vector<char> area(4 << 20);
    for (const Case& c : cases)
    {
        const uint32_t entries = 1u << c.lengthBits;
        VorbisBits bits;
        bits.Put(0, 8); // one codebook
        Codebook(bits, c.dimensions, entries).Put(1, 1).Put(uint32_t(c.lengthBits - 1), 5);
        bits.Put(entries, c.lengthBits + 1); // one run of every entry
        bits.Put(c.lookupType, 4).Put(0, 32).Put(0, 32);
        if (c.lookupType == 1)
            bits.Put(0, 4).Put(0, 1).Put(0, 1);
        else
            bits.Put(15, 4).Put(0, 1).Put(0, 16);
        const std::string file = WithSetup(bits);
        stb_vorbis_alloc alloc = {area.data(), int(area.size())};
        int error = 0;
        stb_vorbis* vorbis = stb_vorbis_open_memory(reinterpret_cast<const unsigned char*>(file.data()),
                                                    int(file.size()), &error, &alloc);
        EXPECT_EQ(vorbis, nullptr) << c.what;
        EXPECT_EQ(error, VORBIS_invalid_setup) << c.what;
        if (vorbis)
            stb_vorbis_close(vorbis);
    }
}
} // namespace

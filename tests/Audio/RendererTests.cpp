// Clip renderer: loading from the description, decoded lengths, clip starts inside a
// mix, overlaps, seeking and the failures of broken files.
#include "Audio/Renderer.h"

#include "ClipFixtures.h"
#include "LogCapture.h"
#include "OggBuilder.h"
#include "Utility/Archive/EntryBytes.h"
#include "Utility/Archive/VQZ.h"
#include "Utility/FileSystem/MemoryFile.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
#include <dr_mp3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

using Brivet::Audio::Renderer;
using Brivet::Base::String;
using Brivet::Utility::Log;
using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace
{
constexpr uint32_t Rate = 44100;
const char* const Fixtures[] = {"a.ogg", "b.mp3", "c.ogg"};

// Interleaved stereo of the whole file, straight from the decoder libraries.
std::vector<float> Decode(const std::string& bytes)
{
    std::vector<float> out;
    if (bytes.size() >= 4 && memcmp(bytes.data(), "OggS", 4) == 0)
    {
        int error = 0;
        stb_vorbis* vorbis = stb_vorbis_open_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                    static_cast<int>(bytes.size()), &error, nullptr);
        if (!vorbis)
            return out;
        float block[2 * 1024];
        int n;
        while ((n = stb_vorbis_get_samples_float_interleaved(vorbis, 2, block, 2 * 1024)) > 0)
            out.insert(out.end(), block, block + 2 * n);
        stb_vorbis_close(vorbis);
    }
    else
    {
        drmp3_config config = {};
        drmp3_uint64 frames = 0;
        float* pcm = drmp3_open_memory_and_read_pcm_frames_f32(bytes.data(), bytes.size(), &config, &frames, nullptr);
        if (!pcm || config.channels != 2)
            return out;
        out.assign(pcm, pcm + 2 * frames);
        drmp3_free(pcm, nullptr);
    }
    return out;
}

struct Placement
{
    const char* name;
    uint32_t startFrame;
};

class RendererTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LogCapture::Get().Clear();
        renderer.sampleRate = Rate;
        for (const char* name : Fixtures)
        {
            ASSERT_TRUE(AddFixture(archive, name)) << FixturePath(name);
            reference[name] = Decode(archive.entries[name]);
            ASSERT_FALSE(reference[name].empty()) << name;
        }
    }

    uint32_t Frames(const char* name) { return static_cast<uint32_t>(reference[name].size() / 2); }

    void Place(const std::vector<Placement>& placements)
    {
        for (const Placement& placement : placements)
            ASSERT_TRUE(renderer.LoadClip(&archive, String(placement.name), static_cast<float>(placement.startFrame) / Rate));
    }

    // What the clips must produce: silence, and each clip in list order over the earlier
    // ones for as long as it lasts.
    std::vector<float> Expected(const std::vector<Placement>& placements, uint32_t from, uint32_t frames)
    {
        std::vector<float> out(2 * size_t(frames), 0.0f);
        for (const Placement& placement : placements)
        {
            const std::vector<float>& clip = reference[placement.name];
            for (uint32_t k = 0; k < Frames(placement.name); ++k)
            {
                const uint64_t t = uint64_t(placement.startFrame) + k;
                if (t < from || t >= uint64_t(from) + frames)
                    continue;
                out[2 * (t - from)] = clip[2 * k];
                out[2 * (t - from) + 1] = clip[2 * k + 1];
            }
        }
        return out;
    }

    // Mixes frames in calls of at most piece frames into a buffer that starts as NaN,
    // so that a frame Mix leaves unwritten shows.
    std::vector<float> MixInPieces(uint32_t frames, uint32_t piece)
    {
        std::vector<float> out(2 * size_t(frames), std::numeric_limits<float>::quiet_NaN());
        for (uint32_t done = 0; done < frames;)
        {
            const uint32_t n = std::min(piece, frames - done);
            renderer.Mix(out.data() + 2 * size_t(done), n);
            done += n;
        }
        return out;
    }

    MemoryArchive archive;
    Renderer renderer;
    std::map<std::string, std::vector<float>> reference;
};

// Index of the first frame where a and b differ bitwise (NaN never matches), or -1.
int64_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (!(a[i] == b[i]))
            return int64_t(i / 2);
    }
    return -1;
}

Node Parse(Document& document, const char* text)
{
    EXPECT_TRUE(document.Load(text));
    return Node(document.GetHandle()->document_element(), &document);
}

std::vector<std::string> ErrorTexts()
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(Log::LevelError))
        texts.push_back(line.text);
    return texts;
}
} // namespace

TEST_F(RendererTest, LoadReadsEveryClipWithItsTypeStartAndDuration)
{
    Document document;
    const Node audio = Parse(document,
        "<audio>"
        "<clip filename='a.ogg' position='0'/>"
        "<clip filename='b.mp3' position='0.5'/>"
        "<clip filename='c.ogg'/>"
        "<clip filename='a.ogg' position='-2'/>"
        "<clip filename='c.ogg' position='10'/>"
        "<other filename='missing.ogg'/>"
        "</audio>");
    ASSERT_TRUE(renderer.Load(&archive, audio));

    struct Row
    {
        const char* name;
        uint32_t type;
        float position;
        uint32_t startSample;
    };
    const Row rows[] = {
        {"a.ogg", Renderer::Clip::TypeVorbis, 0.0f, 0},
        {"b.mp3", Renderer::Clip::TypeMP3, 0.5f, 22050},
        {"c.ogg", Renderer::Clip::TypeVorbis, 0.0f, 0}, // no "position": 0
        {"a.ogg", Renderer::Clip::TypeVorbis, -2.0f, 0}, // negative: clamped to the first frame
        {"c.ogg", Renderer::Clip::TypeVorbis, 10.0f, 441000},
    };
    ASSERT_EQ(renderer.clips.GetCount(), std::size(rows));
    for (uint32_t i = 0; i < std::size(rows); ++i)
    {
        const Renderer::Clip& clip = renderer.clips[i];
        SCOPED_TRACE(i);
        EXPECT_STREQ(clip.name.GetText(), rows[i].name);
        EXPECT_EQ(clip.type, rows[i].type);
        EXPECT_EQ(clip.position, rows[i].position);
        EXPECT_EQ(clip.startSample, rows[i].startSample);
        EXPECT_EQ(clip.file->GetSize(), archive.entries[rows[i].name].size());
        EXPECT_FLOAT_EQ(clip.duration, float(Frames(rows[i].name)) / float(Rate));
    }
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

// From a VQZ a clip is decoded from the block the archive keeps for the entry (a large
// clip is not held twice) and plays as from any other archive.
TEST_F(RendererTest, ClipsOfAVqzArchiveAreDecodedFromItsOwnBlock)
{
    Brivet::Utility::Archive::VQZ vqz;
    for (const char* name : {"a.ogg", "b.mp3"})
    {
        const std::string& bytes = archive.entries[name];
        Brivet::Utility::FileSystem::MemoryFile source(bytes.data(), uint32_t(bytes.size()));
        ASSERT_TRUE(vqz.Write(name, &source));
        ASSERT_TRUE(renderer.LoadClip(&vqz, String(name), 0.0f));
        uint32_t size = 0;
        EXPECT_EQ(renderer.clips[renderer.clips.GetCount() - 1].file->GetData(), vqz.ReadInPlace(name, &size)) << name;
    }
    const uint32_t frames = std::max(Frames("a.ogg"), Frames("b.mp3"));
    EXPECT_EQ(FirstDifference(MixInPieces(frames, 4096), Expected({{"a.ogg", 0}, {"b.mp3", 0}}, 0, frames)), -1);
    renderer.Unload();
}

// The clip with the granule position of its last page set to granule (checksum mended):
// what stb_vorbis reads as the stream's length.
std::string WithLastGranule(std::string ogg, uint64_t granule)
{
    const size_t page = ogg.rfind("OggS");
    for (int i = 0; i < 8; ++i)
        ogg[page + 6 + i] = char(granule >> (8 * i));
    for (int i = 0; i < 4; ++i)
        ogg[page + 22 + i] = 0;
    const uint32_t crc = OggChecksum(ogg.substr(page));
    for (int i = 0; i < 4; ++i)
        ogg[page + 22 + i] = char(crc >> (8 * i));
    return ogg;
}

// A position of "inf" or "1e30", or a header that claims a day of music, would keep the
// demo from ever ending: each is cut to the clip limit with one warning.
TEST_F(RendererTest, PositionsAndLengthsStayWithinTheClipLimit)
{
    archive.entries["long.ogg"] = WithLastGranule(archive.entries["a.ogg"], uint64_t(1) << 40);
    constexpr float Max = Renderer::MaxClipSeconds;
    struct Row
    {
        const char* clip;
        float position;
        float duration;
        bool warns;
    };
    const Row rows[] = {
        {"<clip filename='a.ogg' position='inf'/>", Max, 1.0f, true},
        {"<clip filename='b.mp3' position='1e30'/>", Max, Frames("b.mp3") / float(Rate), true},
        {"<clip filename='b.mp3' position='1e10'/>", Max, Frames("b.mp3") / float(Rate), true},
        {"<clip filename='a.ogg' position='-inf'/>", -Max, 1.0f, true},
        {"<clip filename='a.ogg' position='nan'/>", 0.0f, 1.0f, true},
        {"<clip filename='a.ogg' position='3600'/>", Max, 1.0f, false},
        {"<clip filename='long.ogg' position='1'/>", 1.0f, Max, true},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.clip);
        LogCapture::Get().Clear();
        Document document;
        ASSERT_TRUE(renderer.Load(&archive, Parse(document, (std::string("<audio>") + row.clip + "</audio>").c_str())));
        ASSERT_EQ(renderer.clips.GetCount(), 1u);
        const Renderer::Clip& clip = renderer.clips[0];
        EXPECT_EQ(clip.position, row.position);
        EXPECT_EQ(clip.startSample, row.position > 0 ? uint32_t(row.position * Rate) : 0u);
        EXPECT_FLOAT_EQ(clip.duration, row.duration);
        EXPECT_EQ(LogCapture::Get().Lines(Log::LevelWarning).size(), row.warns ? 1u : 0u);
        EXPECT_TRUE(renderer.Unload());
    }
}

TEST_F(RendererTest, DecodedLengths)
{
    // The Vorbis clips keep their exact lengths; lame adds its encoder delay and pads
    // to whole MP3 frames of 1152.
    EXPECT_EQ(Frames("a.ogg"), 44100u);
    EXPECT_EQ(Frames("c.ogg"), 11025u);
    EXPECT_EQ(Frames("b.mp3") % 1152, 0u);
    EXPECT_GE(Frames("b.mp3"), 22050u);
    EXPECT_LE(Frames("b.mp3"), 22050u + 3 * 1152);

    // A clip mixed past its end delivers exactly its frames, then silence.
    for (const char* name : Fixtures)
    {
        SCOPED_TRACE(name);
        renderer.Unload();
        renderer.framesMixed = 0;
        Place({{name, 0}});
        const uint32_t frames = Frames(name) + 5000;
        const std::vector<float> mixed = MixInPieces(frames, 4096);
        EXPECT_EQ(FirstDifference(mixed, Expected({{name, 0}}, 0, frames)), -1);
        // Sound up to the end (the last MP3 frames are lame's padding).
        const auto tail = mixed.begin() + 2 * (Frames(name) - 4000);
        EXPECT_TRUE(std::any_of(tail, tail + 2 * 4000, [](float v) { return v != 0.0f; }));
        EXPECT_EQ(renderer.framesMixed, frames);
    }
}

TEST_F(RendererTest, ClipsStartAtTheirFrameWhateverTheMixCalls)
{
    // a.ogg from 0 to 1 s, silence, b.mp3 from 2 s (a frame inside most calls), c.ogg
    // starting inside b.mp3: c wins while it lasts, then b goes on from where its
    // decoder has been advanced to.
    const std::vector<Placement> placements = {
        {"a.ogg", 0},
        {"b.mp3", 2 * Rate + 17},
        {"c.ogg", 2 * Rate + 17 + 3001},
    };
    Place(placements);
    const uint32_t frames = 3 * Rate;
    const std::vector<float> expected = Expected(placements, 0, frames);

    // Silence before the first and between the clips, and a frame that only the later
    // clip can have written.
    ASSERT_EQ(expected[2 * (Rate + 10)], 0.0f);
    ASSERT_EQ(expected[2 * (2 * Rate + 16)], 0.0f);

    const uint32_t pieces[] = {frames, 10000, 4093, 1};
    for (uint32_t piece : pieces)
    {
        SCOPED_TRACE(piece);
        renderer.framesMixed = 0;
        renderer.Seek(0);
        const std::vector<float> mixed = MixInPieces(frames, piece);
        EXPECT_EQ(FirstDifference(mixed, expected), -1);
        EXPECT_EQ(renderer.framesMixed, frames);
    }
}

TEST_F(RendererTest, LaterClipWinsWhereClipsOverlap)
{
    // Both start at 0.1 s inside one call: the second in list order is heard for all
    // its frames, the first only after the second has ended.
    const std::vector<Placement> placements = {{"a.ogg", 4410}, {"c.ogg", 4410}};
    Place(placements);
    const std::vector<float> mixed = MixInPieces(Rate + 10000, Rate + 10000);
    const std::vector<float> expected = Expected(placements, 0, Rate + 10000);
    EXPECT_EQ(FirstDifference(mixed, expected), -1);
    const std::vector<float>& a = reference["a.ogg"];
    const std::vector<float>& c = reference["c.ogg"];
    EXPECT_EQ(mixed[2 * (4410 + 100)], c[2 * 100]);
    EXPECT_EQ(mixed[2 * (4410 + 11025 + 100)], a[2 * (11025 + 100)]);
}

TEST_F(RendererTest, SeekPositionsEveryClipForTheTimelineFrame)
{
    const std::vector<Placement> placements = {{"a.ogg", 0}, {"b.mp3", Rate}};
    Place(placements);

    // From inside the first clip (the second not yet started, so not advanced), and
    // from inside the second.
    const uint32_t starts[] = {Rate / 2 + 17, Rate + 5000};
    for (uint32_t start : starts)
    {
        SCOPED_TRACE(start);
        renderer.startFrame = start;
        renderer.framesMixed = 0;
        renderer.Seek(start);
        EXPECT_EQ(FirstDifference(MixInPieces(Rate, 4096), Expected(placements, start, Rate)), -1);
    }

    // Seek to 0 puts every decoder back at its first frame.
    renderer.startFrame = 0;
    renderer.framesMixed = 0;
    renderer.Seek(0);
    EXPECT_EQ(FirstDifference(MixInPieces(2 * Rate + 3000, 4096), Expected(placements, 0, 2 * Rate + 3000)), -1);
}

TEST_F(RendererTest, NoClipsMixesSilenceAndAdvances)
{
    Document document;
    EXPECT_TRUE(renderer.Load(&archive, Node()));
    EXPECT_TRUE(renderer.Load(&archive, Parse(document, "<audio/>")));
    EXPECT_EQ(renderer.clips.GetCount(), 0u);
    EXPECT_EQ(FirstDifference(MixInPieces(1000, 300), std::vector<float>(2000, 0.0f)), -1);
    EXPECT_EQ(renderer.framesMixed, 1000u);
    EXPECT_TRUE(renderer.Unload());
}

TEST_F(RendererTest, BrokenFilesFailWithTheirLines)
{
    std::string corruptOgg = "OggS";
    corruptOgg += std::string(200, '\x5a');
    int vorbisError = 0;
    stb_vorbis* accepted = stb_vorbis_open_memory(reinterpret_cast<const unsigned char*>(corruptOgg.data()), int(corruptOgg.size()), &vorbisError, nullptr);
    ASSERT_EQ(accepted, nullptr);

    archive.entries["corrupt.ogg"] = corruptOgg;
    archive.entries["garbage.mp3"] = std::string(3000, '#') + "no frame in here";
    archive.entries["tiny.ogg"] = std::string("Ogg"); // shorter than the type test
    archive.entries["one.bin"] = std::string("O");
    archive.entries["empty.mp3"] = std::string();
    archive.entries["locked.ogg"] = archive.entries["a.ogg"];
    archive.MakeUnreadable("locked.ogg");

    struct Row
    {
        const char* name;
        std::vector<std::string> lines; // the clip loader's own lines, then the description's
    };
    const Row rows[] = {
        {"corrupt.ogg", {"stb_vorbis_open_memory returned NULL on 'corrupt.ogg': " + std::to_string(vorbisError)}},
        {"garbage.mp3", {}},
        {"tiny.ogg", {}},
        {"one.bin", {}},
        {"empty.mp3", {}},
        {"missing.ogg", {"[audio][renderer] Unable to find clip 'missing.ogg'"}},
        {"locked.ogg", {"[audio][renderer] Unable to read clip 'locked.ogg'"}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        LogCapture::Get().Clear();
        const std::string text = std::string("<audio><clip filename='a.ogg'/><clip filename='") + row.name + "'/><clip filename='c.ogg'/></audio>";
        Document document;
        EXPECT_FALSE(renderer.Load(&archive, Parse(document, text.c_str())));

        std::vector<std::string> lines = row.lines;
        lines.push_back(std::string("[demo] Unable to load audio clip '") + row.name + "'");
        EXPECT_EQ(ErrorTexts(), lines);
        // The clip before the broken one stays, the one after it is not loaded.
        ASSERT_EQ(renderer.clips.GetCount(), 1u);
        EXPECT_STREQ(renderer.clips[0].name.GetText(), "a.ogg");
        EXPECT_TRUE(renderer.Unload());
        EXPECT_EQ(renderer.clips.GetCount(), 0u);
    }
    EXPECT_TRUE(renderer.Unload());
}

// libFuzzer harness: the clip loader on arbitrary bytes from a memory archive, then a
// seek and a mix, as the player runs a clip. The first input byte picks the seek frame
// (times 4096); the rest is the clip file, which lies alone on the heap at its exact
// size, so a read past its end is caught.
#include "FuzzCheck.h"
#include "Audio/Renderer.h"

#include "MemoryArchive.h"
#include "OggBuilder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using Brivet::Audio::Renderer;
using Brivet::Base::String;

namespace
{

void WriteSeed(const char* folder, const char* name, const std::string& file)
{
    const std::string path = std::string(folder) + "/" + name;
    if (FILE* out = fopen(path.c_str(), "wb"))
    {
        fputc(1, out);
        fwrite(file.data(), 1, file.size(), out);
        fclose(out);
    }
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

constexpr uint32_t Frames = 3000;
std::vector<float> mix(2 * Frames);
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Damaged forms of the Ogg file BRIVET_FUZZ_OGG names, for the folder
    // BRIVET_FUZZ_SEEDS names (the script copies the whole test clips there).
    const char* folder = getenv("BRIVET_FUZZ_SEEDS");
    const char* ogg = getenv("BRIVET_FUZZ_OGG");
    if (!folder || !ogg)
        return 0;
    const OggVorbis original = OggVorbis::Split(ReadFile(ogg));
    if (original.setup.empty())
        return 0;
    OggVorbis file = original;
    VorbisComments comments;
    comments.count = 2;
    comments.comments = {{7, "TITLE=x"}, {0x20, "ARTIST=y"}};
    file.comment = comments.Packet();
    WriteSeed(folder, "comments", file.Join());
    file = original;
    file.audio = file.audio.substr(0, file.audio.size() / 3);
    WriteSeed(folder, "cut", file.Join());
    file = original;
    VorbisBits sparse;
    sparse.Put(0, 8).Put(0x564342, 24).Put(1, 16).Put(4, 24).Put(0, 1).Put(1, 1);
    for (int entry = 0; entry < 4; ++entry)
        sparse.Put(entry & 1, 1).Put(1, 5);
    file.setup = sparse.SetupPacket();
    WriteSeed(folder, "sparse-setup", file.Join());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 0x7FFFFFFF)
        return 0;
    MemoryArchive archive;
    archive.entries["clip"] = std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    Renderer renderer;
    renderer.sampleRate = 44100;
    if (renderer.LoadClip(&archive, String("clip"), 0.0f))
    {
        CHECK(renderer.clips.GetCount() == 1);
        CHECK(!(renderer.clips[0].duration < 0.0f));
        renderer.Seek(uint32_t(data[0]) * 4096);
        renderer.Mix(mix.data(), Frames);
        renderer.Seek(0);
        renderer.Mix(mix.data(), Frames);
    }
    renderer.Unload();
    return 0;
}

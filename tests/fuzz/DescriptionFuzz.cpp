// libFuzzer harness: the demo description "brivet.xml" from arbitrary bytes, read from a
// memory archive as the demo loads it: the parse, the properties, the preheat times,
// the audio clips (a few test clips lie in the archive under the names the seeds use),
// the demo length over them and the node count, then a seek and a short mix.
#include "FuzzCheck.h"
#include "DemoDescription.h"
#include "Utility/XML/Document.h"

#include "MemoryArchive.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Brivet;

namespace
{

MemoryArchive archive;
std::vector<float> mix(2 * 1024);

void WriteSeed(const char* folder, const char* name, const std::string& text)
{
    const std::string path = std::string(folder) + "/" + name;
    if (FILE* out = fopen(path.c_str(), "wb"))
    {
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The clips of the folder BRIVET_FUZZ_CLIPS names, and seed descriptions for the
    // folder BRIVET_FUZZ_SEEDS names.
    if (const char* clips = getenv("BRIVET_FUZZ_CLIPS"))
    {
        for (const char* name : {"a.ogg", "b.mp3", "c.ogg"})
            archive.AddFile(name, std::string(clips) + "/" + name);
    }
    if (const char* folder = getenv("BRIVET_FUZZ_SEEDS"))
    {
        WriteSeed(folder, "full.xml",
                  "<?xml version='1.0'?><brivet><properties name='Seed' loadingShader='loading.hlsl'/>"
                  "<preheat><marker>0.5</marker><marker>x</marker><marker>12</marker></preheat>"
                  "<audio><clip filename='a.ogg' position='0'/><clip filename='b.mp3' position='1.5'/>"
                  "<clip filename='c.ogg'/></audio>"
                  "<compositing><graph name='main'><node id='1' type='Clear'/><node id='2' type='resource'/>"
                  "</graph><graph/></compositing></brivet>");
        WriteSeed(folder, "small.xml", "<brivet><properties name='seed'/></brivet>");
        WriteSeed(folder, "missing-clip.xml", "<brivet><audio><clip filename='none.ogg'/></audio></brivet>");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    archive.entries[Description::FileName] = std::string(reinterpret_cast<const char*>(data), size);
    Utility::XML::Document document;
    if (!Description::LoadXml(&archive, document))
        return 0;
    Base::String name, loadingShader;
    Description::ReadProperties(Description::GetSection(document, "properties"), name, loadingShader);
    Base::Array<float> times;
    Description::LoadPreheatTimes(Description::GetSection(document, "preheat"), times);
    Audio::Renderer renderer;
    renderer.sampleRate = 44100;
    renderer.Load(&archive, Description::GetSection(document, "audio"));
    const float length = Description::GetLength(renderer.clips);
    CHECK(!(length < 0.0f));
    Description::CountNodes(Description::GetSection(document, "compositing"));
    renderer.Seek(0);
    renderer.Mix(mix.data(), 1024);
    renderer.Unload();
    return 0;
}

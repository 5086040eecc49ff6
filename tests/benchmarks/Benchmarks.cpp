// Speed of the engine's hot paths, each beside a bare baseline doing the same work with
// nothing of the engine around it, measured in one run: an archive entry read against
// zlib's uncompress of the same stream, a frame of a 100-node graph with nothing dirty
// against a bare walk over its parameters, spline evaluation against a bare linear
// interpolation of the same keys, and one second of music mixed against stb_vorbis
// decoding it. After the runs a table gives each pair's ratio (baseline time / engine
// time: 1 is as fast as the bare code) and, where there is one, the goal; the exit code
// is 1 when a goal was missed.
//
//   brivet_benchmarks --music FILE.ogg [Google Benchmark options]
#include "ArchiveBuilder.h"
#include "MemoryArchive.h"
#include "PortableFixture.h"

#include "Audio/Renderer.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/Archive/EntryBytes.h"
#include "Utility/Archive/VQZ.h"
#include "Utility/FileSystem/MemoryFile.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <benchmark/benchmark.h>
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Brivet::Utility::Archive::VQZ;
using Brivet::Utility::FileSystem::MemoryFile;

// -- Archive --------------------------------------------------------------------------

constexpr uint32_t EntryBytes = 32u << 20;

// 32 MiB of a description-like text: nodes with parameters and numbers that vary.
std::string XmlLikeText()
{
    std::string text = "<brivet><compositing><graph name=\"main\">\n";
    char line[512];
    for (uint32_t i = 0; text.size() < EntryBytes; ++i)
    {
        snprintf(line, sizeof(line),
                 "<node id=\"%u\" type=\"effect\" name=\"layer%u\" position=\"%u; %u\"><effect type=\"Layer2D\">"
                 "<parameter name=\"fLevel\"><value type=\"spline\"><clip start=\"%u\" length=\"%u\">"
                 "<key time=\"0\" value=\"%.4f\"/><key time=\"1.5\" interpolation=\"smoothstep\" value=\"%.4f\"/>"
                 "</clip></value></parameter></effect></node>\n",
                 i, i % 97, (i * 37) % 1000, (i * 91) % 700, i % 60, 1 + i % 7, (i % 1000) / 1000.0, (i % 333) / 333.0);
        text += line;
    }
    text.resize(EntryBytes);
    return text;
}

struct ArchiveFixture
{
    ArchiveFixture()
    {
        const std::string text = XmlLikeText();
        const ArchiveBuilder::Bytes bytes = ArchiveBuilder::Build({ { "brivet.xml", text } });
        file = new MemoryFile(bytes.data(), uint32_t(bytes.size()));
        // The same stream as the archive stores it, unmasked, for the bare read.
        stream = ArchiveBuilder::Stored(text);
        Brivet::Utility::Archive::VQZFormat::MaskStream(stream.data(), uint32_t(stream.size()));
    }
    ~ArchiveFixture() { delete file; }

    MemoryFile* file;
    ArchiveBuilder::Bytes stream;
};

ArchiveFixture& Archive()
{
    static ArchiveFixture fixture;
    return fixture;
}

// What a whole-entry reader of the demo does (the description, images, fonts): open the
// archive and read the entry, terminated, in the block the archive keeps for it.
void ArchiveRead(benchmark::State& state)
{
    ArchiveFixture& fixture = Archive();
    for (auto _ : state)
    {
        VQZ archive;
        if (!archive.Open(fixture.file))
            state.SkipWithError("the archive does not open");
        Brivet::Utility::Archive::EntryBytes text;
        if (!text.Read(archive, "brivet.xml") || text.GetSize() != EntryBytes)
            state.SkipWithError("the entry does not read");
        benchmark::DoNotOptimize(text.GetData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * EntryBytes);
}

// zlib alone: the same stream into a zeroed block of size + 1.
void ArchiveReadBare(benchmark::State& state)
{
    ArchiveFixture& fixture = Archive();
    for (auto _ : state)
    {
        char* text = static_cast<char*>(calloc(size_t(EntryBytes) + 1, 1));
        uLongf length = EntryBytes;
        if (uncompress(reinterpret_cast<Bytef*>(text), &length, fixture.stream.data(), uLong(fixture.stream.size())) !=
            Z_OK)
            state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(text);
        free(text);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * EntryBytes);
}

// zlib, then a copy into a second block: what a reader costs when the archive keeps the
// inflated entry for later reads, as this one does.
void ArchiveReadBareAndCopy(benchmark::State& state)
{
    ArchiveFixture& fixture = Archive();
    for (auto _ : state)
    {
        char* kept = static_cast<char*>(calloc(size_t(EntryBytes) + 1, 1));
        uLongf length = EntryBytes;
        if (uncompress(reinterpret_cast<Bytef*>(kept), &length, fixture.stream.data(), uLong(fixture.stream.size())) !=
            Z_OK)
            state.SkipWithError("uncompress failed");
        char* text = static_cast<char*>(calloc(size_t(EntryBytes) + 1, 1));
        memcpy(text, kept, EntryBytes);
        benchmark::DoNotOptimize(text);
        free(text);
        free(kept);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * EntryBytes);
}

// -- Graph ----------------------------------------------------------------------------

constexpr uint32_t GraphNodes = 100;

// 99 probe effects in a chain into the output node; each has a spline whose clip lies
// after the frame time and a constant, so nothing is animated at the time.
std::string QuietGraph()
{
    std::string xml = "<graph name=\"quiet\">";
    for (uint32_t id = 1; id < GraphNodes; ++id)
        xml += GraphText::Effect(id, "layer", GraphText::Animated("Value", 1000.0f, 10.0f));
    xml += "<node id=\"1000\" type=\"output\"/>";
    for (uint32_t id = 1; id + 1 < GraphNodes; ++id)
        xml += GraphText::Link(id, id + 1);
    xml += GraphText::Link(GraphNodes - 1, 1000);
    return xml + "</graph>";
}

void GraphFrame(benchmark::State& state)
{
    auto graph = PortableGraph::LoadGraph(QuietGraph());
    if (!graph || graph->nodes.GetCount() != GraphNodes)
    {
        state.SkipWithError("the graph does not load");
        return;
    }
    graph->Render(Brivet::RenderContext::ForTime(0.0f)); // the first pass renders everything
    PortableGraph::Renders().clear();
    float time = 1.0f;
    for (auto _ : state)
    {
        graph->Render(Brivet::RenderContext::ForTime(time));
        time = time < 600.0f ? time + 1.0f / 60.0f : 1.0f;
    }
    if (!PortableGraph::Renders().empty())
        state.SkipWithError("a node rendered");
}

// The least a pass can do: ask each effect's parameter whether it is animated.
void GraphFrameBare(benchmark::State& state)
{
    auto graph = PortableGraph::LoadGraph(QuietGraph());
    if (!graph)
    {
        state.SkipWithError("the graph does not load");
        return;
    }
    std::vector<Brivet::Parameters::IParameter*> parameters;
    for (uint32_t id = 1; id < GraphNodes; ++id)
        parameters.push_back(PortableGraph::EffectOf(*graph, id)->value);
    float time = 1.0f;
    for (auto _ : state)
    {
        bool dirty = false;
        for (Brivet::Parameters::IParameter* parameter : parameters)
            dirty |= parameter->IsAnimatedAt(time);
        benchmark::DoNotOptimize(dirty);
        time = time < 600.0f ? time + 1.0f / 60.0f : 1.0f;
    }
}

// -- Spline ---------------------------------------------------------------------------

constexpr uint32_t SplineKeys = 16;
constexpr float SplineLength = 60.0f;
constexpr uint32_t Samples = 1024; // evaluation times per iteration

float KeyValue(uint32_t i)
{
    return float((i * 7919) % 100) / 100.0f;
}

// One clip of 16 linear keys over a minute, as a description writes it.
std::string SplineXml()
{
    std::string xml = "<parameter name=\"Value\"><value type=\"spline\"><clip start=\"0\" length=\"60\">";
    char key[128];
    for (uint32_t i = 0; i < SplineKeys; ++i)
    {
        snprintf(key, sizeof(key), "<key time=\"%g\" interpolation=\"linear\" value=\"%g\"/>",
                 SplineLength * float(i) / float(SplineKeys - 1), KeyValue(i));
        xml += key;
    }
    return xml + "</clip></value></parameter>";
}

void SplineEvaluation(benchmark::State& state)
{
    Brivet::Utility::XML::Document document;
    Brivet::Parameters::Parameter<float> parameter(0.0f);
    if (!document.Load(SplineXml().c_str()) ||
        !parameter.Load(Brivet::Utility::XML::Node(document.GetHandle()->first_child(), &document)))
    {
        state.SkipWithError("the spline does not load");
        return;
    }
    for (auto _ : state)
    {
        float sum = 0.0f;
        for (uint32_t i = 0; i < Samples; ++i)
            sum += parameter.GetValue(SplineLength * float(i) / float(Samples));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Samples);
}

// The same keys in two arrays, searched and interpolated by hand.
void SplineEvaluationBare(benchmark::State& state)
{
    float times[SplineKeys];
    float values[SplineKeys];
    for (uint32_t i = 0; i < SplineKeys; ++i)
    {
        times[i] = SplineLength * float(i) / float(SplineKeys - 1);
        values[i] = KeyValue(i);
    }
    for (auto _ : state)
    {
        float sum = 0.0f;
        for (uint32_t i = 0; i < Samples; ++i)
        {
            const float t = SplineLength * float(i) / float(Samples);
            uint32_t k = 0;
            while (k + 2 < SplineKeys && times[k + 1] <= t)
                ++k;
            const float f = (t - times[k]) / (times[k + 1] - times[k]);
            sum += values[k] + (values[k + 1] - values[k]) * f;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Samples);
}

// -- Music ----------------------------------------------------------------------------

constexpr uint32_t SampleRate = 44100;
constexpr uint32_t Stretch = 4410; // frames per Mix call, a refill of the ring
constexpr uint32_t MixFrom = 4 * SampleRate; // where the arpeggio has joined the pad

std::string g_MusicPath;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void MixOneSecond(benchmark::State& state)
{
    MemoryArchive archive;
    archive.entries["music.ogg"] = ReadFile(g_MusicPath);
    Brivet::Audio::Renderer renderer;
    renderer.sampleRate = SampleRate;
    if (archive.entries["music.ogg"].empty() ||
        !renderer.LoadClip(&archive, Brivet::Base::String("music.ogg"), 0.0f))
    {
        state.SkipWithError("no music: pass --music FILE.ogg");
        return;
    }
    std::vector<float> ring(size_t(SampleRate) * 2);
    renderer.startFrame = MixFrom;
    for (auto _ : state)
    {
        state.PauseTiming(); // positioning is not mixing
        renderer.framesMixed = 0;
        renderer.Seek(MixFrom);
        state.ResumeTiming();
        for (uint32_t done = 0; done < SampleRate; done += Stretch)
            renderer.Mix(ring.data() + size_t(done) * 2, Stretch);
        benchmark::DoNotOptimize(ring.data());
    }
}

void MixOneSecondBare(benchmark::State& state)
{
    const std::string bytes = ReadFile(g_MusicPath);
    int error = 0;
    stb_vorbis* vorbis = bytes.empty() ? nullptr
                                       : stb_vorbis_open_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                                int(bytes.size()), &error, nullptr);
    if (!vorbis)
    {
        state.SkipWithError("no music: pass --music FILE.ogg");
        return;
    }
    std::vector<float> ring(size_t(SampleRate) * 2);
    for (auto _ : state)
    {
        state.PauseTiming();
        stb_vorbis_seek(vorbis, MixFrom);
        state.ResumeTiming();
        for (uint32_t done = 0; done < SampleRate; done += Stretch)
            stb_vorbis_get_samples_float_interleaved(vorbis, 2, ring.data() + size_t(done) * 2, int(Stretch * 2));
        benchmark::DoNotOptimize(ring.data());
    }
    stb_vorbis_close(vorbis);
}

BENCHMARK(ArchiveRead)->Name("archive read, 32 MiB XML entry")->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveReadBare)->Name("archive read, 32 MiB XML entry/bare")->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveReadBareAndCopy)->Name("archive read, 32 MiB XML entry/bare+copy")->Unit(benchmark::kMillisecond);
BENCHMARK(GraphFrame)->Name("graph frame, 100 nodes, nothing dirty")->Unit(benchmark::kMicrosecond);
BENCHMARK(GraphFrameBare)->Name("graph frame, 100 nodes, nothing dirty/bare")->Unit(benchmark::kMicrosecond);
BENCHMARK(SplineEvaluation)->Name("spline evaluation, 16 keys x 1024 times")->Unit(benchmark::kMicrosecond);
BENCHMARK(SplineEvaluationBare)->Name("spline evaluation, 16 keys x 1024 times/bare")->Unit(benchmark::kMicrosecond);
BENCHMARK(MixOneSecond)->Name("mix one second of music")->Unit(benchmark::kMillisecond);
BENCHMARK(MixOneSecondBare)->Name("mix one second of music/bare")->Unit(benchmark::kMillisecond);

// A goal: for a ratio (bare / engine at least minimum), or a CPU time per iteration in
// milliseconds (at most maximum).
struct Goal
{
    double minimumRatio = 0.0;
    double maximumMilliseconds = 0.0;
};

const std::map<std::string, Goal> Goals = {
    { "archive read, 32 MiB XML entry vs bare", Goal{ 0.9, 0.0 } },
    { "graph frame, 100 nodes, nothing dirty vs bare", Goal{ 0.0, 0.1 } },
};

// Prints the runs as the console does and keeps each one's CPU time per iteration.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            if (run.error_occurred || run.iterations == 0)
                continue;
            milliseconds[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations) * 1e3;
        }
    }

    // One line per engine benchmark and baseline ("name/baseline"); false when a goal
    // was missed.
    bool PrintRatios() const
    {
        bool met = true;
        printf("\n%-50s %11s %11s %6s  %s\n", "engine vs baseline (CPU per iteration)", "engine ms", "baseline ms",
               "ratio", "goal");
        for (const auto& [name, baselineTime] : milliseconds)
        {
            const size_t slash = name.rfind('/');
            if (slash == std::string::npos)
                continue;
            const auto engine = milliseconds.find(name.substr(0, slash));
            if (engine == milliseconds.end())
                continue;
            const std::string row = engine->first + " vs " + name.substr(slash + 1);
            const double time = engine->second;
            const double ratio = baselineTime / time;
            std::string goalText = "-";
            const auto goal = Goals.find(row);
            if (goal != Goals.end())
            {
                const bool byRatio = goal->second.minimumRatio > 0.0;
                const bool ok = byRatio ? ratio >= goal->second.minimumRatio : time < goal->second.maximumMilliseconds;
                char text[64];
                if (byRatio)
                    snprintf(text, sizeof(text), "ratio >= %.2f: %s", goal->second.minimumRatio, ok ? "met" : "MISSED");
                else
                    snprintf(text, sizeof(text), "< %.2f ms: %s", goal->second.maximumMilliseconds, ok ? "met" : "MISSED");
                goalText = text;
                met = met && ok;
            }
            printf("%-50s %11.4f %11.4f %6.2f  %s\n", row.c_str(), time, baselineTime, ratio, goalText.c_str());
        }
        return met;
    }

private:
    std::map<std::string, double> milliseconds;
};
} // namespace

int main(int argc, char** argv)
{
    // Our own option first; the rest is Google Benchmark's.
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i)
    {
        if (strcmp(argv[i], "--music") == 0 && i + 1 < argc)
            g_MusicPath = argv[++i];
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 2;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.PrintRatios() ? 0 : 1;
}

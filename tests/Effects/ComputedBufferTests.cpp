// ComputedBuffer on a real device: a compute pass fills the "buffer" output that a Layer2D
// shader reads back as colours, the dispatch covers the thread counts in whole groups,
// "gCounter" alone runs one thread and neither name runs none, and a disabled pass keeps
// the buffer as it was.
#include "EffectsFixture.h"

#include "Assets/Effect/IEffect.h"
#include "Compositing/INode.h"
#include "Compositing/NodeEffect.h"
#include "Parameters/Parameter.h"
#include "repository/Effects/ComputedBuffer.h"
#include "repository/Resources/Buffer.h"
#include "repository/Resources/ComputeShader.h"

#include "LogCapture.h"
#include "windows/DeviceFixture.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;

namespace
{
std::string Threads(int x, int y, int z)
{
    return ConstantParameter("Thread X", std::to_string(x)) + ConstantParameter("Thread Y", std::to_string(y)) +
           ConstantParameter("Thread Z", std::to_string(z));
}

// A compute node (101) on the compute shader file, with a buffer of size floats, and an
// output node fed by extra (nodes and connections).
std::string ComputeGraph(const std::string& file, uint32_t size, const std::string& parameters,
                         const std::string& extra = "")
{
    return "<graph name=\"compute\">"
           "<node id=\"1\" type=\"resource\" name=\"shader\"><file type=\"computeShader\" path=\"" +
           file +
           "\"/></node>"
           "<node id=\"101\" type=\"effect\" name=\"fill\"><effect type=\"ComputedBuffer\">" +
           parameters + "</effect><resource><buffer size=\"" + std::to_string(size) + "\"/></resource></node>" + extra +
           "<node id=\"999\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
           "<connection source=\"1\" target=\"101\" slot=\"Compute Shader\"/></graph>";
}

// The compute node feeds the output node, so that it renders into its own buffer (the output
// node draws only textures).
const std::string ToOutput = "<connection source=\"101\" target=\"999\"/>";

Buffer* OutputOf(Brivet::Compositing::Graph& graph, uint32_t id)
{
    IEffect* effect = EffectOf(graph, id);
    return effect ? static_cast<Buffer*>(effect->GetOutput()) : nullptr;
}

std::vector<float> Floats(Buffer* buffer)
{
    return buffer ? WindowsTest::ReadFloats(SharedDemo()->system, buffer->GetBuffer()) : std::vector<float>();
}

uint32_t Word(ID3D11Buffer* buffer)
{
    const std::vector<float> values = WindowsTest::ReadFloats(SharedDemo()->system, buffer);
    uint32_t word = 0xDEADBEEF;
    if (!values.empty())
        memcpy(&word, values.data(), sizeof(word));
    return word;
}

class ComputedBufferTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BRIVET_SKIP_WITHOUT_FULLER_HLSL();
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }
};
} // namespace

TEST_F(ComputedBufferTest, ComputedValuesReachALayerAsColours)
{
    // Element i holds i / 63; the layer shows column x as (v, 1 - v, 0) with v of element x.
    Archive().entries["ramp.csh"] =
        "/*\n<metadata><input>fGain</input></metadata>\n*/\n"
        "cbuffer constants { float3 v3ThreadSizes; float fGain; };\n"
        "RWBuffer<float> gOutput;\n"
        "[numthreads(8, 1, 1)]\n"
        "void main(uint3 id : SV_DispatchThreadID) { gOutput[id.x] = id.x / 63.0 * fGain; }\n";
    Archive().entries["show.fx"] =
        LayerShader("<input>bufValues</input><passes><pass name=\"main\" vs=\"vs_main\" ps=\"ps_main\"/></passes>",
                    "Buffer<float> bufValues;\n"
                    "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
                    "  float v = bufValues[(uint)(In.Tex.x * 64.0)];\n"
                    "  return float4(v, 1.0 - v, 0, 1); }");
    const std::string layer = "<node id=\"2\" type=\"resource\" name=\"layer shader\"><file type=\"effect\" "
                              "path=\"show.fx\"/></node>"
                              "<node id=\"102\" type=\"effect\" name=\"show\"><effect type=\"Layer2D\"/></node>"
                              "<connection source=\"2\" target=\"102\" slot=\"Shader\"/>"
                              "<connection source=\"101\" target=\"102\" slot=\"bufValues\"/>"
                              "<connection source=\"101\" target=\"102\" slot=\"Material Shader\"/>"
                              "<connection source=\"102\" target=\"999\"/>";
    auto graph = LoadGraph(ComputeGraph("ramp.csh", 64, Threads(64, 1, 1) + ConstantParameter("fGain", "1"), layer));
    ASSERT_NE(graph, nullptr);

    IEffect* fill = EffectOf(*graph, 101);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->outputTypeName.GetHashLower(), StaticString<64>("buffer").GetHashLower());
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(EffectOf(*graph, 102)->inputs.Find(StaticString<64>("bufValues"), &input));
    EXPECT_EQ(input->bound, fill->GetOutput()); // a buffer fits a "shaderresource" input
    EXPECT_TRUE(LogLinesContaining("left unbound").empty());

    ClearBackBuffer(Rgba(10, 20, 200));
    Render(*graph, 0.0f);
    const std::vector<float> values = Floats(OutputOf(*graph, 101));
    ASSERT_EQ(values.size(), 64u);
    for (uint32_t i = 0; i < 64; ++i)
        EXPECT_FLOAT_EQ(values[i], i / 63.0f) << i;

    const std::vector<uint32_t> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    for (uint32_t x = 0; x < Width; ++x)
    {
        const float v = x / 63.0f;
        const uint32_t expected = RgbaOf(v, 1.0f - v, 0.0f);
        for (uint32_t y : {0u, Height / 2, Height - 1})
            EXPECT_TRUE(SameColour(pixels[y * Width + x], expected))
                << "(" << x << ", " << y << "): " << ColourText(pixels[y * Width + x]) << ", expected "
                << ColourText(expected);
    }
}

TEST_F(ComputedBufferTest, DispatchCoversTheThreadCountsInWholeGroups)
{
    // Every thread marks its own element after the first three, which hold "v3ThreadSizes".
    Archive().entries["groups.csh"] = "cbuffer constants { float3 v3ThreadSizes; };\n"
                                      "RWBuffer<float> gOutput;\n"
                                      "[numthreads(8, 8, 1)]\n"
                                      "void main(uint3 id : SV_DispatchThreadID) {\n"
                                      "  uint w = (uint)v3ThreadSizes.x; uint h = (uint)v3ThreadSizes.y;\n"
                                      "  gOutput[3 + (id.z * h + id.y) * w + id.x] = 1.0 + 0.0 * id.x;\n"
                                      "  if (id.x + id.y + id.z == 0) {\n"
                                      "    gOutput[0] = v3ThreadSizes.x; gOutput[1] = v3ThreadSizes.y;\n"
                                      "    gOutput[2] = v3ThreadSizes.z; } }\n";
    const struct
    {
        int x, y, z;
        float runX, runY, runZ;
    } cases[] = {
        {100, 50, 1, 104, 56, 1}, // 13 × 7 × 1 groups
        {64, 8, 1, 64, 8, 1},
        {0, -3, 2, 8, 8, 2}, // 0 and below count as 1
        {9, 1, 1, 16, 8, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.x) + " x " + std::to_string(c.y) + " x " + std::to_string(c.z));
        auto graph = LoadGraph(ComputeGraph("groups.csh", 6000, Threads(c.x, c.y, c.z), ToOutput));
        ASSERT_NE(graph, nullptr);
        Render(*graph, 0.0f);
        Buffer* output = OutputOf(*graph, 101);
        ASSERT_NE(output, nullptr);
        EXPECT_EQ(output->GetWidth(), uint32_t(c.x < 1 ? 1 : c.x));
        EXPECT_EQ(output->GetCount(), 6000u); // the size stays

        const std::vector<float> values = Floats(output);
        ASSERT_EQ(values.size(), 6000u);
        EXPECT_EQ(values[0], c.runX);
        EXPECT_EQ(values[1], c.runY);
        EXPECT_EQ(values[2], c.runZ);
        EXPECT_EQ(std::accumulate(values.begin() + 3, values.end(), 0.0f), c.runX * c.runY * c.runZ);
    }
}

TEST_F(ComputedBufferTest, GroupSharedValuesCrossThreadsAfterABarrier)
{
    BRIVET_SKIP_WITHOUT_HLSL_2("barriers, interlocked operations and countbits in compute shaders");
    // Each group of eight stores its threads' values in group-shared memory and counts its
    // threads with InterlockedAdd; after the barriers every thread writes what the mirrored
    // thread of its group stored, plus 1000 times the bits set in its own index and 100000
    // times the count.
    Archive().entries["mirror.csh"] = "RWBuffer<float> gOutput;\n"
                                      "groupshared float gsValues[8];\n"
                                      "groupshared uint gsCount;\n"
                                      "[numthreads(8, 1, 1)]\n"
                                      "void main(uint3 id : SV_DispatchThreadID, uint index : SV_GroupIndex) {\n"
                                      "  if (index == 0) gsCount = 0;\n"
                                      "  gsValues[index] = (float)id.x;\n"
                                      "  GroupMemoryBarrierWithGroupSync();\n"
                                      "  InterlockedAdd(gsCount, 1);\n"
                                      "  GroupMemoryBarrierWithGroupSync();\n"
                                      "  gOutput[id.x] = gsValues[7 - index] + 1000.0 * countbits(id.x) + 100000.0 * gsCount; }\n";
    auto graph = LoadGraph(ComputeGraph("mirror.csh", 64, Threads(64, 1, 1), ToOutput));
    ASSERT_NE(graph, nullptr);
    Render(*graph, 0.0f);
    EXPECT_TRUE(LogLinesContaining("[graphics]").empty());
    const std::vector<float> values = Floats(OutputOf(*graph, 101));
    ASSERT_EQ(values.size(), 64u);
    for (uint32_t i = 0; i < 64; ++i)
    {
        const uint32_t mirrored = i - i % 8 + 7 - i % 8;
        EXPECT_EQ(values[i], float(mirrored + 1000 * __builtin_popcount(i) + 100000 * 8)) << i;
    }
}

TEST_F(ComputedBufferTest, CounterAloneRunsOneThreadAndNeitherNameRunsNone)
{
    // Each thread marks its element of a read-write input; the counter one also writes the
    // counter.
    Archive().entries["counter.csh"] = "/*\n<metadata><input>rwTally</input></metadata>\n*/\n"
                                       "RWByteAddressBuffer gCounter;\n"
                                       "RWBuffer<float> rwTally;\n"
                                       "[numthreads(4, 1, 1)]\n"
                                       "void main(uint3 id : SV_DispatchThreadID) {\n"
                                       "  rwTally[id.x] = 1.0 + 0.0 * id.x;\n"
                                       "  gCounter.Store(0, 7 + id.x); }\n";
    Archive().entries["neither.csh"] =
        "/*\n<metadata><input>rwTally</input></metadata>\n*/\n"
        "RWBuffer<float> rwTally;\n"
        "[numthreads(4, 1, 1)]\n"
        "void main(uint3 id : SV_DispatchThreadID) { rwTally[id.x] = 1.0 + 0.0 * id.x; }\n";
    for (const char* file : {"counter.csh", "neither.csh"})
    {
        SCOPED_TRACE(file);
        // A second buffer node gives the tally.
        const std::string tally = "<node id=\"102\" type=\"effect\" name=\"tally\"><effect type=\"ComputedBuffer\">" +
                                  ConstantParameter("Enabled", "false") +
                                  "</effect><resource><buffer size=\"8\"/></resource></node>"
                                  "<connection source=\"102\" target=\"101\" slot=\"rwTally\"/>" +
                                  ToOutput;
        auto graph = LoadGraph(ComputeGraph(file, 16, Threads(64, 1, 1), tally));
        ASSERT_NE(graph, nullptr);
        ASSERT_NE(OutputOf(*graph, 101), nullptr);
        Buffer* talliedBuffer = OutputOf(*graph, 102);
        ASSERT_NE(talliedBuffer, nullptr);
        const float zeros[4] = {};
        SharedDemo()->system.GetContext()->ClearUnorderedAccessViewFloat(talliedBuffer->GetUnorderedAccessView(),
                                                                         zeros);
        Render(*graph, 0.0f);

        const std::vector<float> tallied = Floats(talliedBuffer);
        const bool counter = std::string(file) == "counter.csh";
        // gCounter alone: one group of four threads (1 × 1 × 1 covered); neither: none.
        const float marked = counter ? 1.0f : 0.0f;
        EXPECT_EQ(tallied, (std::vector<float>{marked, marked, marked, marked, 0, 0, 0, 0}));
        if (counter)
        {
            const uint32_t word = Word(OutputOf(*graph, 101)->GetCounter().GetBuffer());
            EXPECT_GE(word, 7u);
            EXPECT_LE(word, 10u);
        }
    }
}

TEST_F(ComputedBufferTest, DisabledPassKeepsTheBuffer)
{
    Archive().entries["level.csh"] = "/*\n<metadata><input>fLevel</input></metadata>\n*/\n"
                                     "cbuffer constants { float fLevel; };\n"
                                     "RWBuffer<float> gOutput;\n"
                                     "[numthreads(4, 1, 1)]\n"
                                     "void main(uint3 id : SV_DispatchThreadID) { gOutput[id.x] = fLevel; }\n";
    // fLevel rises over the run and the pass is disabled from 1 s on.
    const std::string parameters = Threads(4, 1, 1) +
                                   "<parameter name=\"fLevel\"><value type=\"spline\"><clip start=\"0\" length=\"4\">"
                                   "<key time=\"0\" interpolation=\"linear\" value=\"0\"/>"
                                   "<key time=\"4\" value=\"4\"/></clip></value></parameter>"
                                   "<parameter name=\"Enabled\"><value type=\"spline\"><clip start=\"0\" length=\"4\">"
                                   "<key time=\"0\" interpolation=\"step\" value=\"true\"/>"
                                   "<key time=\"1\" value=\"false\"/></clip></value></parameter>";
    auto graph = LoadGraph(ComputeGraph("level.csh", 4, parameters, ToOutput));
    ASSERT_NE(graph, nullptr);
    Render(*graph, 0.5f);
    EXPECT_EQ(Floats(OutputOf(*graph, 101)), (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}));
    Render(*graph, 2.0f); // dirty (animated), disabled: nothing clears or writes the buffer
    EXPECT_EQ(Floats(OutputOf(*graph, 101)), (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}));
}

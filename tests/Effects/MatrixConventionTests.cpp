// How shaders must multiply the engine's matrices. The engine keeps D3DX matrices (row
// vectors, translation in the fourth row) and uploads them as stored. A plane placed by
// Shape3D and seen through Camera3D must land where the projection puts it whichever of
// the working conventions the shader uses, and not with the one that does not work.
#include "Render3DFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace EffectsTest;

namespace
{
// The plane's corner (−1, −1) to (1, 1) at (1.5, 0.8, 0), the camera at (0, 0, −5) looking
// along +z with a horizontal field of view of 90 degrees, on the square 64 × 64 output.
const std::string Placement =
    "<parameter name=\"Position\"><value type=\"constant\"><constant value=\"1.5; 0.8; 0\"/></value></parameter>";
const std::string CameraParameters =
    "<parameter name=\"Enabled\"><value type=\"constant\"><constant value=\"true\"/></value></parameter>"
    "<parameter name=\"Position\"><value type=\"constant\"><constant value=\"0; 0; -5\"/></value></parameter>";

// The pixel rectangle (columns x0..x1, rows y0..y1, top row 0) that the projection gives.
struct Rect
{
    float x0, x1, y0, y1;
};
Rect Projected()
{
    // x / z × cot(45°) and y / z × cot(45°) × aspect 1; then to pixels.
    const float z = 5.0f;
    auto column = [](float ndc) { return (ndc + 1.0f) * 0.5f * Width; };
    auto row = [](float ndc) { return (1.0f - ndc) * 0.5f * Height; };
    return {column(0.5f / z), column(2.5f / z), row(1.8f / z), row(-0.2f / z)};
}

std::string Graph(const std::string& shaderFile)
{
    return "<graph name=\"convention\">"
           "<node id=\"1\" type=\"resource\"><file type=\"effect\" path=\"" +
           shaderFile +
           "\"/></node>"
           "<node id=\"2\" type=\"effect\" name=\"shape\"><effect type=\"Shape3D\">" +
           Placement +
           "</effect></node>"
           "<node id=\"3\" type=\"effect\" name=\"camera\"><effect type=\"Camera3D\">" +
           CameraParameters +
           "</effect></node>"
           "<node id=\"4\" type=\"effect\" name=\"merge\"><effect type=\"Merge3D\"/></node>"
           "<node id=\"5\" type=\"effect\" name=\"renderer\"><effect type=\"Renderer3D\"/></node>"
           "<node id=\"9\" type=\"output\"><output aspectRatio=\"1:1\"/></node>"
           "<connection source=\"2\" target=\"4\" slot=\"Input 1\"/>"
           "<connection source=\"3\" target=\"4\" slot=\"Input 2\"/>"
           "<connection source=\"4\" target=\"5\" slot=\"Input 1\"/>"
           "<connection source=\"1\" target=\"5\" slot=\"Default Shader\"/>"
           "<connection source=\"5\" target=\"9\"/>"
           "</graph>";
}

// A default shader whose vertex stage is given whole (declarations and "vs_main").
std::string Shader(const std::string& vertex)
{
    return "/*\n<metadata>" + Passes({""}) +
           "</metadata>\n*/\n"
           "struct VS_INPUT { float3 Pos : POSITION; };\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n" +
           vertex + "\nfloat4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 1, 0, 1); }\n";
}

// The plane's rectangle is yellow inside and black two pixels outside each edge.
::testing::AssertionResult PlaneIsWherePredicted(const std::vector<uint32_t>& pixels)
{
    if (pixels.size() != size_t(Width) * Height)
        return ::testing::AssertionFailure() << "no back buffer";
    const Rect r = Projected();
    auto at = [&](float x, float y) { return pixels[size_t(y) * Width + size_t(x)]; };
    const float cx = (r.x0 + r.x1) * 0.5f, cy = (r.y0 + r.y1) * 0.5f;
    struct Probe
    {
        float x, y;
        bool inside;
    };
    const Probe probes[] = {
        {cx, cy, true},           {r.x0 + 1.5f, cy, true}, {r.x1 - 1.5f, cy, true},  {cx, r.y0 + 1.5f, true},
        {cx, r.y1 - 1.5f, true},  {r.x0 - 2.0f, cy, false}, {r.x1 + 2.0f, cy, false}, {cx, r.y0 - 2.0f, false},
        {cx, r.y1 + 2.0f, false}, {Width - cx, cy, false},  {cx, Height - cy, false},
    };
    for (const Probe& p : probes)
    {
        const uint32_t expected = p.inside ? Rgba(255, 255, 0) : Rgba(0, 0, 0);
        if (!SameColour(at(p.x, p.y) | 0xFF000000u, expected))
        {
            return ::testing::AssertionFailure() << "pixel (" << int(p.x) << ", " << int(p.y) << ") is "
                                                 << ColourText(at(p.x, p.y)) << ", expected " << ColourText(expected);
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint32_t> Draw(const std::string& file, const std::string& shader)
{
    Archive().entries[file] = shader;
    auto graph = LoadGraph(Graph(file));
    if (!graph)
        return {};
    ClearBackBuffer(Rgba(0, 0, 0));
    Render(*graph, 0.0f);
    return ReadBackBuffer();
}

TEST(MatrixConvention, ShadersMultiplyMatrixTimesVectorOrDeclareRowMajor)
{
    ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
    const std::string defaultPacking =
        "cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; };\n";
    const std::string matrixTimesVector =
        "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
        "  Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));\n"
        "  return Out; }";
    const std::string vectorTimesMatrix =
        "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
        "  Out.Pos = mul(mul(mul(float4(In.Pos, 1), matWorld), matView), matProjection);\n"
        "  return Out; }";
    struct Case
    {
        const char* convention;
        std::string vertex;
        bool placed;
    };
    const Case cases[] = {
        // The default (column-major) packing reads each stored row as a column, so
        // mul(matrix, vector) applies the row-vector matrix.
        {"default packing, mul(matrix, vector)", defaultPacking + matrixTimesVector, true},
        {"row_major matrices, mul(vector, matrix)",
         "cbuffer constants { row_major float4x4 matWorld; row_major float4x4 matView;\n"
         "  row_major float4x4 matProjection; };\n" +
             vectorTimesMatrix,
         true},
        {"pack_matrix(row_major), mul(vector, matrix)",
         "#pragma pack_matrix(row_major)\n" + defaultPacking + vectorTimesMatrix, true},
        // The transposed product: the translations end up in w.
        {"default packing, mul(vector, matrix)", defaultPacking + vectorTimesMatrix, false},
    };
    int index = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.convention);
        const std::vector<uint32_t> pixels = Draw("convention/" + std::to_string(index++) + ".fx", Shader(c.vertex));
        ASSERT_EQ(pixels.size(), size_t(Width) * Height);
        EXPECT_EQ(bool(PlaneIsWherePredicted(pixels)), c.placed);
    }
}
} // namespace

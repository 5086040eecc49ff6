// LayerGBuffer2D on a real device: its declarations, the G-buffer's layers, depth and
// camera bound to each pass, the first shadow map with its light only while that light
// is in use and casts, and the inverse matrices only for shaders that have them.
#include "EffectsFixture.h"
#include "Render3DFixture.h"

#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "RenderContext.h"
#include "repository/Effects/LayerGBuffer2D.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/Texture.h"

#include "LogCapture.h"
#include "MathAssertions.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <d3d11.h>

#include <cstring>
#include <string>
#include <vector>

using namespace EffectsTest;
using Brivet::Base::StaticString;

namespace
{
// Red: the layer "texAlbedo"; green: the first shadow map; blue: the depth. The constants
// are all kept by a branch that never runs.
std::string GBufferLayerShader(const std::string& constants, const std::string& keep)
{
    return LayerShader("<sampler name=\"smp\" filter=\"POINT\"/>"
                       "<passes><pass name=\"main\" vs=\"vs_main\" ps=\"ps_main\"/></passes>",
                       "Texture2D texAlbedo; Texture2D texShadowMap; Texture2D texDepth; SamplerState smp;\n"
                       "cbuffer constants { " +
                           constants +
                           " };\n"
                           "float4 ps_main(VS_OUTPUT In) : SV_TARGET {\n"
                           "  float4 result = float4(texAlbedo.Sample(smp, In.Tex).r, texShadowMap.Sample(smp, "
                           "In.Tex).r, texDepth.Sample(smp, In.Tex).r, 1);\n"
                           "  if (In.Tex.x < -1.0) result = " +
                           keep + ";\n  return result; }");
}

const std::string AllConstants =
    "float4x4 matView; float4x4 matProjection; float4x4 matInvView; float4x4 matInvProjection;"
    " float4x4 matWorldToLight; float4x4 matLightProjection; float4x4 matLightToWorld; float3 v3LightPosition;"
    " float fLightConeAngle; float3 v3LightColor; float fLightConeRatio; float4 v4CameraPosition;";
const std::string KeepAll = "mul(matView, v4CameraPosition) + mul(matProjection, v4CameraPosition)"
                            " + mul(matInvView, v4CameraPosition) + mul(matInvProjection, v4CameraPosition)"
                            " + mul(matWorldToLight, v4CameraPosition) + mul(matLightProjection, v4CameraPosition)"
                            " + mul(matLightToWorld, v4CameraPosition)"
                            " + float4(v3LightPosition + v3LightColor, fLightConeAngle + fLightConeRatio)";
// Without the inverse matrices.
const std::string FewConstants = "float4x4 matView; float4x4 matProjection; float4 v4CameraPosition;";
const std::string KeepFew = "mul(matView, v4CameraPosition) + mul(matProjection, v4CameraPosition)";

struct Rig
{
    std::unique_ptr<Brivet::Compositing::Graph> graph;
    LayerGBuffer2D* layer = nullptr;
    std::unique_ptr<GBuffer, DestroyGBuffer> owned;
    GBuffer* gbuffer = nullptr;

    Texture* Output() const { return static_cast<Texture*>(layer->GetOutput()); }
    Brivet::Graphics::Program* Program() const { return layer->GetShader()->GetProgram(0); }

    // Renders the layer alone into its output and returns the pixels.
    std::vector<uint32_t> Draw() const
    {
        Output()->AcquireTarget();
        Output()->Invalidate();
        layer->Render(Brivet::RenderContext::ForTime(0.0f));
        std::vector<uint32_t> pixels = ReadTexture(Output()->GetTexture());
        Output()->ReleaseTarget();
        return pixels;
    }
};

// File nodes 1, 2 ... (the first feeds "Shader"), the layer (node 10) into a square output,
// and an acquired G-buffer of the graph: "texAlbedo" filled with 0.5, its depth at 1.
Rig LoadRig(std::initializer_list<const char*> files)
{
    Rig rig;
    rig.graph = LoadRendererNodes(files, "1:1", "LayerGBuffer2D", "");
    if (rig.graph)
        rig.layer = static_cast<LayerGBuffer2D*>(EffectOf(*rig.graph, 10));
    if (!rig.layer)
    {
        ADD_FAILURE() << "no layer";
        rig.graph.reset();
        return rig;
    }
    // The renderer's input slot of the shared graph text is the layer's "Shader".
    rig.layer->SetInput(StaticString<64>("Shader"), FileOf(rig.graph.get(), 0));
    rig.layer->OnInputsChanged();

    rig.owned = MakeGBuffer(rig.graph.get(), "<resource><gbuffer shadowSize=\"8\">"
                                             "<layer name=\"texAlbedo\" format=\"R8G8B8A8_UNORM\"/></gbuffer></resource>");
    rig.gbuffer = rig.owned.get();
    if (!rig.gbuffer)
        return rig;
    rig.gbuffer->AcquireTarget();
    const float half[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    SharedDemo()->system.GetContext()->ClearRenderTargetView(rig.gbuffer->layers[0].target->GetRenderTargetView(),
                                                             half);
    return rig;
}

D3DXMATRIX Matrix(const std::vector<uint8_t>& bytes)
{
    D3DXMATRIX m = {};
    if (bytes.size() == sizeof(m))
        memcpy(&m, bytes.data(), sizeof(m));
    return m;
}

class LayerGBuffer2DTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(SharedDemo(), nullptr) << "no Direct3D device";
        LogCapture::Get().Clear();
    }
};

TEST_F(LayerGBuffer2DTest, BindsTheLayersDepthCameraAndTheFirstCastingShadowMap)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    Archive().entries["lgb/all.fx"] = GBufferLayerShader(AllConstants, KeepAll);
    Rig rig = LoadRig({"lgb/all.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    EXPECT_STREQ(rig.layer->outputTypeName.GetText(), "texture");
    EXPECT_EQ(InputNames(*rig.layer), (std::vector<std::string>{"Shader", "GBuffer"}));
    EXPECT_TRUE(rig.layer->hasInvView && rig.layer->hasInvProjection && rig.layer->hasWorldToLight);
    rig.layer->SetInput(StaticString<64>("GBuffer"), rig.gbuffer);
    rig.layer->OnInputsChanged();
    ASSERT_EQ(rig.layer->gbuffer, rig.gbuffer);

    // The camera the renderer recorded, and a casting spot light's record with a map of 0.25.
    GBuffer& g = *rig.gbuffer;
    g.camera = CameraAt(1.0f, 2.0f, -3.0f);
    D3DXMatrixPerspectiveFovLH(&g.camera.projection, 1.0f, 1.0f, 0.5f, 50.0f);
    GBuffer::ShadowMap record = {};
    record.enabled = 1;
    record.castsShadow = 1;
    record.lightType = RenderChunk::LightSpot;
    D3DXMatrixTranslation(&record.lightToWorld, 4.0f, 5.0f, 6.0f);
    D3DXMatrixPerspectiveFovLH(&record.lightProjection, 0.7f, 1.0f, 0.1f, 25000.0f);
    record.colour = D3DXVECTOR3(0.1f, 0.2f, 0.3f);
    record.coneAngle = 0.7f;
    record.coneRatio = 0.5f;
    g.shadowMaps.Add(record);
    ASSERT_TRUE(g.AcquireShadowMap(g.shadowMaps[0]));
    const float quarter[4] = {0.25f, 0.25f, 0.25f, 0.25f};
    SharedDemo()->system.GetContext()->ClearRenderTargetView(g.shadowMaps[0].colourTarget->GetRenderTargetView(),
                                                             quarter);

    std::vector<uint32_t> pixels = rig.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_TRUE(SameColour(pixels[0], RgbaOf(0.5f, 0.25f, 1.0f))) << ColourText(pixels[0]);

    Brivet::Graphics::Program* program = rig.Program();
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(program, "matView")), g.camera.view));
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(program, "matProjection")), g.camera.projection));
    D3DXMATRIX inverse;
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(program, "matInvView")),
                           *D3DXMatrixInverse(&inverse, nullptr, &g.camera.view)));
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(program, "matInvProjection")),
                           *D3DXMatrixInverse(&inverse, nullptr, &g.camera.projection), 1e-4f));
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(program, "matWorldToLight")), Translation(-4.0f, -5.0f, -6.0f)));
    EXPECT_EQ(PixelConstant(program, "matLightProjection"), Bytes(&record.lightProjection, sizeof(D3DXMATRIX)));
    EXPECT_EQ(PixelConstant(program, "matLightToWorld"), Bytes(&record.lightToWorld, sizeof(D3DXMATRIX)));
    const float position[3] = {4.0f, 5.0f, 6.0f};
    EXPECT_EQ(PixelConstant(program, "v3LightPosition"), Bytes(position, sizeof(position)));
    EXPECT_EQ(PixelConstant(program, "v3LightColor"), Bytes(&record.colour, sizeof(D3DXVECTOR3)));
    EXPECT_EQ(PixelConstant(program, "fLightConeAngle"), Bytes(&record.coneAngle, 4));
    EXPECT_EQ(PixelConstant(program, "fLightConeRatio"), Bytes(&record.coneRatio, 4));
    EXPECT_EQ(PixelConstant(program, "v4CameraPosition"), Bytes(&g.camera.position, sizeof(D3DXVECTOR4)));

    // The light stops casting: no shadow map is read (not the one given back to the pool),
    // its constants stay, the camera still follows.
    g.shadowMaps[0].castsShadow = 0;
    g.AcquireShadowMap(g.shadowMaps[0]);
    g.camera = CameraAt(7.0f, 8.0f, 9.0f);
    pixels = rig.Draw();
    ASSERT_EQ(pixels.size(), size_t(Width) * Height);
    EXPECT_TRUE(SameColour(pixels[0], RgbaOf(0.5f, 0.0f, 1.0f))) << ColourText(pixels[0]);
    EXPECT_EQ(PixelConstant(program, "v3LightPosition"), Bytes(position, sizeof(position)));
    EXPECT_EQ(PixelConstant(program, "v4CameraPosition"), Bytes(&g.camera.position, sizeof(D3DXVECTOR4)));
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(program, "matView")), g.camera.view));

    // Without a G-buffer nothing of it is bound.
    rig.layer->SetInput(StaticString<64>("GBuffer"), nullptr);
    rig.layer->OnInputsChanged();
    EXPECT_EQ(rig.layer->gbuffer, nullptr);
    ID3D11DeviceContext* context = SharedDemo()->system.GetContext();
    ID3D11ShaderResourceView* views[8] = {};
    context->PSSetShaderResources(0, 8, views);
    EXPECT_FALSE(rig.Draw().empty());
    context->PSGetShaderResources(0, 8, views);
    for (ID3D11ShaderResourceView* view : views)
    {
        EXPECT_EQ(view, nullptr);
        if (view)
            view->Release();
    }
    rig.gbuffer->ReleaseTarget();
}

TEST_F(LayerGBuffer2DTest, InverseMatricesFollowTheShaderBoundLast)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    Archive().entries["lgb/all.fx"] = GBufferLayerShader(AllConstants, KeepAll);
    Archive().entries["lgb/few.fx"] = GBufferLayerShader(FewConstants, KeepFew);
    Rig rig = LoadRig({"lgb/all.fx", "lgb/few.fx"});
    ASSERT_NE(rig.gbuffer, nullptr);
    EXPECT_TRUE(rig.layer->hasInvView && rig.layer->hasInvProjection && rig.layer->hasWorldToLight);

    rig.layer->SetInput(StaticString<64>("Shader"), FileOf(rig.graph.get(), 1));
    rig.layer->OnInputsChanged();
    EXPECT_FALSE(rig.layer->hasInvView || rig.layer->hasInvProjection || rig.layer->hasWorldToLight);
    rig.layer->SetInput(StaticString<64>("GBuffer"), rig.gbuffer);
    rig.layer->OnInputsChanged();
    ASSERT_EQ(rig.layer->gbuffer, rig.gbuffer);

    // A singular projection: inverting it is skipped for a shader without the inverse.
    rig.gbuffer->camera = CameraAt(0.0f, 0.0f, -1.0f);
    const std::vector<uint32_t> pixels = rig.Draw();
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(SameColour(pixels[0], RgbaOf(0.5f, 0.0f, 1.0f))) << ColourText(pixels[0]);
    EXPECT_TRUE(MatrixNear(Matrix(PixelConstant(rig.Program(), "matView")), rig.gbuffer->camera.view));
    EXPECT_TRUE(PixelConstant(rig.Program(), "matInvView").empty());
    rig.gbuffer->ReleaseTarget();
}
} // namespace

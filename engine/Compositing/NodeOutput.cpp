// The output node: letterbox, the picture composed from its inputs and its draw onto
// the back buffer, with the program, quad and render states all output nodes share.
#include "Compositing/NodeOutput.h"

#include "Assets/Resource/IResource.h"
#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Sampler.h"
#include "Graphics/System.h"
#include "Rendering/Quad.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "Utility/XML/Node.h"

#include "repository/Resources/Texture.h"

#include <d3d11.h>

using Brivet::Utility::Log;

namespace Brivet::Compositing
{
namespace
{
const char OutputShader[] =
    "struct VS_INPUT { float3 Pos : POSITION0; };\r\n"
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };\r\n"
    "Texture2D texInput;\r\n"
    "SamplerState smp;\r\n"
    "cbuffer constants { float2 v2AspectScale; }\r\n"
    "VS_OUTPUT vs_main( VS_INPUT In ) { VS_OUTPUT Out; Out.Pos = float4( In.Pos, 1 ); Out.Pos.xy *= v2AspectScale; "
    "Out.Tex = In.Pos.xy / 2.0f + 0.5f; Out.Tex.y = 1 - Out.Tex.y; return Out; }\r\n"
    "float4 ps_main( VS_OUTPUT In ) : SV_TARGET { return texInput.Sample(smp, In.Tex); }";
static_assert(sizeof(OutputShader) == 475, "the output shader is 474 characters");

constexpr uint32_t PictureFormat = 28; // DXGI_FORMAT_R8G8B8A8_UNORM, as the back buffer

// What every output node draws with: one program, one quad, and the states that make
// the draw independent of what the effects left bound (no depth test, no blending, no
// culling, a linear clamping sampler).
struct Shared
{
    uint32_t liveCount;
    bool ready;
    Graphics::Program* program;
    Rendering::Quad* quad;
    Graphics::Sampler* sampler;
    ID3D11DepthStencilState* depthState;
    ID3D11BlendState* blendState;
    ID3D11RasterizerState* rasterizerState;
};

Shared g_Shared;


void DestroyShared()
{
    Utility::SafeRelease(g_Shared.depthState);
    Utility::SafeRelease(g_Shared.blendState);
    Utility::SafeRelease(g_Shared.rasterizerState);
    delete g_Shared.sampler;
    g_Shared.sampler = nullptr;
    delete g_Shared.quad;
    g_Shared.quad = nullptr;
    delete g_Shared.program;
    g_Shared.program = nullptr;
    g_Shared.ready = false;
}

bool CreateStates(Graphics::System* system)
{
    ID3D11Device* device = system->GetDevice();
    D3D11_DEPTH_STENCIL_DESC depthDesc = {};
    depthDesc.DepthEnable = FALSE;
    depthDesc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ZERO;
    depthDesc.DepthFunc = D3D11_COMPARISON_ALWAYS;
    depthDesc.StencilEnable = FALSE;
    HRESULT hr = device->CreateDepthStencilState(&depthDesc, &g_Shared.depthState);
    if (FAILED(hr))
    {
        Log::Error("[graph] Output node: failed to create the depth state: %08X", (unsigned)hr);
        return false;
    }

    D3D11_BLEND_DESC blendDesc = {};
    blendDesc.RenderTarget[0].BlendEnable = FALSE;
    blendDesc.RenderTarget[0].SrcBlend = D3D11_BLEND_ONE;
    blendDesc.RenderTarget[0].DestBlend = D3D11_BLEND_ZERO;
    blendDesc.RenderTarget[0].BlendOp = D3D11_BLEND_OP_ADD;
    blendDesc.RenderTarget[0].SrcBlendAlpha = D3D11_BLEND_ONE;
    blendDesc.RenderTarget[0].DestBlendAlpha = D3D11_BLEND_ZERO;
    blendDesc.RenderTarget[0].BlendOpAlpha = D3D11_BLEND_OP_ADD;
    blendDesc.RenderTarget[0].RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    hr = device->CreateBlendState(&blendDesc, &g_Shared.blendState);
    if (FAILED(hr))
    {
        Log::Error("[graph] Output node: failed to create the blend state: %08X", (unsigned)hr);
        return false;
    }

    D3D11_RASTERIZER_DESC rasterizerDesc = {};
    rasterizerDesc.FillMode = D3D11_FILL_SOLID;
    rasterizerDesc.CullMode = D3D11_CULL_NONE;
    rasterizerDesc.DepthClipEnable = TRUE;
    hr = device->CreateRasterizerState(&rasterizerDesc, &g_Shared.rasterizerState);
    if (FAILED(hr))
    {
        Log::Error("[graph] Output node: failed to create the rasterizer state: %08X", (unsigned)hr);
        return false;
    }

    D3D11_SAMPLER_DESC samplerDesc = {};
    samplerDesc.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    samplerDesc.AddressU = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.AddressV = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.ComparisonFunc = D3D11_COMPARISON_NEVER;
    samplerDesc.MaxLOD = D3D11_FLOAT32_MAX;
    g_Shared.sampler = new Graphics::Sampler(system);
    return g_Shared.sampler->Create(samplerDesc);
}

bool CreateShared(Graphics::System* system)
{
    if (!system->GetDevice())
    {
        Log::Error("[graph] The output node needs the graphics device");
        return false;
    }

    g_Shared.program = new Graphics::Program(system);
    if (!g_Shared.program->Compile(OutputShader, Graphics::Program::ZeroTerminated,
                                   Graphics::Program::StagePixel | Graphics::Program::StageVertex))
    {
        Log::Error("[graph] Failed to compile the output node's shader");
        return false;
    }

    g_Shared.quad = new Rendering::Quad(system);
    if (!g_Shared.quad->CreateInputLayout(g_Shared.program->GetVertexShader()) || !g_Shared.quad->CreateBuffers())
    {
        Log::Error("[graph] Failed to create the output node's quad");
        return false;
    }

    return CreateStates(system);
}

// The colour texture of an input: only "texture" resources have one (a pooled one only
// while it is acquired). The type itself is compared, not what it stands in for, since
// the cast below is to that one class.
Graphics::ITexture* TextureOfResource(Assets::Resource::IResource* resource)
{
    if (!resource)
        return nullptr;
    static const Base::StaticString<64> textureType("texture");
    Base::StaticString<64> type;
    resource->GetTypeName(type);
    if (type.GetHashLower() != textureType.GetHashLower())
        return nullptr;
    return static_cast<Texture*>(resource)->GetTexture();
}

NodeOutput::InputTextureFunction g_InputTexture = &TextureOfResource;
} // namespace

NodeOutput::NodeOutput(Graph* graph, uint32_t id)
    : INode(graph, id), aspectRatio("16:9"), width(0), height(0), scale{ 1.0f, 1.0f }, picture(nullptr),
      hasPicture(false)
{
    if (g_Shared.liveCount++ == 0 && demo)
        g_Shared.ready = CreateShared(&demo->system);
}

NodeOutput::~NodeOutput()
{
    Unload();
    if (--g_Shared.liveCount == 0)
        DestroyShared();
}

uint32_t NodeOutput::GetLiveCount()
{
    return g_Shared.liveCount;
}

NodeOutput::InputTextureFunction NodeOutput::SetInputTexture(InputTextureFunction function)
{
    const InputTextureFunction previous = g_InputTexture;
    g_InputTexture = function ? function : &TextureOfResource;
    return previous;
}

const Base::StaticString<64>& NodeOutput::GetTypeName()
{
    static const Base::StaticString<64> typeName("output");
    return typeName;
}

const Base::StaticString<64>& NodeOutput::GetOutputTypeName()
{
    return GetTypeName();
}

bool NodeOutput::Load(const Utility::XML::Node& element)
{
    const Utility::XML::Node output(element.GetHandle().child("output"), element.GetDocument());
    if (!output.GetAttribute("aspectRatio", aspectRatio))
        aspectRatio = Base::String("16:9");
    UpdateAspect();

    if (!g_Shared.ready)
    {
        Log::Error("[graph] The output node has no program to draw with");
        return false;
    }

    // The picture the node composes; the frame start does not touch it, so passes
    // in which nothing is dirty show it again.
    Unload();
    picture = new Graphics::RenderTarget(&demo->system);
    const uint32_t pictureWidth = width ? width : 1; // an extreme ratio may round a side to 0
    const uint32_t pictureHeight = height ? height : 1;
    if (!picture->Create(pictureWidth, pictureHeight, PictureFormat, 0))
    {
        Log::Error("[graph] Failed to create the output picture: %u x %u", pictureWidth, pictureHeight);
        Unload();
        return false;
    }
    return true;
}

bool NodeOutput::Save(const Utility::XML::Node& element)
{
    pugi::xml_node output = element.GetHandle().append_child("output");
    output.append_attribute("aspectRatio").set_value(aspectRatio.GetText());
    return true;
}

bool NodeOutput::Unload()
{
    delete picture;
    picture = nullptr;
    hasPicture = false;
    return true;
}

Assets::Resource::IResource* NodeOutput::GetOutput()
{
    BRIVET_ASSERT("Compositing/NodeOutput", "Output node doesn't have a resource!");
    return nullptr;
}

void NodeOutput::OnResize()
{
    UpdateAspect();
}

void NodeOutput::UpdateAspect()
{
    float a = 16.0f;
    float b = 9.0f;
    aspectRatio.Scan("%g:%g", &a, &b);

    const float ratio = a / b;
    const uint32_t screenWidth = demo ? demo->GetWidth() : 0;
    const uint32_t screenHeight = demo ? demo->GetHeight() : 0;
    const float screen = (float)screenWidth / (float)screenHeight;

    scale[0] = 1.0f;
    scale[1] = 1.0f;
    if (ratio >= screen)
    {
        // At least as wide as the screen: bars above and below.
        width = screenWidth;
        height = (uint32_t)((float)screenWidth / ratio);
        scale[1] = screen / ratio;
    }
    else
    {
        // Narrower: bars left and right.
        width = (uint32_t)((float)screenHeight * ratio);
        height = screenHeight;
        scale[0] = ratio / screen;
    }
}

void NodeOutput::Compose()
{
    if (!picture || !g_Shared.ready)
        return;

    // The picture starts as the frame start leaves the back buffer.
    static const float black[4] = { 0.0f, 0.0f, 0.0f, 1.0f };
    demo->system.GetContext()->ClearRenderTargetView(picture->GetRenderTargetView(), black);
    picture->Bind(nullptr);

    static const float fullScale[2] = { 1.0f, 1.0f };
    hasPicture = false;
    for (const Graph::Connection& connection : graph->connections)
    {
        if (connection.target != id)
            continue;
        INode* source = graph->FindNode(connection.source);
        if (!source || source->GetType() == KindOutput) // has no resource to draw
            continue;
        Graphics::ITexture* texture = g_InputTexture(source->GetOutput());
        if (!texture || !texture->GetShaderResourceView())
            continue;
        Draw(texture, fullScale);
        hasPicture = true;
    }
}

void NodeOutput::Present()
{
    if (!hasPicture || !g_Shared.ready)
        return;
    demo->BindBackBuffer();
    Draw(picture, scale);
}

void NodeOutput::Draw(Graphics::ITexture* texture, const float* quadScale)
{
    ID3D11DeviceContext* context = demo->system.GetContext();
    Graphics::Program* program = g_Shared.program;

    context->OMSetDepthStencilState(g_Shared.depthState, 0);
    context->OMSetBlendState(g_Shared.blendState, nullptr, 0xFFFFFFFF);
    context->RSSetState(g_Shared.rasterizerState);

    program->SetFloat2("v2AspectScale", quadScale);
    program->GetVertexShader()->SetShaderResource("texInput", texture->GetShaderResourceView());
    program->GetPixelShader()->SetShaderResource("texInput", texture->GetShaderResourceView());
    program->GetPixelShader()->SetSampler("smp", g_Shared.sampler);
    program->Bind();
    g_Shared.quad->Bind();
    g_Shared.quad->Draw();

    // The texture may be a render target in the next draw; the states go back to the
    // defaults the effects expect.
    program->GetVertexShader()->SetShaderResource("texInput", nullptr);
    program->GetPixelShader()->SetShaderResource("texInput", nullptr);
    context->OMSetDepthStencilState(nullptr, 0);
    context->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFF);
    context->RSSetState(nullptr);
}
} // namespace Brivet::Compositing

// The output node's Direct3D drawing: the program, quad and render states all output
// nodes share, each node's picture, and its draws into the picture and onto the back
// buffer.
#include "Compositing/NodeOutput.h"

#include "Assets/Resource/ITextureResource.h"
#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Sampler.h"
#include "Graphics/System.h"
#include "Rendering/Quad.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

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
// its draws independent of what the effects left bound (no depth test, no blending, no
// culling, a linear clamping sampler).
struct Shared
{
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

bool CreateShared(Demo* demo)
{
    if (!demo) // a node of a test that never loads
        return false;
    Graphics::System* system = &demo->system;
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
// the cast below is to the interface that type implements.
Graphics::ITexture* TextureOfResource(Assets::Resource::IResource* resource)
{
    if (!resource)
        return nullptr;
    static const Base::StaticString<64> textureType("texture");
    Base::StaticString<64> type;
    resource->GetTypeName(type);
    if (type.GetHashLower() != textureType.GetHashLower())
        return nullptr;
    return static_cast<Assets::Resource::ITextureResource*>(resource)->GetTexture();
}

NodeOutput::InputTextureFunction g_InputTexture = &TextureOfResource;

// Draws texture through the shared program, states and quad at quadScale into what is
// bound. The states bound before are put back: a state a pass does not define stays as
// the previous draw of an effect left it, also across frames.
void Draw(Demo* demo, Graphics::ITexture* texture, const float* quadScale)
{
    ID3D11DeviceContext* context = demo->system.GetContext();
    Graphics::Program* program = g_Shared.program;

    ID3D11DepthStencilState* depthState = nullptr;
    UINT stencilReference = 0;
    ID3D11BlendState* blendState = nullptr;
    float blendFactor[4] = {};
    UINT sampleMask = 0;
    ID3D11RasterizerState* rasterizerState = nullptr;
    context->OMGetDepthStencilState(&depthState, &stencilReference);
    context->OMGetBlendState(&blendState, blendFactor, &sampleMask);
    context->RSGetState(&rasterizerState);

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

    // The texture may be a render target in the next draw.
    program->GetVertexShader()->SetShaderResource("texInput", nullptr);
    program->GetPixelShader()->SetShaderResource("texInput", nullptr);
    context->OMSetDepthStencilState(depthState, stencilReference);
    context->OMSetBlendState(blendState, blendFactor, sampleMask);
    context->RSSetState(rasterizerState);
    Utility::SafeRelease(depthState);
    Utility::SafeRelease(blendState);
    Utility::SafeRelease(rasterizerState);
}

bool LoadPicture(NodeOutput& node)
{
    // The picture the node composes; the frame start does not touch it, so passes in
    // which nothing is dirty show it again.
    node.picture = new Graphics::RenderTarget(&node.demo->system);
    if (!node.picture->Create(node.width, node.height, PictureFormat, 0))
    {
        Log::Error("[graph] Failed to create the output picture: %u x %u", node.width, node.height);
        delete node.picture;
        node.picture = nullptr;
        return false;
    }
    return true;
}

void UnloadPicture(NodeOutput& node)
{
    delete node.picture;
    node.picture = nullptr;
}

void ComposePicture(NodeOutput& node)
{
    if (!node.picture)
        return;

    // The picture starts as the frame start leaves the back buffer.
    static const float black[4] = { 0.0f, 0.0f, 0.0f, 1.0f };
    node.demo->system.GetContext()->ClearRenderTargetView(node.picture->GetRenderTargetView(), black);
    node.picture->Bind(nullptr);

    static const float fullScale[2] = { 1.0f, 1.0f };
    node.hasPicture = false;
    for (const Graph::Connection& connection : node.graph->connections)
    {
        if (connection.target != node.id)
            continue;
        INode* source = node.graph->FindNode(connection.source);
        if (!source || source->GetType() == INode::KindOutput) // has no resource to draw
            continue;
        Graphics::ITexture* texture = g_InputTexture(source->GetOutput());
        if (!texture || !texture->GetShaderResourceView())
            continue;
        Draw(node.demo, texture, fullScale);
        node.hasPicture = true;
    }
}

void PresentPicture(NodeOutput& node)
{
    if (!node.hasPicture || !node.picture)
        return;
    node.demo->BindBackBuffer();
    Draw(node.demo, node.picture, node.scale);
}

const NodeOutput::Drawing Direct3DDrawing = {
    &CreateShared, &DestroyShared, &LoadPicture, &UnloadPicture, &ComposePicture, &PresentPicture,
};
} // namespace

NodeOutput::NodeOutput(Graph* graph, uint32_t id)
    : NodeOutput(graph, id, Direct3DDrawing)
{
}

NodeOutput::InputTextureFunction NodeOutput::SetInputTexture(InputTextureFunction function)
{
    const InputTextureFunction previous = g_InputTexture;
    g_InputTexture = function ? function : &TextureOfResource;
    return previous;
}
} // namespace Brivet::Compositing

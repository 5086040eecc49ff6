// The 3D device tests' effect files, planes, entries and renderer graph.
#include "Render3DFixture.h"

#include "Compositing/INode.h"
#include "Demo.h"
#include "Graphics/ConstantBuffer.h"
#include "Graphics/Program.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/GBufferFactory.h"
#include "repository/Resources/Texture.h"
#include "repository/Resources/TextureFactory.h"
#include "Graphics/ITexture.h"

#include <gtest/gtest.h>

#include <d3d11.h>
#include <d3d11shader.h>

#include <cstring>

namespace EffectsTest
{
std::string MeshShader(const std::string& metadata, const std::string& constants, const std::string& pixelHlsl)
{
    return "/*\n<metadata>\n" + metadata +
           "\n</metadata>\n*/\n"
           "cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; " +
           constants +
           " };\n"
           "struct VS_INPUT { float3 Pos : POSITION; };\n"
           "struct VS_OUTPUT { float4 Pos : SV_POSITION; };\n"
           "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out;\n"
           "  float4 p = mul(matWorld, float4(In.Pos, 1));\n"
           "  p = mul(matView, p);\n"
           "  Out.Pos = mul(matProjection, p);\n"
           "  return Out; }\n" +
           pixelHlsl + "\n";
}

std::string Passes(std::initializer_list<const char*> types)
{
    std::string passes = "<passes>";
    int i = 0;
    for (const char* type : types)
    {
        passes += "<pass name=\"p" + std::to_string(i++) + "\" vs=\"vs_main\" ps=\"ps_main\"";
        if (type && *type)
            passes += std::string(" type=\"") + type + "\"";
        passes += "/>";
    }
    return passes + "</passes>";
}

TestPlane::TestPlane(bool bounded)
    : PlaneGeometry(SharedDemo() ? &SharedDemo()->system : nullptr), bounded(bounded)
{
    if (GetSystem())
        CreateBuffers();
}

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    return *D3DXMatrixTranslation(&m, x, y, z);
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

RenderChunk::Entry PlaneEntry(Brivet::Rendering::IRenderable* geometry, const D3DXMATRIX& world, Effect* effect,
                              Brivet::Rendering::MaterialBase* material)
{
    RenderChunk::Entry entry = {};
    entry.geometry = geometry;
    entry.world = world;
    entry.previousWorld = world;
    entry.effect = effect;
    entry.material = material;
    entry.boundsMin = D3DXVECTOR3(-1.0f, -1.0f, 0.0f);
    entry.boundsMax = D3DXVECTOR3(1.0f, 1.0f, 0.0f);
    return entry;
}

RenderChunk::CameraBlock CameraAt(float x, float y, float z, float fieldOfView, float nearPlane, float farPlane)
{
    RenderChunk::CameraBlock camera = {};
    camera.priority = RenderChunk::PriorityEffect;
    const D3DXMATRIX place = Translation(x, y, z);
    D3DXMatrixInverse(&camera.view, nullptr, &place);
    camera.previousView = camera.view;
    camera.position = D3DXVECTOR4(x, y, z, 1.0f);
    camera.fieldOfView = fieldOfView;
    camera.nearPlane = nearPlane;
    camera.farPlane = farPlane;
    return camera;
}

Effect* FileOf(Brivet::Compositing::Graph* graph, uint32_t index)
{
    Brivet::Compositing::INode* node = graph ? graph->FindNode(1 + index) : nullptr;
    return node ? static_cast<Effect*>(node->GetOutput()) : nullptr;
}

Effect* RendererGraph::File(uint32_t index) const
{
    return FileOf(graph.get(), index);
}

void RendererGraph::Bind(RenderChunk* chunk) const
{
    renderer->SetInput(Brivet::Base::StaticString<64>("Input 1"), chunk);
    renderer->OnInputsChanged();
    renderer->OnInputsResolved();
}

std::vector<uint32_t> RendererGraph::Draw(float t) const
{
    auto* output = static_cast<Texture*>(renderer->GetOutput());
    if (!output)
        return {};
    output->AcquireTarget();
    output->Invalidate();
    renderer->Render(Brivet::RenderContext::ForTime(t));
    std::vector<uint32_t> pixels = ReadTexture(output->GetTexture());
    output->ReleaseTarget();
    return pixels;
}

std::unique_ptr<Brivet::Compositing::Graph> LoadRendererNodes(std::initializer_list<const char*> files,
                                                              const char* aspectRatio, const char* effectType,
                                                              const std::string& resource)
{
    std::string nodes, connections;
    uint32_t id = 1;
    for (const char* file : files)
    {
        nodes += "<node id=\"" + std::to_string(id) + "\" type=\"resource\"><file type=\"effect\" path=\"" + file +
                 "\"/></node>";
        ++id;
    }
    nodes += "<node id=\"10\" type=\"effect\" name=\"renderer\"><effect type=\"" + std::string(effectType) +
             "\"/>" + resource + "</node><node id=\"999\" type=\"output\"><output aspectRatio=\"" +
             std::string(aspectRatio) + "\"/></node>";
    if (files.size() != 0)
        connections += "<connection source=\"1\" target=\"10\" slot=\"Default Shader\"/>";
    connections += "<connection source=\"10\" target=\"999\"/>";
    return LoadGraph("<graph name=\"renderer\">" + nodes + connections + "</graph>");
}

RendererGraph LoadRendererGraph(std::initializer_list<const char*> files, const char* aspectRatio)
{
    RendererGraph result;
    result.graph = LoadRendererNodes(files, aspectRatio, "Renderer3D", "");
    if (result.graph)
        result.renderer = static_cast<Renderer3D*>(EffectOf(*result.graph, 10));
    if (!result.renderer)
    {
        ADD_FAILURE() << "no renderer";
        result.graph.reset();
    }
    return result;
}
void DestroyGBuffer::operator()(GBuffer* gbuffer) const
{
    GBufferFactory::instance.Destroy(gbuffer);
}

std::unique_ptr<GBuffer, DestroyGBuffer> MakeGBuffer(Brivet::Compositing::Graph* graph, const std::string& resource)
{
    Brivet::Utility::XML::Document document;
    if (!document.Load(resource.c_str()))
    {
        ADD_FAILURE() << "the G-buffer description does not parse";
        return nullptr;
    }
    const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
    std::unique_ptr<GBuffer, DestroyGBuffer> gbuffer(
        static_cast<GBuffer*>(GBufferFactory::instance.CreateDynamic(graph, &element)));
    if (!gbuffer)
        ADD_FAILURE() << "no G-buffer";
    return gbuffer;
}

void DestroyTexture::operator()(Texture* texture) const
{
    texture->ReleaseTarget();
    TextureFactory::instance.Destroy(texture);
}

std::unique_ptr<Texture, DestroyTexture> SolidTexture(Brivet::Compositing::Graph* graph, uint32_t colour)
{
    Brivet::Utility::XML::Document document;
    document.Load("<resource><rendertarget dimensions=\"8*8\" format=\"R8G8B8A8_UNORM\"/></resource>");
    const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
    std::unique_ptr<Texture, DestroyTexture> texture(
        static_cast<Texture*>(TextureFactory::instance.CreateDynamic(graph, &element)));
    if (!texture || texture->AcquireTarget() == 0 || !texture->GetTexture() ||
        !texture->GetTexture()->GetRenderTargetView())
    {
        ADD_FAILURE() << "no render-target texture";
        return nullptr;
    }
    const float rgba[4] = {float(colour & 0xFF) / 255.0f, float((colour >> 8) & 0xFF) / 255.0f,
                           float((colour >> 16) & 0xFF) / 255.0f, float(colour >> 24) / 255.0f};
    SharedDemo()->system.GetContext()->ClearRenderTargetView(texture->GetTexture()->GetRenderTargetView(), rgba);
    return texture;
}

std::vector<std::string> InputNames(const Brivet::Assets::Effect::IEffect& effect)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < effect.inputs.GetCount(); ++i)
        names.push_back(effect.inputs.GetEntry(i).key.GetText());
    return names;
}

namespace
{
std::vector<uint8_t> ConstantOf(Brivet::Graphics::Shader* stage, const char* name)
{
    Brivet::Graphics::ConstantBuffer* buffer = stage->GetConstantBuffer();
    ID3D11ShaderReflectionConstantBuffer* reflection = buffer->GetReflection();
    ID3D11ShaderReflectionVariable* variable = reflection ? reflection->GetVariableByName(name) : nullptr;
    D3D11_SHADER_VARIABLE_DESC desc = {};
    if (!variable || FAILED(variable->GetDesc(&desc)) || desc.StartOffset + desc.Size > buffer->GetSize())
        return {};
    return Bytes(buffer->GetData() + desc.StartOffset, desc.Size);
}
} // namespace

std::vector<uint8_t> VertexConstant(Brivet::Graphics::Program* program, const char* name)
{
    return program ? ConstantOf(program->GetVertexShader(), name) : std::vector<uint8_t>();
}

std::vector<uint8_t> PixelConstant(Brivet::Graphics::Program* program, const char* name)
{
    return program ? ConstantOf(program->GetPixelShader(), name) : std::vector<uint8_t>();
}

std::vector<uint8_t> Bytes(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}
} // namespace EffectsTest

// Shader resources, buffers with their counter and the compute shader resource on a
// device: descriptions, compatibility answers, a compute shader's metadata and reflection
// and its load failures, and the reflected state binding buffers by name: as shader
// resources to a pixel stage, as unordered-access views at their own registers to the
// compute stage and the output merger, constants at their reflected offsets.
#include "ResourcesFixture.h"

#include "Assets/Effect/IEffect.h"
#include "Graphics/ConstantBuffer.h"
#include "Graphics/Program.h"
#include "Graphics/Shader.h"
#include "Graphics/Texture2D.h"
#include "LogCapture.h"
#include "Parameters/Parameter.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"
#include "repository/Resources/Buffer.h"
#include "repository/Resources/BufferSettings.h"
#include "repository/Resources/ComputeShader.h"
#include "repository/Resources/Effect.h"
#include "repository/Resources/ReflectedShaderState.h"
#include "repository/Resources/ShaderResource.h"
#include "repository/Resources/Texture.h"
#include "windows/DeviceFixture.h"
#include "windows/HlslCompiler.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>
#include <d3d11shader.h>

#include <cstring>
#include <string>
#include <vector>

using namespace ResourcesTest;
using Brivet::Assets::Effect::IEffect;
using Brivet::Assets::Resource::IResource;
using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{
// A compute shader that compiles with either HLSL compiler of Wine runs.
const std::string TrivialCompute = "[numthreads(8, 4, 2)]\nvoid main() {}\n";

// Named float constants of several widths, a matrix, a typed buffer, a texture and a
// read-write buffer at registers that share their numbers (t0 and u0).
const std::string ReflectedCompute = R"(/*
<metadata>
  <input>fScale</input>
  <input>v3Offset</input>
  <input>matUnused</input>
  <input>bufSource</input>
  <input>texImage</input>
  <input>rwTarget</input>
  <input>fMissing</input>
</metadata>
*/
cbuffer Parameters
{
    float3 v3ThreadSizes;
    float fScale;
    float3 v3Offset;
    float4x4 matUnused;
};
Buffer<float> bufSource : register(t0);
Texture2D texImage : register(t1);
RWBuffer<float> rwTarget : register(u0);
[numthreads(4, 1, 1)]
void main(uint3 id : SV_DispatchThreadID)
{
    rwTarget[id.x] = bufSource[id.x] * fScale + v3Offset.x + v3Offset.y * id.x + texImage.Load(int3(0, 0, 0)).r;
}
)";

// Each float constant copied into "gOutput" as the shader sees it.
const std::string OffsetsCompute = R"(/*
<metadata>
  <input>fA</input><input>v3B</input><input>v2C</input><input>v4D</input>
</metadata>
*/
cbuffer Parameters
{
    float fA;
    float3 v3B;
    float2 v2C;
    float4 v4D;
};
RWBuffer<float> gOutput;
[numthreads(1, 1, 1)]
void main()
{
    gOutput[0] = fA;
    gOutput[1] = v3B.x; gOutput[2] = v3B.y; gOutput[3] = v3B.z;
    gOutput[4] = v2C.x; gOutput[5] = v2C.y;
    gOutput[6] = v4D.x; gOutput[7] = v4D.y; gOutput[8] = v4D.z; gOutput[9] = v4D.w;
}
)";

// A layer that reads a typed buffer, a raw buffer and writes a read-write buffer of its
// own register (u1: u0 stands beside the render target).
const std::string BufferLayer = R"(/*
<metadata>
  <input>bufColour</input>
  <input>rawWords</input>
  <input>rwTrace</input>
  <passes>
    <pass name="main" vs="vs_main" ps="ps_main">
      <rasterizer cullMode="none"/>
      <depth read="false" write="false"/>
    </pass>
  </passes>
</metadata>
*/
Buffer<float> bufColour;
ByteAddressBuffer rawWords;
RWBuffer<float> rwTrace : register(u1);
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(uint id : SV_VertexID)
{
    VS_OUTPUT o;
    o.Pos = float4((float)(id / 2) * 4.0 - 1.0, (float)(id % 2) * 4.0 - 1.0, 0.5, 1.0);
    return o;
}
float4 ps_main(VS_OUTPUT i) : SV_TARGET
{
    // A computed value: Wine's translation cannot store a literal into a buffer here.
    rwTrace[0] = bufColour[1] + 0.25;
    return float4(bufColour[0], asfloat(rawWords.Load(4)), bufColour[2], 1.0);
}
)";

// Holds one reflected state for a host, as the compute effects do.
class StateProbe : public IEffect
{
public:
    explicit StateProbe(Brivet::Demo* demo) : IEffect(demo) {}

    bool Initialize() override { return true; }
    void SetOutput(IResource*) override {}
    IResource* GetOutput() override { return nullptr; }
    void Render(const Brivet::RenderContext&) override {}

    void Declare(ShaderReflectionHostBase* host)
    {
        RetireInputs();
        RetireParameters();
        state.Declare(String(""), this, host);
    }

    template <typename T>
    Brivet::Parameters::Parameter<T>* Find(const char* name)
    {
        Parameter* record = nullptr;
        if (!parameters.Find(StaticString<64>(name), &record))
            return nullptr;
        return static_cast<Brivet::Parameters::Parameter<T>*>(record->parameter);
    }

    std::string InputType(const char* name)
    {
        Input* record = nullptr;
        return inputs.Find(StaticString<64>(name), &record) ? record->type.GetText() : "<none>";
    }

    ReflectedShaderState state;
};

class ComputeResourceTest : public DemoTest
{
protected:
    void TearDown() override
    {
        for (StateProbe* probe : probes)
            delete probe;
        for (auto& made : dynamics)
            demo->resourceManager.DestroyDynamic(made.first.c_str(), made.second);
        for (IResource* resource : loaded)
            demo->resourceManager.ReleaseResource(resource);
        for (IResource* resource : targets)
        {
            resource->ReleaseTarget();
            demo->resourceManager.DestroyDynamic("texture", resource);
        }
        demo->system.GetContext()->ClearState();
        graph.reset();
        EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 0u);
    }

    // A resource the factory of type makes from a node description (empty: no element).
    IResource* Dynamic(const char* type, const std::string& xml)
    {
        Brivet::Utility::XML::Document document;
        IResource* resource = nullptr;
        if (xml.empty())
        {
            resource = demo->resourceManager.CreateDynamic(graph.get(), type, nullptr);
        }
        else
        {
            EXPECT_TRUE(document.Load(xml.c_str())) << xml;
            const Brivet::Utility::XML::Node element(document.GetHandle()->document_element(), &document);
            resource = demo->resourceManager.CreateDynamic(graph.get(), type, &element);
        }
        if (resource)
            dynamics.emplace_back(type, resource);
        return resource;
    }

    Buffer* MakeBuffer(uint32_t count)
    {
        Buffer* buffer = static_cast<Buffer*>(
            Dynamic("buffer", "<resource><buffer size=\"" + std::to_string(count) + "\"/></resource>"));
        EXPECT_NE(buffer, nullptr);
        return buffer;
    }

    void Fill(Buffer* buffer, const std::vector<float>& values)
    {
        ASSERT_EQ(values.size(), buffer->GetCount());
        demo->system.GetContext()->UpdateSubresource(buffer->GetBuffer(), 0, nullptr, values.data(), 0, 0);
    }

    std::vector<float> Floats(Buffer* buffer) { return WindowsTest::ReadFloats(demo->system, buffer->GetBuffer()); }

    IResource* Load(const char* type, const char* path, const std::string& source)
    {
        Archive().entries[path] = source;
        IResource* resource = demo->GetResource(graph.get(), type, path, nullptr);
        if (resource)
            loaded.push_back(resource);
        return resource;
    }

    ComputeShader* LoadCompute(const char* path, const std::string& source)
    {
        return static_cast<ComputeShader*>(Load("computeShader", path, source));
    }

    StateProbe* Probe(ShaderReflectionHostBase* host)
    {
        StateProbe* probe = new StateProbe(demo);
        probes.push_back(probe);
        probe->Declare(host);
        return probe;
    }

    Texture* Target()
    {
        IResource* resource = demo->resourceManager.CreateDynamic(graph.get(), "texture", nullptr);
        EXPECT_NE(resource, nullptr);
        targets.push_back(resource);
        EXPECT_EQ(resource->AcquireTarget(), 1u);
        return static_cast<Texture*>(resource);
    }

    std::vector<std::pair<std::string, IResource*>> dynamics;
    std::vector<IResource*> loaded;
    std::vector<IResource*> targets;
    std::vector<StateProbe*> probes;
};

std::string ErrorText()
{
    return ::testing::PrintToString(Lines(Log::LevelError));
}
} // namespace

TEST_F(ComputeResourceTest, BufferViewsCounterAndCompatibility)
{
    // Without a description: 100 floats
    Buffer* buffer = static_cast<Buffer*>(Dynamic("buffer", ""));
    ASSERT_NE(buffer, nullptr) << ErrorText();
    EXPECT_EQ(buffer->GetCount(), 100u);
    D3D11_BUFFER_DESC desc = {};
    buffer->GetBuffer()->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 400u);
    EXPECT_EQ(desc.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS));
    EXPECT_EQ(desc.Usage, D3D11_USAGE_DEFAULT);
    EXPECT_EQ(buffer->GetResource(), buffer->GetBuffer());
    EXPECT_EQ(buffer->GetWidth() * buffer->GetHeight() * buffer->GetDepth(), 1u);

    D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
    ASSERT_NE(buffer->GetShaderResource(), nullptr);
    buffer->GetShaderResource()->GetDesc(&view);
    EXPECT_EQ(view.Format, DXGI_FORMAT_R32_FLOAT);
    EXPECT_EQ(view.ViewDimension, D3D11_SRV_DIMENSION_BUFFEREX);
    EXPECT_EQ(view.BufferEx.NumElements, 100u);
    D3D11_UNORDERED_ACCESS_VIEW_DESC access = {};
    ASSERT_NE(buffer->GetUnorderedAccessView(), nullptr);
    buffer->GetUnorderedAccessView()->GetDesc(&access);
    EXPECT_EQ(access.Format, DXGI_FORMAT_R32_FLOAT);
    EXPECT_EQ(access.Buffer.NumElements, 100u);

    // The counter: one raw word
    ComputedBufferCounter& counter = buffer->GetCounter();
    ASSERT_NE(counter.GetBuffer(), nullptr);
    counter.GetBuffer()->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 4u);
    EXPECT_EQ(desc.BindFlags, UINT(D3D11_BIND_UNORDERED_ACCESS));
    EXPECT_EQ(desc.MiscFlags, UINT(D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS));
    ASSERT_NE(counter.GetUnorderedAccessView(), nullptr);
    counter.GetUnorderedAccessView()->GetDesc(&access);
    EXPECT_EQ(access.Format, DXGI_FORMAT_R32_TYPELESS);
    EXPECT_EQ(access.Buffer.Flags, UINT(D3D11_BUFFER_UAV_FLAG_RAW));
    EXPECT_EQ(counter.GetWidth() * counter.GetHeight() * counter.GetDepth(), 1u);

    // A size from the description
    Buffer* sized = MakeBuffer(256);
    ASSERT_NE(sized, nullptr);
    sized->GetBuffer()->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 1024u);

    // Compatibility: a buffer stands in for a shader resource, not the other way round
    ShaderResource* holder = static_cast<ShaderResource*>(Dynamic("shaderresource", "<resource><buffer/></resource>"));
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->GetShaderResource(), nullptr);
    for (const char* type : {"buffer", "BUFFER", "shaderresource", "ShaderResource"})
        EXPECT_TRUE(buffer->IsCompatible(StaticString<64>(type))) << type;
    for (const char* type : {"texture", "computeShader"})
        EXPECT_FALSE(buffer->IsCompatible(StaticString<64>(type))) << type;
    EXPECT_TRUE(holder->IsCompatible(StaticString<64>("ShaderResource")));
    EXPECT_FALSE(holder->IsCompatible(StaticString<64>("buffer")));

    // Neither has a file form
    EXPECT_EQ(demo->GetResource(graph.get(), "buffer", "data.bin", nullptr), nullptr);
    EXPECT_EQ(demo->GetResource(graph.get(), "shaderresource", "data.bin", nullptr), nullptr);
}

TEST_F(ComputeResourceTest, BufferSizesOutsideTheRangeFailCreation)
{
    // 2^30 floats would be 0 bytes in 32 bits, 2^30 + 1 floats 4 bytes.
    for (const char* size : {"0", "134217729", "1073741824", "1073741825", "-1"})
    {
        LogCapture::Get().Clear();
        EXPECT_EQ(Dynamic("buffer", std::string("<resource><buffer size=\"") + size + "\"/></resource>"), nullptr)
            << size;
        const std::vector<std::string> errors = Lines(Log::LevelError);
        ASSERT_EQ(errors.size(), 1u) << size << ": " << ErrorText();
        EXPECT_EQ(errors[0].rfind("[buffer] Size ", 0), 0u) << errors[0];
    }
}

TEST_F(ComputeResourceTest, ComputeShaderWithoutMetadataExposesNothing)
{
    ComputeShader* shader = LoadCompute("plain.csh", TrivialCompute);
    ASSERT_NE(shader, nullptr) << ErrorText();
    ASSERT_NE(shader->shader, nullptr);
    EXPECT_TRUE(shader->shader->IsValid());
    EXPECT_EQ(shader->shader->GetGroupSize()[0], 8u);
    EXPECT_EQ(shader->shader->GetGroupSize()[1], 4u);
    EXPECT_EQ(shader->shader->GetGroupSize()[2], 2u);
    EXPECT_EQ(shader->inputNames.GetCount(), 0u);
    EXPECT_EQ(shader->inputs.GetCount(), 0u);
    EXPECT_EQ(shader->constants.GetCount(), 0u);

    // It has no dynamic form
    EXPECT_EQ(demo->resourceManager.CreateDynamic(graph.get(), "computeShader", nullptr), nullptr);
}

TEST_F(ComputeResourceTest, ComputeShaderMetadataInputsBecomeParametersAndInputs)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    ComputeShader* shader = LoadCompute("reflected.csh", ReflectedCompute);
    ASSERT_NE(shader, nullptr) << ErrorText();
    EXPECT_EQ(shader->inputNames.GetCount(), 7u);
    EXPECT_EQ(shader->shader->GetGroupSize()[0], 4u);

    StateProbe* probe = Probe(shader);
    ASSERT_NE(probe->Find<float>("fScale"), nullptr);
    ASSERT_NE(probe->Find<D3DXVECTOR3>("v3Offset"), nullptr);
    const D3DXVECTOR3 zero = probe->Find<D3DXVECTOR3>("v3Offset")->GetValue(0.0f);
    EXPECT_EQ(zero.x + zero.y + zero.z, 0.0f);
    EXPECT_EQ(probe->parameters.GetCount(), 2u); // not the matrix, not the missing name
    EXPECT_EQ(probe->InputType("bufSource"), "shaderresource");
    EXPECT_EQ(probe->InputType("rwTarget"), "shaderresource");
    EXPECT_EQ(probe->InputType("texImage"), "texture");
    EXPECT_EQ(probe->inputs.GetCount(), 3u);
}

TEST_F(ComputeResourceTest, ComputeShaderLoadFailuresAndTheirLines)
{
    const struct
    {
        const char* path;
        std::string source;
        const char* error; // the first error line starts with it
    } cases[] = {
        {"unclosed.csh", "/* <metadata><input>fA</input> */\n" + TrivialCompute, "[effect] Metadata XML malformed"},
        {"broken.csh", "/* <metadata><input>fA</metadata> */\n" + TrivialCompute, "[effect] Metadata XML malformed"},
        {"nomain.csh", "[numthreads(1, 1, 1)]\nvoid cs_main() {}\n", "[graphics] Failed to compile compute shader: "},
        {"typo.csh", "[numthreads(1, 1, 1)]\nvoid main() { undeclaredThing = 1; }\n",
         "[graphics] Failed to compile compute shader: "},
    };
    for (const auto& c : cases)
    {
        LogCapture::Get().Clear();
        EXPECT_EQ(LoadCompute(c.path, c.source), nullptr) << c.path;
        const std::vector<std::string> errors = Lines(Log::LevelError);
        ASSERT_FALSE(errors.empty()) << c.path;
        EXPECT_EQ(errors[0].rfind(c.error, 0), 0u) << c.path << ": " << errors[0];
    }

    LogCapture::Get().Clear();
    EXPECT_EQ(demo->GetResource(graph.get(), "computeShader", "absent.csh", nullptr), nullptr);
    EXPECT_EQ(Lines(Log::LevelError), std::vector<std::string>{"[effect] File not found: 'absent.csh'"});
}

TEST_F(ComputeResourceTest, UpdateComputeWritesEachConstantAtItsReflectedOffset)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    ComputeShader* shader = LoadCompute("offsets.csh", OffsetsCompute);
    ASSERT_NE(shader, nullptr) << ErrorText();
    StateProbe* probe = Probe(shader);
    probe->Find<float>("fA")->SetValue(0.0f, 1.5f, 0.0f);
    probe->Find<D3DXVECTOR3>("v3B")->SetValue(0.0f, D3DXVECTOR3(2.0f, 3.0f, 4.0f), 0.0f);
    probe->Find<D3DXVECTOR2>("v2C")->SetValue(0.0f, D3DXVECTOR2(5.0f, 6.0f), 0.0f);
    probe->Find<D3DXVECTOR4>("v4D")->SetValue(0.0f, D3DXVECTOR4(7.0f, 8.0f, 9.0f, 10.0f), 0.0f);

    Brivet::Graphics::ComputeShader* stage = shader->shader;
    Brivet::Graphics::ConstantBuffer* constants = stage->GetConstantBuffer();
    constants->Upload();
    ASSERT_FALSE(constants->IsDirty());
    probe->state.UpdateCompute(stage, 0.0f);
    EXPECT_TRUE(constants->IsDirty());

    // The CPU copy, at the offsets the reflection gives (a float3 packs after a float)
    const struct
    {
        const char* name;
        std::vector<float> values;
    } expected[] = {{"fA", {1.5f}}, {"v3B", {2, 3, 4}}, {"v2C", {5, 6}}, {"v4D", {7, 8, 9, 10}}};
    for (const auto& e : expected)
    {
        D3D11_SHADER_VARIABLE_DESC variable = {};
        ASSERT_TRUE(SUCCEEDED(constants->GetReflection()->GetVariableByName(e.name)->GetDesc(&variable))) << e.name;
        std::vector<float> written(e.values.size());
        memcpy(written.data(), constants->GetData() + variable.StartOffset, written.size() * sizeof(float));
        EXPECT_EQ(written, e.values) << e.name << " at " << variable.StartOffset;
    }

    // And on the GPU
    Buffer* output = MakeBuffer(10);
    uint32_t slot = 0;
    ASSERT_TRUE(stage->FindBindPoint("gOutput", &slot));
    ID3D11UnorderedAccessView* view = output->GetUnorderedAccessView();
    demo->system.GetContext()->CSSetUnorderedAccessViews(slot, 1, &view, nullptr);
    stage->SetThreadCount(1, 1, 1);
    stage->Dispatch();
    EXPECT_EQ(Floats(output), (std::vector<float>{1.5f, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(ComputeResourceTest, ReadWriteInputIsBoundAsUnorderedAccessViewAtItsOwnRegister)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    ComputeShader* shader = LoadCompute("reflected.csh", ReflectedCompute);
    ASSERT_NE(shader, nullptr) << ErrorText();
    Buffer* source = MakeBuffer(4);
    Buffer* target = MakeBuffer(4);
    ASSERT_TRUE(source && target);
    Fill(source, {1, 2, 3, 4});

    StateProbe* probe = Probe(shader);
    probe->SetInput(StaticString<64>("bufSource"), source);
    probe->SetInput(StaticString<64>("rwTarget"), target);
    probe->state.ResolveInputs(probe, shader);
    probe->Find<float>("fScale")->SetValue(0.0f, 10.0f, 0.0f);
    probe->Find<D3DXVECTOR3>("v3Offset")->SetValue(0.0f, D3DXVECTOR3(0.5f, 100.0f, 0.0f), 0.0f);

    Brivet::Graphics::ComputeShader* stage = shader->shader;
    probe->state.UpdateCompute(stage, 0.0f);
    probe->state.BindComputeResources(stage);

    // t0 holds the typed buffer, u0 the read-write one: the numbers are shared, the registers are not
    ID3D11DeviceContext* context = demo->system.GetContext();
    ID3D11ShaderResourceView* boundView = nullptr;
    ID3D11UnorderedAccessView* boundAccess = nullptr;
    context->CSGetShaderResources(0, 1, &boundView);
    context->CSGetUnorderedAccessViews(0, 1, &boundAccess);
    EXPECT_EQ(boundView, source->GetShaderResource());
    EXPECT_EQ(boundAccess, target->GetUnorderedAccessView());
    if (boundView)
        boundView->Release();
    if (boundAccess)
        boundAccess->Release();

    stage->SetThreadCount(4, 1, 1);
    stage->Dispatch();
    EXPECT_EQ(Floats(target), (std::vector<float>{10.5f, 120.5f, 230.5f, 340.5f}));

    // Unbound after the pass
    probe->state.UnbindComputeResources(stage);
    context->CSGetShaderResources(0, 1, &boundView);
    context->CSGetUnorderedAccessViews(0, 1, &boundAccess);
    EXPECT_EQ(boundView, nullptr);
    EXPECT_EQ(boundAccess, nullptr);

    // A plain shader resource has no unordered-access view: the register gets none
    probe->SetInput(StaticString<64>("rwTarget"), Dynamic("shaderresource", ""));
    probe->state.ResolveInputs(probe, shader);
    probe->state.BindComputeResources(stage);
    context->CSGetUnorderedAccessViews(0, 1, &boundAccess);
    EXPECT_EQ(boundAccess, nullptr);
}

TEST_F(ComputeResourceTest, BuffersReachAPixelShaderAsShaderResourcesAndUnorderedAccessViews)
{
    BRIVET_SKIP_WITHOUT_FULLER_HLSL();
    Effect* layer = static_cast<Effect*>(Load("effect", "buffers.fx", BufferLayer));
    ASSERT_NE(layer, nullptr) << ErrorText();
    EXPECT_EQ(layer->inputs.GetCount(), 3u); // the raw buffer too

    // A typed buffer, a raw view over a buffer of the test's own (as a mesh hands out its
    // vertices) and a trace buffer the pixel stage writes.
    Buffer* colour = MakeBuffer(3);
    Buffer* trace = MakeBuffer(1);
    ASSERT_TRUE(colour && trace);
    Fill(colour, {1.0f, 0.0f, 0.5f});
    const float words[2] = {0.0f, 0.75f};
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = sizeof(words);
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    desc.MiscFlags = D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS;
    D3D11_SUBRESOURCE_DATA data = {words, 0, 0};
    ID3D11Buffer* raw = nullptr;
    ASSERT_TRUE(SUCCEEDED(demo->system.GetDevice()->CreateBuffer(&desc, &data, &raw)));
    D3D11_SHADER_RESOURCE_VIEW_DESC rawDesc = {};
    rawDesc.Format = DXGI_FORMAT_R32_TYPELESS;
    rawDesc.ViewDimension = D3D11_SRV_DIMENSION_BUFFEREX;
    rawDesc.BufferEx.NumElements = 2;
    rawDesc.BufferEx.Flags = D3D11_BUFFEREX_SRV_FLAG_RAW;
    ID3D11ShaderResourceView* rawView = nullptr;
    ASSERT_TRUE(SUCCEEDED(demo->system.GetDevice()->CreateShaderResourceView(raw, &rawDesc, &rawView)));
    ShaderResource* words32 = static_cast<ShaderResource*>(Dynamic("shaderresource", ""));
    words32->SetShaderResource(rawView);

    StateProbe* probe = Probe(layer);
    EXPECT_EQ(probe->InputType("rawWords"), "shaderresource");
    probe->SetInput(StaticString<64>("bufColour"), colour);
    probe->SetInput(StaticString<64>("rawWords"), words32);
    probe->SetInput(StaticString<64>("rwTrace"), trace);
    probe->state.ResolveInputs(probe, layer);

    auto draw = [&]() {
        Texture* output = Target();
        layer->BeginPass(0);
        layer->BindPassTargets(0, output, nullptr);
        Brivet::Graphics::Program* program = layer->GetProgram(0);
        probe->state.BindResources(program);
        program->Bind();
        ID3D11DeviceContext* context = demo->system.GetContext();
        context->IASetInputLayout(nullptr);
        context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        context->Draw(3, 0);
        layer->EndPass();
        const std::vector<uint32_t> pixels =
            ReadPixels(static_cast<Brivet::Graphics::Texture2D*>(output->GetTexture())->GetTexture());
        return pixels.empty() ? 0xDEADBEEF : pixels[pixels.size() / 2];
    };
    const uint32_t pixel = draw();
    EXPECT_TRUE(SameColour(pixel, Rgba(255, 191, 128))) << ColourText(pixel);
    EXPECT_EQ(Floats(trace), std::vector<float>{0.25f});

    // A holder whose producer never ran binds no view: the buffer reads zeros
    words32->SetShaderResource(nullptr);
    const uint32_t without = draw();
    EXPECT_TRUE(SameColour(without, Rgba(255, 0, 128))) << ColourText(without);

    rawView->Release();
    raw->Release();
}

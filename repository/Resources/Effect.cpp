// Effect resource: loading of the metadata block, the programs of every pass and
// variation, the pass states, samplers and internal targets, and their binding.
#include "repository/Resources/Effect.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/Program.h"
#include "Graphics/RenderTarget.h"
#include "Graphics/Sampler.h"
#include "Graphics/System.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"
#include "Utility/XML/ChildIterator.h"
#include "repository/Resources/GBuffer.h"
#include "repository/Resources/ReflectedShaderState.h"
#include "repository/Resources/Texture.h"

#include <d3d11.h>

#include <cfloat>
#include <cstring>
#include <new>

using Brivet::Base::Dictionary;
using Brivet::Base::String;
using Brivet::Graphics::Program;
using Brivet::Graphics::RenderTarget;
using Brivet::Utility::Log;
using Brivet::Utility::SafeRelease;
using Brivet::Utility::XML::Node;

static_assert((uint32_t)EffectMetadata::BlendZero == (uint32_t)D3D11_BLEND_ZERO &&
              (uint32_t)EffectMetadata::BlendOne == (uint32_t)D3D11_BLEND_ONE);
static_assert((uint32_t)EffectMetadata::CullNone == (uint32_t)D3D11_CULL_NONE &&
              (uint32_t)EffectMetadata::CullFront == (uint32_t)D3D11_CULL_FRONT &&
              (uint32_t)EffectMetadata::CullBack == (uint32_t)D3D11_CULL_BACK);
static_assert((uint32_t)EffectMetadata::AddressWrap == (uint32_t)D3D11_TEXTURE_ADDRESS_WRAP &&
              (uint32_t)EffectMetadata::AddressClamp == (uint32_t)D3D11_TEXTURE_ADDRESS_CLAMP);
static_assert((uint32_t)EffectMetadata::FilterPoint == (uint32_t)D3D11_FILTER_MIN_MAG_MIP_POINT &&
              (uint32_t)EffectMetadata::FilterLinear == (uint32_t)D3D11_FILTER_MIN_MAG_MIP_LINEAR);
static_assert(EffectMetadata::MaxPassTargets == D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT);
static_assert((uint32_t)EffectMetadata::Pass::StagePixel == (uint32_t)Program::StagePixel &&
              (uint32_t)EffectMetadata::Pass::StageVertex == (uint32_t)Program::StageVertex &&
              (uint32_t)EffectMetadata::Pass::StageGeometry == (uint32_t)Program::StageGeometry);

namespace
{
using TargetTable = Dictionary<String, RenderTarget*>;

Node FirstChild(const Node& parent, const char* name)
{
    Brivet::Utility::XML::ChildIterator it(name);
    if (!it.Next(parent))
        return Node();
    return it.GetCurrent();
}

template <typename V>
void DeleteAll(Dictionary<String, V*>& table)
{
    while (table.GetCount() != 0)
    {
        const String key(table.GetEntry(0).key);
        delete table.GetEntry(0).value;
        table.Remove(key);
    }
}

void SetResolution(Program* program, uint32_t width, uint32_t height)
{
    if (!program)
        return;
    const float resolution[2] = {(float)width, (float)height};
    program->SetFloat2("v2Resolution", resolution);
}
} // namespace

Effect::Effect(Brivet::Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr), currentVariation(0), currentPass(NoPass),
      graphSizedTargets(false), targetsWidth(0), targetsHeight(0), boundTargets(nullptr)
{
}

Effect::~Effect()
{
    Unload();
}

void Effect::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("effect");
}

bool Effect::Load(const char* path)
{
    uint32_t size = 0;
    char* text = ReadShaderSource(demo ? demo->archive : nullptr, path, &size);
    if (!text)
        return false;

    const bool parsed = ParseMetadata(text, size);
    delete[] text;
    if (!parsed)
    {
        Unload();
        return false;
    }
    return true;
}

bool Effect::ParseMetadata(const char* text, uint32_t length)
{
    if (!demo)
        return false;
    EffectMetadata metadata;
    if (!metadata.Parse(text, length))
        return false;
    const Node element = metadata.GetElement();

    // Inputs and variations
    ReadInputs(element);
    if (!EffectMetadata::ReadVariations(element, variations))
        return false;

    // Passes
    const Node passList = FirstChild(element, "passes");
    if (!passList.GetHandle())
    {
        Log::Error("[effect] No passes found");
        return false;
    }
    Brivet::Utility::XML::ChildIterator passIt("pass");
    uint32_t droppedPasses = 0;
    while (passIt.Next(passList))
    {
        const uint32_t passCount = passes.GetCount();
        if (passCount == EffectMetadata::MaxPasses ||
            (passCount != 0 && (passCount + 1) * GetProgramCount() > EffectMetadata::MaxPrograms))
        {
            ++droppedPasses;
            continue;
        }
        EffectMetadata::Pass description;
        EffectMetadata::ReadPass(passIt.GetCurrent(), description);
        Pass& pass = passes.AddEmpty();
        if (!ParsePass(description, pass, text, length))
        {
            Log::Error("[effect] Pass %d invalid", (int)passes.GetCount());
            return false;
        }
    }
    if (droppedPasses != 0)
        Log::Warning("[effect] %u passes dropped: at most %u passes and %u programs (passes x 2^variations) load",
                     droppedPasses, EffectMetadata::MaxPasses, EffectMetadata::MaxPrograms);

    // Internal render targets, sized for the loading graph
    Brivet::Utility::XML::ChildIterator targetIt("renderTarget");
    while (targetIt.Next(element))
    {
        EffectMetadata::RenderTarget& description = targetDescriptions.AddEmpty();
        EffectMetadata::ReadRenderTarget(targetIt.GetCurrent(), description);
        if (!description.fixedSize)
            graphSizedTargets = true;
    }
    Texture::GetOutputSize(graph, targetsWidth, targetsHeight);
    if (!CreateInternalTargets(targetsWidth, targetsHeight, internalTargets))
        return false;

    // Samplers
    Brivet::Utility::XML::ChildIterator samplerIt("sampler");
    while (samplerIt.Next(element))
    {
        EffectMetadata::Sampler description;
        EffectMetadata::ReadSampler(samplerIt.GetCurrent(), description);

        D3D11_SAMPLER_DESC desc = {};
        desc.Filter = (D3D11_FILTER)description.filter;
        desc.AddressU = (D3D11_TEXTURE_ADDRESS_MODE)description.addressU;
        desc.AddressV = (D3D11_TEXTURE_ADDRESS_MODE)description.addressV;
        desc.AddressW = (D3D11_TEXTURE_ADDRESS_MODE)description.addressW;
        desc.MipLODBias = 0.0f;
        desc.MaxAnisotropy = 1;
        desc.ComparisonFunc = D3D11_COMPARISON_NEVER;
        desc.BorderColor[0] = desc.BorderColor[1] = desc.BorderColor[2] = desc.BorderColor[3] = 1.0f;
        desc.MinLOD = -FLT_MAX;
        desc.MaxLOD = FLT_MAX;

        auto* sampler = new Brivet::Graphics::Sampler(&demo->system);
        if (!sampler->Create(desc))
        {
            delete sampler; // logged by the sampler; loading goes on without it
            continue;
        }
        Brivet::Graphics::Sampler** earlier = nullptr;
        if (samplers.Find(description.name, &earlier))
            delete *earlier;
        samplers.Set(description.name, sampler);
    }
    return true;
}

bool Effect::ParsePass(const EffectMetadata::Pass& description, Pass& pass, const char* text, uint32_t length)
{
    pass.name = description.name;
    pass.vertexEntry = description.vertexEntry;
    pass.pixelEntry = description.pixelEntry;
    pass.geometryEntry = description.geometryEntry;
    pass.kind = description.kind;
    pass.lightType = description.lightType;
    pass.renderTargets = description.renderTargets;

    // One program per combination of variations
    Brivet::Graphics::System* system = &demo->system;
    const uint32_t count = GetProgramCount();
    pass.programs = new Program*[count]();
    for (uint32_t k = 0; k < count; ++k)
    {
        Program* program = new Program(system);
        pass.programs[k] = program;

        D3D_SHADER_MACRO macros[EffectMetadata::MaxVariations + 1] = {};
        uint32_t macroCount = 0;
        for (uint32_t i = 0; i < variations.GetCount(); ++i)
        {
            if (k & (1u << i))
            {
                macros[macroCount].Name = variations[i].GetText();
                macros[macroCount].Definition = "1";
                ++macroCount;
            }
        }
        program->SetMacros(macros);
        if (description.stageMask & EffectMetadata::Pass::StageVertex)
            program->SetVertexEntry(description.vertexEntry.GetText());
        if (description.stageMask & EffectMetadata::Pass::StagePixel)
            program->SetPixelEntry(description.pixelEntry.GetText());
        if (description.stageMask & EffectMetadata::Pass::StageGeometry)
            program->SetGeometryEntry(description.geometryEntry.GetText());

        const bool compiled = program->Compile(text, length, description.stageMask);
        program->SetMacros(nullptr); // the list lives only for the compile
        if (!compiled)
        {
            Log::Error("[effect] Shader compile failed");
            return false;
        }

        // Only compiled stages have a reflection; the others give null and add nothing.
        ReflectConstants(program->GetVertexShader()->GetConstantBuffer()->GetReflection());
        ReflectResources(program->GetVertexShader()->GetReflection());
        ReflectConstants(program->GetGeometryShader()->GetConstantBuffer()->GetReflection());
        ReflectResources(program->GetGeometryShader()->GetReflection());
        ReflectConstants(program->GetPixelShader()->GetConstantBuffer()->GetReflection());
        ReflectResources(program->GetPixelShader()->GetReflection());
    }

    // States; a state that cannot be created stays null and is not set.
    ID3D11Device* device = system->GetDevice();
    if (description.hasDepth)
    {
        D3D11_DEPTH_STENCIL_DESC desc = {};
        desc.DepthEnable = description.depthRead ? TRUE : FALSE;
        desc.DepthWriteMask = description.depthWrite ? D3D11_DEPTH_WRITE_MASK_ALL : D3D11_DEPTH_WRITE_MASK_ZERO;
        desc.DepthFunc = D3D11_COMPARISON_LESS;
        desc.StencilEnable = FALSE;
        desc.StencilReadMask = D3D11_DEFAULT_STENCIL_READ_MASK;
        desc.StencilWriteMask = D3D11_DEFAULT_STENCIL_WRITE_MASK;
        const D3D11_DEPTH_STENCILOP_DESC face = {D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP,
                                                 D3D11_COMPARISON_ALWAYS};
        desc.FrontFace = face;
        desc.BackFace = face;
        device->CreateDepthStencilState(&desc, &pass.depthStencilState);
    }
    if (description.hasRasterizer)
    {
        D3D11_RASTERIZER_DESC desc = {};
        desc.FillMode = D3D11_FILL_SOLID;
        desc.CullMode = (D3D11_CULL_MODE)description.cullMode;
        desc.FrontCounterClockwise = FALSE;
        desc.DepthBias = 0;
        desc.DepthBiasClamp = 0.0f;
        desc.SlopeScaledDepthBias = 0.0f;
        desc.DepthClipEnable = TRUE;
        desc.ScissorEnable = FALSE;
        desc.MultisampleEnable = FALSE;
        desc.AntialiasedLineEnable = FALSE;
        device->CreateRasterizerState(&desc, &pass.rasterizerState);
    }
    if (description.hasBlend)
    {
        D3D11_BLEND_DESC desc = {};
        desc.AlphaToCoverageEnable = FALSE;
        desc.IndependentBlendEnable = FALSE;
        for (uint32_t i = 0; i < EffectMetadata::BlendTargetCount; ++i)
        {
            const EffectMetadata::BlendTarget& target = description.blend[i];
            D3D11_RENDER_TARGET_BLEND_DESC& entry = desc.RenderTarget[i];
            entry.BlendEnable = target.enable ? TRUE : FALSE;
            entry.SrcBlend = (D3D11_BLEND)target.sourceColor;
            entry.DestBlend = (D3D11_BLEND)target.destinationColor;
            entry.BlendOp = D3D11_BLEND_OP_ADD;
            entry.SrcBlendAlpha = (D3D11_BLEND)target.sourceAlpha;
            entry.DestBlendAlpha = (D3D11_BLEND)target.destinationAlpha;
            entry.BlendOpAlpha = D3D11_BLEND_OP_ADD;
            entry.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
        }
        device->CreateBlendState(&desc, &pass.blendState);
    }
    return true;
}

bool Effect::CreateInternalTargets(uint32_t outputWidth, uint32_t outputHeight, TargetTable& targets)
{
    for (const EffectMetadata::RenderTarget& description : targetDescriptions)
    {
        const uint32_t width = description.fixedSize ? description.width : outputWidth;
        const uint32_t height = description.fixedSize ? description.height : outputHeight;
        RenderTarget* target = new RenderTarget(&demo->system);
        if (!target->Create(width, height, description.format, 0))
        {
            delete target;
            Log::Error("[effect] Internal render target creation failed");
            return false;
        }
        RenderTarget** earlier = nullptr;
        if (targets.Find(description.name, &earlier))
            delete *earlier; // a repeated name: the later target replaces the earlier one
        targets.Set(description.name, target);
    }
    return true;
}

TargetTable* Effect::TargetsFor(const Brivet::Compositing::Graph* graph)
{
    if (!graphSizedTargets || !graph)
        return &internalTargets;
    uint32_t width = 0;
    uint32_t height = 0;
    Texture::GetOutputSize(graph, width, height);
    if (width == targetsWidth && height == targetsHeight)
        return &internalTargets;

    for (TargetSet* set : otherTargets)
    {
        if (set->width == width && set->height == height)
            return &set->targets;
    }

    // First use at this size. A set that cannot be made stays empty (nothing is bound from
    // it) and is not tried again every frame.
    Log::Info("[effect] Internal render targets for an output of %u x %u", width, height);
    TargetSet* set = new TargetSet;
    set->width = width;
    set->height = height;
    otherTargets.Add(set);
    if (!CreateInternalTargets(width, height, set->targets))
        DeleteAll(set->targets);
    return &set->targets;
}

void Effect::DestroyTargetSets()
{
    DeleteAll(internalTargets);
    for (TargetSet* set : otherTargets)
    {
        DeleteAll(set->targets);
        delete set;
    }
    otherTargets = Brivet::Base::Array<TargetSet*>();
    boundTargets = nullptr;
}

void Effect::Unload()
{
    DeleteAll(samplers);
    DestroyTargetSets();
    targetDescriptions = Brivet::Base::Array<EffectMetadata::RenderTarget>();
    graphSizedTargets = false;

    const uint32_t count = GetProgramCount();
    for (Pass& pass : passes)
    {
        SafeRelease(pass.depthStencilState);
        SafeRelease(pass.rasterizerState);
        SafeRelease(pass.blendState);
        if (pass.programs)
        {
            for (uint32_t k = 0; k < count; ++k)
                delete pass.programs[k];
            delete[] pass.programs;
            pass.programs = nullptr;
        }
    }
    passes = Brivet::Base::Array<Pass>();
    inputNames = Brivet::Base::Array<String>();
    variations = Brivet::Base::Array<String>();
    currentVariation = 0;
    currentPass = NoPass;
}

Program* Effect::GetProgram(uint32_t pass) const
{
    if (pass >= passes.GetCount() || !passes[pass].programs)
        return nullptr;
    // Bits above the file's variations name no program.
    return passes[pass].programs[currentVariation & (GetProgramCount() - 1)];
}

void Effect::BeginPass(uint32_t passIndex)
{
    if (passIndex >= passes.GetCount() || !passes[passIndex].programs)
        return;
    Pass& pass = passes[passIndex];

    BindSamplers(passIndex);

    // The states the pass defines; the others stay as the previous draw left them.
    ID3D11DeviceContext* context = demo->system.GetContext();
    if (pass.depthStencilState)
        context->OMSetDepthStencilState(pass.depthStencilState, 1);
    if (pass.rasterizerState)
        context->RSSetState(pass.rasterizerState);
    if (pass.blendState)
        context->OMSetBlendState(pass.blendState, nullptr, 0xFFFFFFFF);

    GetProgram(passIndex)->Bind();
    currentPass = passIndex;
}

void Effect::BindSamplers(uint32_t passIndex)
{
    // Only the program that draws: the slots are the pipeline's, and the variations may
    // give one name different registers, so binding every variation's would leave the last
    // one's slots bound.
    Program* program = GetProgram(passIndex);
    if (!program)
        return;
    const uint32_t mask = program->GetStageMask();
    for (uint32_t i = 0; i < samplers.GetCount(); ++i)
    {
        const char* name = samplers.GetEntry(i).key.GetText();
        Brivet::Graphics::Sampler* sampler = samplers.GetEntry(i).value;
        if (mask & Program::StagePixel)
            program->GetPixelShader()->SetSampler(name, sampler);
        if (mask & Program::StageVertex)
            program->GetVertexShader()->SetSampler(name, sampler);
        if (mask & Program::StageGeometry)
            program->GetGeometryShader()->SetSampler(name, sampler);
    }
}

void Effect::EndPass()
{
    currentPass = NoPass;
    // Beyond no current pass: a file shared by several effects would otherwise hand one
    // user's variation switches to the next, which never set them.
    currentVariation = 0;
}

bool Effect::BindPassTargets(uint32_t passIndex, Texture* output, Brivet::Graphics::DepthStencil* depth)
{
    if (passIndex >= passes.GetCount())
        return false;
    const Pass& pass = passes[passIndex];
    Program* program = GetProgram(passIndex);
    TargetTable* targets = TargetsFor(output ? output->graph : nullptr);
    boundTargets = targets;

    // No names: the pass draws into the output.
    if (pass.renderTargets.GetCount() == 0)
    {
        if (output)
        {
            output->BindAsRenderTarget(depth);
            SetResolution(program, output->GetWidth(), output->GetHeight());
        }
        return false;
    }
    Brivet::Graphics::DepthStencil* outputDepth =
        output ? static_cast<Brivet::Graphics::DepthStencil*>(output->GetDepthTexture()) : nullptr;
    return BindNamedTargets(passIndex, targets, nullptr, depth ? depth : outputDepth);
}

bool Effect::BindPassTargetsGBuffer(uint32_t passIndex, GBuffer* gbuffer, Brivet::Graphics::DepthStencil* depth)
{
    if (passIndex >= passes.GetCount())
        return false;
    const Pass& pass = passes[passIndex];
    TargetTable* targets = TargetsFor(gbuffer ? gbuffer->graph : nullptr);
    boundTargets = targets;

    // No names: the pass draws into the G-buffer's layers.
    if (pass.renderTargets.GetCount() == 0)
    {
        if (gbuffer)
        {
            gbuffer->Bind(depth);
            SetResolution(GetProgram(passIndex), gbuffer->GetWidth(), gbuffer->GetHeight());
        }
        return false;
    }
    return BindNamedTargets(passIndex, targets, gbuffer, depth ? depth : (gbuffer ? gbuffer->depthTarget : nullptr));
}

bool Effect::BindNamedTargets(uint32_t passIndex, TargetTable* targets, GBuffer* gbuffer,
                              Brivet::Graphics::DepthStencil* depth)
{
    // Each name an internal target, else a G-buffer layer that holds a target; names
    // found nowhere are skipped.
    const Pass& pass = passes[passIndex];
    ID3D11RenderTargetView* views[EffectMetadata::MaxPassTargets] = {};
    uint32_t found = 0;
    Brivet::Graphics::ITexture* last = nullptr;
    for (uint32_t i = 0; i < pass.renderTargets.GetCount() && found < EffectMetadata::MaxPassTargets; ++i)
    {
        RenderTarget** target = nullptr;
        Brivet::Graphics::ITexture* texture = nullptr;
        if (targets->Find(pass.renderTargets[i], &target) && *target)
            texture = *target;
        else if (GBuffer::Layer* layer = gbuffer ? gbuffer->FindLayer(pass.renderTargets[i]) : nullptr)
            texture = layer->target;
        if (texture)
        {
            views[found++] = texture->GetRenderTargetView();
            last = texture;
        }
    }
    if (!last)
        return false;

    ID3D11DeviceContext* context = demo->system.GetContext();
    context->OMSetRenderTargets(EffectMetadata::MaxPassTargets, views, depth ? depth->GetDepthStencilView() : nullptr);
    D3D11_VIEWPORT viewport = {};
    viewport.Width = (float)last->GetWidth();
    viewport.Height = (float)last->GetHeight();
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
    SetResolution(GetProgram(passIndex), last->GetWidth(), last->GetHeight());
    return true;
}

void Effect::BindInternalTextures(uint32_t passIndex)
{
    if (passIndex >= passes.GetCount() || !passes[passIndex].programs)
        return;
    const Pass& pass = passes[passIndex];
    TargetTable* targets = boundTargets ? boundTargets : &internalTargets;
    // The program that draws only, as for the samplers: another variation's registers
    // bound last would hand the drawing program the wrong targets.
    Program* program = GetProgram(passIndex);
    for (uint32_t i = 0; program && i < targets->GetCount(); ++i)
    {
        const auto& entry = targets->GetEntry(i);
        // A target the pass draws into is not also read by it.
        if (pass.renderTargets.Contains(entry.key))
            continue;
        ID3D11ShaderResourceView* view = entry.value ? entry.value->GetShaderResourceView() : nullptr;
        ReflectedShaderState::BindView(program, entry.key.GetText(), view);
    }
}

bool Effect::HasVariable(const char* name) const
{
    const uint32_t count = GetProgramCount();
    for (const Pass& pass : passes)
    {
        if (!pass.programs)
            continue;
        for (uint32_t k = 0; k < count; ++k)
        {
            if (pass.programs[k] && pass.programs[k]->HasVariable(name))
                return true;
        }
    }
    return false;
}

uint32_t Effect::GetVariationBit(const char* name) const
{
    const String wanted(name);
    for (uint32_t i = 0; i < variations.GetCount(); ++i)
    {
        if (variations[i].GetHashLower() == wanted.GetHashLower())
            return 1u << i;
    }
    return 0;
}

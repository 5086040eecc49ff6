// The shared demo and the test-only resource and effect types of the graph tests.
#include "CompositingFixture.h"

#include "Assets/Effect/IEffectFactory.h"
#include "Assets/Resource/IResourceFactory.h"
#include "Graphics/ITexture.h"
#include "Graphics/RenderTargetPool.h"
#include "Parameters/Parameter.h"
#include "Compositing/NodeEffect.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include "LogCapture.h"
#include "windows/DeviceFixture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>

using namespace Brivet;

namespace CompositingTest
{
namespace
{
class TargetFactory : public Assets::Resource::IResourceFactory
{
public:
    bool GetInfo(Assets::Resource::FactoryInfo& info) override
    {
        info.name = Base::StaticString<64>("testtarget");
        info.dynamic = true;
        return true;
    }
    Assets::Resource::IResource* CreateDynamic(Compositing::Graph* graph, const Utility::XML::Node* xml) override
    {
        return new TargetResource(graph);
    }
};

class FileFactory : public Assets::Resource::IResourceFactory
{
public:
    bool GetInfo(Assets::Resource::FactoryInfo& info) override
    {
        info.name = Base::StaticString<64>("testfile");
        return true;
    }
    Assets::Resource::IResource* LoadFromFile(Compositing::Graph* graph, const char* path,
                                              const Utility::XML::Node* loadSettings) override
    {
        return std::string(path) == "missing" ? nullptr : new FileResource(graph);
    }
};

template <typename T>
class EffectFactory : public Assets::Effect::IEffectFactory
{
public:
    explicit EffectFactory(const char* name) : name(name) {}
    Base::StaticString<64> GetName() override { return Base::StaticString<64>(name); }
    Assets::Effect::IEffect* Create(Demo* demo) override { return new T(demo); }
    const char* name;
};

TargetFactory g_TargetFactory;
FileFactory g_FileFactory;
EffectFactory<ProbeEffect> g_ProbeFactory("Probe");
EffectFactory<GrowerEffect> g_GrowerFactory("Grower");
EffectFactory<SwapperEffect> g_SwapperFactory("Swapper");
EffectFactory<RestlessEffect> g_RestlessFactory("Restless");
EffectFactory<FailingEffect> g_FailingFactory("Failing");

std::vector<RenderRecord> g_Renders;

struct Shared
{
    WindowsTest::TestWindow window{"brivet-compositing-tests", "compositing tests", Width, Height};
    TestDemo demo;
    bool ready = false;

    Shared()
    {
        ready = window.StartSystem(demo.system);

        demo.RegisterResourceFactory(&g_TargetFactory);
        demo.RegisterResourceFactory(&g_FileFactory);
        demo.RegisterEffectFactory(&g_ProbeFactory);
        demo.RegisterEffectFactory(&g_GrowerFactory);
        demo.RegisterEffectFactory(&g_SwapperFactory);
        demo.RegisterEffectFactory(&g_RestlessFactory);
        demo.RegisterEffectFactory(&g_FailingFactory);
    }

    ~Shared()
    {
        demo.renderTargetPool.Clear();
        demo.system.Shutdown();
    }
};
} // namespace

TestDemo* SharedDemo()
{
    Shared& shared = WindowsTest::SharedInstance<Shared>::Get();
    return shared.ready ? &shared.demo : nullptr;
}

int TargetResource::live = 0;

TargetResource::TargetResource(Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr)
{
    ++live;
    sizedFromOutput = graph && graph->outputNode && graph->outputNode->width != 0;
}

TargetResource::~TargetResource()
{
    --live;
}

void TargetResource::GetTypeName(Base::StaticString<64>& type) const
{
    type = Base::StaticString<64>("testtarget");
}

uint32_t TargetResource::AcquireTarget()
{
    ++acquisitions;
    if (count == 0)
    {
        Graphics::RenderTargetPool::Description description;
        description.width = 8;
        description.height = 8;
        description.format = 28;
        target = demo->renderTargetPool.Acquire(description);
    }
    return ++count;
}

uint32_t TargetResource::ReleaseTarget()
{
    ++releases;
    EXPECT_GT(count, 0u) << "a release without an acquisition";
    if (count == 0)
        return 0;
    if (--count == 0 && target)
    {
        demo->renderTargetPool.Release(target);
        target = nullptr;
    }
    return count;
}

FileResource::FileResource(Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr)
{
}

void FileResource::GetTypeName(Base::StaticString<64>& type) const
{
    type = Base::StaticString<64>("testfile");
}

std::vector<RenderRecord>& Renders()
{
    return g_Renders;
}

std::vector<std::string> RenderedNames()
{
    std::vector<std::string> names;
    for (const RenderRecord& record : g_Renders)
        names.push_back(record.name);
    return names;
}

bool ProbeEffect::Initialize()
{
    outputTypeName = Base::StaticString<64>("testtarget");
    value = AddParameter<float>("Value", 0.0f);
    DeclareInput("Input", "testtarget");
    DeclareInput("Second", "testtarget");
    DeclareInput("File", "testfile");
    return true;
}

Assets::Resource::IResource* ProbeEffect::Bound(const char* input)
{
    Input* record = nullptr;
    return inputs.Find(Base::StaticString<64>(input), &record) ? record->bound : nullptr;
}

void ProbeEffect::Render(const RenderContext& context)
{
    RenderRecord record;
    record.name = name.GetText();
    record.time = context.time;
    TargetResource* target = nullptr;
    Base::StaticString<64> type;
    if (output)
        output->GetTypeName(type);
    if (output && type.GetHashLower() == Base::StaticString<64>("testtarget").GetHashLower())
        target = static_cast<TargetResource*>(output);
    if (target && target->target)
    {
        const float colour[4] = { value->GetValue(context.time), 0.0f, 0.0f, 1.0f };
        demo->system.GetContext()->ClearRenderTargetView(target->target->GetRenderTargetView(), colour);
    }
    record.outputCount = target ? (int)target->count : -1;
    record.outputHasTarget = target && target->target;
    TargetResource* input = static_cast<TargetResource*>(Bound("Input"));
    record.inputHasTarget = input && input->target;
    g_Renders.push_back(record);
}

bool GrowerEffect::Initialize()
{
    outputTypeName = Base::StaticString<64>("testtarget");
    DeclareInput("In0", "testtarget");
    return true;
}

void GrowerEffect::OnInputsChanged()
{
    ++inputsChanged;
    uint32_t bound = 0;
    for (uint32_t i = 0; i < inputs.GetCount(); ++i)
        bound += inputs.GetEntry(i).value.bound ? 1 : 0;
    RetireInputs();
    for (uint32_t i = 0; i <= bound; ++i)
        DeclareInput(Base::StaticString<64>().Format("In%u", i), "testtarget");
    inputCounts.push_back(inputs.GetCount());
}

bool SwapperEffect::Initialize()
{
    outputTypeName = Base::StaticString<64>("testtarget");
    DeclareInput("A", "testtarget");
    return true;
}

void SwapperEffect::OnInputsChanged()
{
    ++inputsChanged;
    RetireInputs();
    DeclareInput("B", "testtarget");
}

bool RestlessEffect::Initialize()
{
    outputTypeName = Base::StaticString<64>("testtarget");
    return true;
}

void RestlessEffect::OnInputsChanged()
{
    ++inputsChanged;
    RetireInputs();
    DeclareInput(Base::StaticString<64>().Format("N%d", inputsChanged), "testtarget");
}

Graphics::ITexture* TestTexture(Assets::Resource::IResource* resource)
{
    Base::StaticString<64> type;
    if (resource)
        resource->GetTypeName(type);
    if (!resource || type.GetHashLower() != Base::StaticString<64>("testtarget").GetHashLower())
        return nullptr;
    return static_cast<TargetResource*>(resource)->target;
}

std::vector<uint32_t> ReadBackBuffer()
{
    return WindowsTest::ReadBackBuffer(SharedDemo()->system);
}

namespace
{
Compositing::Graph* Load(const std::string& xml, uint32_t nodes, bool* loaded)
{
    TestDemo* demo = SharedDemo();
    Utility::XML::Document document;
    if (!demo || !document.Load(xml.c_str()))
    {
        ADD_FAILURE() << "no device, or the graph text does not parse";
        *loaded = false;
        return nullptr;
    }
    demo->nodesLoaded = 0;
    demo->nodesTotal = nodes;
    demo->progress.clear();
    g_Renders.clear();
    Compositing::Graph* graph = new Compositing::Graph(demo);
    *loaded = graph->Load(Utility::XML::Node(document.GetHandle()->first_child(), &document));
    return graph;
}
} // namespace

std::unique_ptr<Compositing::Graph> LoadGraph(const std::string& xml, uint32_t nodes)
{
    bool loaded = false;
    Compositing::Graph* graph = Load(xml, nodes, &loaded);
    if (!loaded)
    {
        delete graph;
        return nullptr;
    }
    return std::unique_ptr<Compositing::Graph>(graph);
}

bool TryLoadGraph(const std::string& xml)
{
    bool loaded = false;
    delete Load(xml, 0, &loaded);
    return loaded;
}

ProbeEffect* EffectOf(Compositing::Graph& graph, uint32_t id)
{
    Compositing::INode* node = graph.FindNode(id);
    if (!node || node->GetType() != Compositing::INode::KindEffect)
        return nullptr;
    return static_cast<ProbeEffect*>(static_cast<Compositing::NodeEffect*>(node)->GetEffect());
}

TargetResource* TargetOf(Compositing::Graph& graph, uint32_t id)
{
    Compositing::INode* node = graph.FindNode(id);
    return node ? static_cast<TargetResource*>(node->GetOutput()) : nullptr;
}

std::vector<std::string> LogLines(int32_t level)
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(level))
        texts.push_back(line.text);
    return texts;
}

bool Logged(const char* text)
{
    for (const LogCapture::Line& line : LogCapture::Get().Lines())
    {
        if (line.text.find(text) != std::string::npos)
            return true;
    }
    return false;
}
} // namespace CompositingTest

// Graph loading: node order and kinds, loading progress, the failures that end a load,
// and the binding of inputs and outputs along the connections.
#include "CompositingFixture.h"

#include "Compositing/NodeEffect.h"
#include "Compositing/NodeOutput.h"
#include "Compositing/NodeResource.h"
#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <string>

using namespace Brivet;
using namespace Brivet::Compositing;
using namespace CompositingTest;

namespace
{
std::vector<uint32_t> Ids(const Graph& graph)
{
    std::vector<uint32_t> ids;
    for (INode* node : graph.nodes)
        ids.push_back(node->id);
    return ids;
}
} // namespace

TEST(GraphLoad, OutputNodeLoadsFirstAndStandsLast)
{
    ASSERT_NE(SharedDemo(), nullptr);
    LogCapture::Get().Clear();
    // The output element stands after the effects, a second one after it; kinds in any case.
    auto graph = LoadGraph(R"(<graph name="main">
        <node id="1" type="Effect" name="first" position="12.5; -3"><effect type="Probe"/></node>
        <node id="2" type="DYNAMIC" name="store"><dynamic type="testtarget"/></node>
        <node id="3" type="output" name="out"><output aspectRatio="16:9"/></node>
        <node id="4" type="resource" name="file"><file type="testfile" path="a.bin"/></node>
        <node id="5" type="OUTPUT" name="ignored"/>
        <node id="6" type="effect" name="second"><effect type="Probe"/></node>
    </graph>)", 6);
    ASSERT_NE(graph, nullptr) << ::testing::PrintToString(LogLines(Utility::Log::LevelError));

    EXPECT_STREQ(graph->name.GetText(), "main");
    EXPECT_EQ(Ids(*graph), (std::vector<uint32_t>{ 1, 2, 4, 6, 3 }));
    EXPECT_EQ(graph->outputNode, graph->nodes[4]);
    EXPECT_EQ(graph->dirty.GetCount(), 5u);
    EXPECT_EQ(graph->rendered.GetCount(), 5u);
    EXPECT_EQ(graph->FindNode(5), nullptr);
    EXPECT_EQ(graph->outputNode->width, Width);

    // The effects' outputs were created while the output size was known.
    EXPECT_TRUE(TargetOf(*graph, 1)->sizedFromOutput);
    EXPECT_TRUE(TargetOf(*graph, 6)->sizedFromOutput);

    EXPECT_FLOAT_EQ(graph->FindNode(1)->position[0], 12.5f);
    EXPECT_FLOAT_EQ(graph->FindNode(1)->position[1], -3.0f);
    EXPECT_FLOAT_EQ(graph->FindNode(2)->position[0], 0.0f);
    EXPECT_STREQ(EffectOf(*graph, 1)->name.GetText(), "first");
    EXPECT_STREQ(static_cast<NodeEffect*>(graph->FindNode(6))->type.GetText(), "Probe");

    // Five loaded nodes of the six counted: the second output node is not loaded.
    EXPECT_EQ(SharedDemo()->nodesLoaded, 5u);
    EXPECT_EQ(SharedDemo()->progress, (std::vector<float>{ 1 / 6.0f, 2 / 6.0f, 3 / 6.0f, 4 / 6.0f, 5 / 6.0f }));
}

TEST(GraphLoad, ProgressAdvancesOncePerNodeOverAllGraphs)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    Utility::XML::Document document;
    ASSERT_TRUE(document.Load(R"(<compositing>
        <graph><node id="1" type="effect"><effect type="Probe"/></node><node id="2" type="output"/></graph>
        <graph><node id="1" type="output"/></graph>
    </compositing>)"));
    const Utility::XML::Node compositing(document.GetHandle()->first_child(), &document);

    demo->nodesLoaded = 0;
    demo->nodesTotal = 3;
    demo->progress.clear();
    std::vector<std::unique_ptr<Graph>> graphs;
    for (pugi::xml_node element = compositing.GetHandle().child("graph"); element; element = element.next_sibling("graph"))
    {
        graphs.emplace_back(new Graph(demo));
        ASSERT_TRUE(graphs.back()->Load(Utility::XML::Node(element, &document)));
    }
    EXPECT_EQ(demo->progress, (std::vector<float>{ 1 / 3.0f, 2 / 3.0f, 1.0f }));
}

TEST(GraphLoad, FailuresEndTheLoadWithTheirLines)
{
    ASSERT_NE(SharedDemo(), nullptr);
    struct Case
    {
        const char* what;
        const char* xml;
        std::vector<const char*> lines; // expected in this order
    };
    const Case cases[] = {
        { "no output node", R"(<graph name="g"><node id="1" type="effect"><effect type="Probe"/></node></graph>)",
          { "[graph] Graph 'g' has no output node" } },
        { "unknown node kind", R"(<graph><node id="1" type="output"/><node id="2" type="bogus"/></graph>)",
          { "[graph] Unknown node type: 'bogus'" } },
        { "node without a kind", R"(<graph><node id="1" type="output"/><node id="2"/></graph>)",
          { "[graph] Unknown node type: ''" } },
        { "effect type without factory",
          R"(<graph><node id="1" type="output"/><node id="2" type="effect" name="e"><effect type="Nope"/></node></graph>)",
          { "[effect] Failed to instantiate effect: 'Nope'", "[effect] Failed to create effect: 'Nope'",
            "Failed to load node: 'e'" } },
        { "effect that fails to initialise",
          R"(<graph><node id="1" type="output"/><node id="2" type="effect" name="e"><effect type="Failing"/></node></graph>)",
          { "[effect] Effect failed to initialize: 'Failing'", "[effect] Failed to create effect: 'Failing'",
            "Failed to load node: 'e'" } },
        { "resource node without file",
          R"(<graph><node id="1" type="output"/><node id="2" type="resource" name="r"/></graph>)",
          { "Failed to load node: 'r'" } },
        { "file that does not load",
          R"(<graph><node id="1" type="output"/><node id="2" type="resource" name="r"><file type="testfile" path="missing"/></node></graph>)",
          { "[effect] Failed to load 'testfile' resource: 'missing'", "Failed to load node: 'r'" } },
        { "dynamic type that cannot be created",
          R"(<graph><node id="1" type="output"/><node id="2" type="dynamic" name="d"><dynamic type="testfile"/></node></graph>)",
          { "[effect] Failed to create dynamic resource: 'testfile'", "Failed to load node: 'd'" } },
        { "a parameter that does not load",
          R"(<graph><node id="1" type="output"/><node id="2" type="effect" name="e"><effect type="Probe"><parameter name="Value"><value type="curve"/></parameter></effect></node></graph>)",
          { "[effect] Failed to load parameter 'Value' of 'e'" } },
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.what);
        LogCapture::Get().Clear();
        EXPECT_FALSE(TryLoadGraph(test.xml));
        const std::vector<std::string> errors = LogLines(Utility::Log::LevelError);
        ASSERT_EQ(errors.size(), test.lines.size()) << ::testing::PrintToString(errors);
        for (size_t i = 0; i < errors.size(); ++i)
            EXPECT_EQ(errors[i], test.lines[i]);

        // Nothing the failed graph made outlives it, the output node included.
        EXPECT_EQ(NodeOutput::GetLiveCount(), 0u);
        EXPECT_EQ(TargetResource::live, 0);
        EXPECT_EQ(SharedDemo()->resourceManager.GetCache().GetCount(), 0u);
    }
}

TEST(GraphLoad, NodesSharingAnIdBothLoadAndOnlyTheLaterIsConnected)
{
    ASSERT_NE(SharedDemo(), nullptr);
    struct Case
    {
        const char* what;
        const char* xml;
        uint32_t id; // the shared id
        const char* warning;
        std::vector<std::string> rendered; // in the first pass
    };
    const Case cases[] = {
        { "two effects",
          R"(<graph name="g"><node id="1" type="output"/>
             <node id="3" type="effect" name="c"><effect type="Probe"/></node>
             <node id="2" type="effect" name="a"><effect type="Probe"><parameter name="Value"><value type="constant"><constant value="3"/></value></parameter></effect></node>
             <node id="2" type="effect" name="b"><effect type="Probe"/></node>
             <connection source="3" target="2" slot="Input"/><connection source="2" target="1"/></graph>)",
          2, "[graph] Node id 2 of 'b' is already used in graph 'g': only the later node is connected",
          { "c", "a", "b" } },
        { "two effects without an id",
          R"(<graph name="g"><node id="1" type="output"/>
             <node type="effect" name="a"><effect type="Probe"/></node>
             <node type="effect" name="b"><effect type="Probe"/></node>
             <connection source="4294967295" target="1"/></graph>)",
          0xFFFFFFFFu, "[graph] Node id 4294967295 of 'b' is already used in graph 'g': only the later node is connected",
          { "a", "b" } },
        { "an effect with the output's id",
          R"(<graph name="g"><node id="7" type="effect" name="a"><effect type="Probe"/></node><node id="7" type="output"/></graph>)",
          7, "[graph] Node id 7 of 'a' is already used in graph 'g': only the later node is connected", { "a" } },
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.what);
        LogCapture::Get().Clear();
        auto graph = LoadGraph(test.xml);
        ASSERT_NE(graph, nullptr) << ::testing::PrintToString(LogLines(Utility::Log::LevelError));
        EXPECT_EQ(LogLines(Utility::Log::LevelWarning), std::vector<std::string>{ test.warning });

        // Both stay in the node list; lookups by id reach the later one.
        std::vector<INode*> sharing;
        for (INode* node : graph->nodes)
        {
            if (node->id == test.id)
                sharing.push_back(node);
        }
        ASSERT_EQ(sharing.size(), 2u);
        EXPECT_EQ(graph->FindNode(test.id), sharing[1]);

        // The earlier node is never bound nor given its parameters; the later is, once.
        if (sharing[1]->GetType() == INode::KindEffect)
        {
            ProbeEffect* later = EffectOf(*graph, test.id);
            EXPECT_EQ(later->inputsChanged, 1);
            EXPECT_EQ(later->inputsResolved, 1);
        }
        auto* earlier = static_cast<ProbeEffect*>(static_cast<NodeEffect*>(sharing[0])->GetEffect());
        EXPECT_EQ(earlier->inputsChanged, 0);
        EXPECT_EQ(earlier->inputsResolved, 0);
        EXPECT_EQ(earlier->setOutputCalls, 0);
        EXPECT_FLOAT_EQ(earlier->value->GetValue(0.0f), 0.0f);

        // The first pass renders both and keeps no pooled target.
        graph->Render(RenderContext::ForTime(0.0f));
        EXPECT_EQ(RenderedNames(), test.rendered);
        for (INode* node : graph->nodes)
        {
            if (node->GetType() == INode::KindEffect)
            {
                EXPECT_EQ(static_cast<TargetResource*>(node->GetOutput())->count, 0u) << node->name.GetText();
            }
        }
    }
    EXPECT_EQ(TargetResource::live, 0);
}

TEST(GraphLoad, ConnectionThatNamesNoNodeIsDropped)
{
    ASSERT_NE(SharedDemo(), nullptr);
    LogCapture::Get().Clear();
    auto graph = LoadGraph(R"(<graph name="g">
        <node id="1" type="effect" name="a"><effect type="Probe"/></node>
        <node id="2" type="output"/>
        <connection source="1" target="2"/>
        <connection source="1" target="99" slot="Input"/>
        <connection source="42" target="1" slot="Input"/>
        <connection target="1" slot="Input"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);
    ASSERT_EQ(graph->connections.GetCount(), 1u);
    EXPECT_EQ(graph->connections[0].target, 2u);
    EXPECT_TRUE(Logged("[graph] Connection from 1 to 99 in graph 'g' names no node; dropped"));
    EXPECT_TRUE(Logged("[graph] Connection from 42 to 1 in graph 'g' names no node; dropped"));
    EXPECT_TRUE(Logged("[graph] Connection from 4294967295 to 1 in graph 'g' names no node; dropped"));
    EXPECT_EQ(EffectOf(*graph, 1)->Bound("Input"), nullptr);
    graph->Render(RenderContext::ForTime(0.0f));
    EXPECT_EQ(RenderedNames(), (std::vector<std::string>{ "a" }));
}

TEST(GraphLoad, ParametersReachDeclaredNamesOrWaitAsText)
{
    ASSERT_NE(SharedDemo(), nullptr);
    auto graph = LoadGraph(R"(<graph>
        <node id="1" type="effect"><effect type="Probe">)" + Constant("Value", 2.5f) + Constant("Later", 4.0f) +
                           R"(</effect></node>
        <node id="2" type="output"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);
    ProbeEffect* effect = EffectOf(*graph, 1);
    Assets::Effect::IEffect::Parameter* value = nullptr;
    ASSERT_TRUE(effect->parameters.Find(Base::StaticString<64>("Value"), &value));
    EXPECT_FLOAT_EQ(static_cast<Parameters::Parameter<float>*>(value->parameter)->GetValue(0.0f), 2.5f);
    EXPECT_TRUE(effect->pendingParameters.Find(Base::StaticString<64>("Later")));
    EXPECT_EQ(effect->AddParameter<float>("Later", 0.0f)->GetValue(0.0f), 4.0f);
}

TEST(GraphLoad, ProducerAfterItsConsumerIsReported)
{
    ASSERT_NE(SharedDemo(), nullptr);
    LogCapture::Get().Clear();
    auto graph = LoadGraph(R"(<graph>
        <node id="2" type="effect" name="late"><effect type="Probe"/></node>
        <node id="1" type="effect" name="early"><effect type="Probe"/></node>
        <node id="3" type="output"/>
        <connection source="1" target="2" slot="Input"/>
        <connection source="2" target="3"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(LogLines(Utility::Log::LevelWarning),
              (std::vector<std::string>{
                  "[graph] Node 'late' (2) stands before node 'early' (1) that feeds it: it reads no new output" }));
}

TEST(GraphBinding, OutputsFollowTheLastOutgoingConnection)
{
    ASSERT_NE(SharedDemo(), nullptr);
    auto graph = LoadGraph(R"(<graph>
        <node id="10" type="dynamic"><dynamic type="testtarget"/></node>
        <node id="11" type="resource"><file type="testfile" path="a.bin"/></node>
        <node id="1" type="effect" name="dynamicThenEffect"><effect type="Probe"/></node>
        <node id="2" type="effect" name="effectThenDynamic"><effect type="Probe"/></node>
        <node id="3" type="effect" name="toResource"><effect type="Probe"/></node>
        <node id="4" type="effect" name="alone"><effect type="Probe"/></node>
        <node id="5" type="effect" name="consumer"><effect type="Probe"/></node>
        <node id="6" type="output"/>
        <connection source="1" target="10"/>
        <connection source="1" target="5" slot="Input"/>
        <connection source="2" target="5" slot="Second"/>
        <connection source="2" target="10"/>
        <connection source="3" target="11"/>
        <connection source="11" target="5" slot="File"/>
        <connection source="5" target="6"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);
    auto pooled = [&](uint32_t id) {
        bool* value = nullptr;
        return graph->pooled.Find(id, &value) && *value;
    };

    EXPECT_EQ(EffectOf(*graph, 1)->output, graph->FindNode(1)->GetOutput());
    EXPECT_TRUE(pooled(1));
    EXPECT_EQ(EffectOf(*graph, 2)->output, graph->FindNode(10)->GetOutput());
    EXPECT_FALSE(pooled(2));
    EXPECT_EQ(EffectOf(*graph, 3)->output, nullptr);
    EXPECT_GT(EffectOf(*graph, 3)->setOutputCalls, 0);
    EXPECT_FALSE(pooled(3));
    EXPECT_EQ(EffectOf(*graph, 4)->setOutputCalls, 0);
    EXPECT_EQ(EffectOf(*graph, 4)->inputsChanged, 1);
    EXPECT_EQ(EffectOf(*graph, 4)->inputsResolved, 1);
    EXPECT_FALSE(pooled(4));

    // The consumer reads each producer's own output, even where it draws into the dynamic node.
    ProbeEffect* consumer = EffectOf(*graph, 5);
    EXPECT_EQ(consumer->Bound("Input"), graph->FindNode(1)->GetOutput());
    EXPECT_EQ(consumer->Bound("Second"), graph->FindNode(2)->GetOutput());
    EXPECT_EQ(consumer->Bound("File"), graph->FindNode(11)->GetOutput());
    EXPECT_TRUE(pooled(5));
    for (INode* node : graph->nodes)
        EXPECT_TRUE(graph->pooled.Find(node->id)) << node->id;
}

TEST(GraphBinding, DeclarationsSettleBeforeResolving)
{
    ASSERT_NE(SharedDemo(), nullptr);
    LogCapture::Get().Clear();
    auto graph = LoadGraph(R"(<graph>
        <node id="1" type="effect"><effect type="Probe"/></node>
        <node id="2" type="effect"><effect type="Probe"/></node>
        <node id="3" type="effect"><effect type="Probe"/></node>
        <node id="4" type="effect" name="grower"><effect type="Grower"/></node>
        <node id="5" type="effect" name="swapper"><effect type="Swapper"/></node>
        <node id="6" type="effect" name="restless"><effect type="Restless"/></node>
        <node id="7" type="output"/>
        <connection source="1" target="4" slot="In0"/>
        <connection source="2" target="4" slot="In1"/>
        <connection source="3" target="4" slot="In2"/>
        <connection source="1" target="5" slot="B"/>
        <connection source="1" target="6" slot="N1"/>
    </graph>)");
    ASSERT_NE(graph, nullptr);

    // In1 is declared by the first OnInputsChanged and bound by the second pass, and so
    // on; the fourth call declares the same four inputs as the third.
    auto* grower = static_cast<GrowerEffect*>(EffectOf(*graph, 4));
    EXPECT_EQ(grower->inputCounts, (std::vector<uint32_t>{ 2, 3, 4, 4 }));
    EXPECT_EQ(grower->inputsResolved, 1);
    EXPECT_EQ(grower->Bound("In2"), graph->FindNode(3)->GetOutput());

    // One input before and after: the name changed, so "B" is bound in a second pass.
    ProbeEffect* swapper = EffectOf(*graph, 5);
    EXPECT_EQ(swapper->inputsChanged, 2);
    EXPECT_EQ(swapper->inputsResolved, 1);
    EXPECT_EQ(swapper->Bound("B"), graph->FindNode(1)->GetOutput());

    ProbeEffect* restless = EffectOf(*graph, 6);
    EXPECT_EQ(restless->inputsChanged, (int)Graph::MaxBindingPasses);
    EXPECT_EQ(restless->inputsResolved, 1);
    EXPECT_EQ(LogLines(Utility::Log::LevelError),
              (std::vector<std::string>{ "[graph] Inputs of node 'restless' still change after " +
                                         std::to_string(Graph::MaxBindingPasses) + " binding passes" }));
}

TEST(GraphLoad, FileResourcesAreSharedAndReleased)
{
    TestDemo* demo = SharedDemo();
    ASSERT_NE(demo, nullptr);
    {
        auto graph = LoadGraph(R"(<graph>
            <node id="1" type="resource"><file type="testfile" path="shared.bin"/><loadSettings srgb="false"/></node>
            <node id="2" type="resource"><file type="testfile" path="shared.bin"/></node>
            <node id="3" type="output"/>
        </graph>)");
        ASSERT_NE(graph, nullptr);
        EXPECT_EQ(graph->FindNode(1)->GetOutput(), graph->FindNode(2)->GetOutput());
        EXPECT_EQ(graph->FindNode(1)->GetOutput()->refCount, 2u);
        EXPECT_STREQ(static_cast<NodeResource*>(graph->FindNode(1))->path.GetText(), "shared.bin");
    }
    EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 0u);
}

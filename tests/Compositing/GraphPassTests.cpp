// The graph's pass on the host, under the sanitizers: dirty marking, the order of the
// walk, the acquisition and release of pooled outputs, and nodes sharing an id.
#include "PortableFixture.h"

#include "Compositing/INode.h"
#include "Compositing/NodeEffect.h"
#include "RenderContext.h"

#include <gtest/gtest.h>

using namespace Brivet::Compositing;
using namespace PortableGraph;

namespace
{
using Names = std::vector<std::string>;

const std::string Output = "<node id='100' type='output'/>";

const RenderRecord* Record(const char* name)
{
    for (const RenderRecord& record : Renders())
    {
        if (record.name == name)
            return &record;
    }
    return nullptr;
}

// No effect of the graph holds an acquisition, and no release came without one.
void ExpectNothingHeld(Graph& graph)
{
    for (INode* node : graph.nodes)
    {
        if (node->GetType() != INode::KindEffect)
            continue;
        const auto* target = static_cast<CountingTarget*>(node->GetOutput());
        EXPECT_EQ(target->count, 0u) << node->name.GetText();
        EXPECT_EQ(target->releasesWithoutAcquisition, 0u) << node->name.GetText();
    }
}
} // namespace

TEST(GraphPass, FirstPassRendersEverythingThenOnlyAnimatedNodesAndWhatTheyFeed)
{
    // A is animated from 0 to 10; X feeds B but is constant; D feeds the output alone.
    auto graph = LoadGraph("<graph>" + Effect(1, "X", Constant("Value", 3)) + Effect(2, "A", Animated("Value", 0, 10)) +
                           Effect(3, "B") + Effect(4, "C") + Effect(5, "D") + Output + Link(1, 3, "Second") +
                           Link(2, 3) + Link(3, 4) + Link(4, 100) + Link(5, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);

    Draws() = DrawCounts();
    EXPECT_EQ(Pass(*graph, 0.0f), (Names{ "X", "A", "B", "C", "D" }));
    EXPECT_TRUE(Composed(*graph));
    for (float time : { 1.0f, 9.0f })
    {
        SCOPED_TRACE(time);
        EXPECT_EQ(Pass(*graph, time), (Names{ "A", "B", "C" }));
        EXPECT_TRUE(Composed(*graph));
    }
    // Outside the clip nothing renders; the output node shows its last picture again.
    EXPECT_EQ(Pass(*graph, 20.0f), Names{});
    EXPECT_FALSE(Composed(*graph));
    EXPECT_EQ(Draws().composes, 3);
    EXPECT_EQ(Draws().presents, 4);
    for (bool flag : graph->dirty)
        EXPECT_FALSE(flag);
    ExpectNothingHeld(*graph);
}

TEST(GraphPass, RenderNodesTellsWhetherTheOutputComposedAndPresentsNothing)
{
    // What the demo builds a frame of several graphs from.
    auto graph = LoadGraph("<graph>" + Effect(1, "A", Animated("Value", 0, 10)) + Output + Link(1, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);
    Draws() = DrawCounts();
    for (const float time : { 0.0f, 5.0f, 20.0f, 30.0f, 9.0f })
    {
        SCOPED_TRACE(time);
        const bool animated = time < 10.0f;
        EXPECT_EQ(graph->RenderNodes(Brivet::RenderContext::ForTime(time)), animated);
        EXPECT_EQ(Composed(*graph), animated);
    }
    EXPECT_EQ(Draws().composes, 3);
    EXPECT_EQ(Draws().presents, 0);
    graph->Present();
    EXPECT_EQ(Draws().presents, 1);
    EXPECT_EQ(Draws().composes, 3);
    ExpectNothingHeld(*graph);
}

TEST(GraphPass, PooledOutputsLiveFromTheirProducerToTheirLastConsumer)
{
    // A feeds B; B feeds C and D; C and D feed the output.
    auto graph = LoadGraph("<graph>" + Effect(1, "A", Animated("Value", 0, 100)) + Effect(2, "B") + Effect(3, "C") +
                           Effect(4, "D") + Output + Link(1, 2) + Link(2, 3) + Link(2, 4) + Link(3, 100) +
                           Link(4, 100, "") + "</graph>");
    ASSERT_NE(graph, nullptr);
    for (float time : { 0.0f, 1.0f, 2.0f })
    {
        SCOPED_TRACE(time);
        ASSERT_EQ(Pass(*graph, time), (Names{ "A", "B", "C", "D" }));
        EXPECT_EQ(Record("A")->outputCount, 1);
        EXPECT_EQ(Record("B")->outputCount, 2);
        EXPECT_TRUE(Record("B")->inputHolds);
        EXPECT_TRUE(Record("C")->inputHolds);
        EXPECT_TRUE(Record("D")->inputHolds);
        ExpectNothingHeld(*graph);
    }
    EXPECT_EQ(TargetOf(*graph, 2)->acquisitions, 6u);
    EXPECT_EQ(TargetOf(*graph, 2)->invalidations, 3u);
}

TEST(GraphPass, AcquisitionsAreTakenOnlyForConsumersThatGiveThemBack)
{
    struct Case
    {
        const char* what;
        std::string xml;
        Names rendered; // in the second pass
        std::vector<std::pair<const char*, bool>> inputHolds; // by renderer
    };
    const Case cases[] = {
        // B stands before its producer A: B reads A's output before A draws.
        { "consumer before its producer",
          "<graph>" + Effect(2, "B") + Effect(1, "A", Animated("Value", 0, 100)) + Effect(3, "C") + Output +
              Link(1, 2) + Link(2, 3) + Link(3, 100) + "</graph>",
          { "B", "A" }, { { "B", false } } },
        // C is animated, its producer P is not: P does not render, C reads no target.
        { "animated consumer of a still producer",
          "<graph>" + Effect(1, "P") + Effect(2, "C", Animated("Value", 0, 100)) + Output + Link(1, 2) + Link(2, 100) +
              "</graph>",
          { "C" }, { { "C", false } } },
        // P draws into its pooled output (the last connection decides) and also feeds a
        // dynamic node that nobody gives an acquisition back for.
        { "pooled producer that also feeds a dynamic node",
          "<graph><node id='50' type='dynamic'><dynamic type='target'/></node>" +
              Effect(1, "P", Animated("Value", 0, 100)) + Effect(2, "C1") + Effect(3, "C2") + Output + Link(1, 50) +
              Link(1, 2) + Link(1, 3) + Link(2, 100) + Link(3, 100, "") + "</graph>",
          { "P", "C1", "C2" }, { { "C1", true }, { "C2", true } } },
        // Late stands before its producer E, which feeds only it.
        { "only consumer stands before",
          "<graph>" + Effect(7, "Late") + Effect(4, "E", Animated("Value", 0, 100)) + Output + Link(4, 7) +
              Link(7, 100) + "</graph>",
          { "Late", "E" }, { { "Late", false } } },
        // An effect whose last connection goes to a dynamic node is not pooled.
        { "producer into a dynamic node",
          "<graph>" + Effect(1, "E", Animated("Value", 0, 100)) + "<node id='2' type='dynamic'><dynamic type='target'/></node>" +
              Effect(3, "F") + Output + Link(1, 2) + Link(2, 3) + Link(3, 100) + "</graph>",
          { "E", "F" }, { { "F", true } } },
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.what);
        auto graph = LoadGraph(test.xml);
        ASSERT_NE(graph, nullptr);
        Pass(*graph, 0.0f);
        ExpectNothingHeld(*graph);
        for (int frame = 1; frame <= 100; ++frame)
        {
            const Names names = Pass(*graph, 0.5f * (float)frame);
            if (frame == 1)
            {
                EXPECT_EQ(names, test.rendered);
                for (const auto& [name, holds] : test.inputHolds)
                {
                    ASSERT_NE(Record(name), nullptr) << name;
                    EXPECT_EQ(Record(name)->inputHolds, holds) << name;
                }
            }
            ExpectNothingHeld(*graph);
            if (HasFailure())
                return;
        }
    }
}

TEST(GraphPass, EffectThatFeedsItselfKeepsItsOutputForItsOtherConsumers)
{
    auto graph = LoadGraph("<graph>" + Effect(1, "A", Animated("Value", 0, 100)) + Effect(2, "B") + Output +
                           Link(1, 1, "Second") + Link(1, 2) + Link(2, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);
    for (float time : { 0.0f, 1.0f })
    {
        ASSERT_EQ(Pass(*graph, time), (Names{ "A", "B" }));
        EXPECT_EQ(Record("A")->outputCount, 2);
        EXPECT_TRUE(Record("B")->inputHolds);
        ExpectNothingHeld(*graph);
    }
}

TEST(GraphPass, NodesSharingAnIdRenderWithoutKeepingTargets)
{
    // Both "a" and "b" have id 2; the connections reach "b", the later one.
    auto graph = LoadGraph("<graph>" + Effect(3, "c", Animated("Value", 0, 100)) + Effect(2, "a") + Effect(2, "b") +
                           Effect(4, "d") + Output + Link(3, 2) + Link(2, 4) + Link(4, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);
    ASSERT_EQ(graph->nodes.GetCount(), 5u);
    INode* earlier = graph->nodes[1];
    EXPECT_EQ(graph->FindNode(2), graph->nodes[2]);
    auto* unbound = static_cast<ProbeEffect*>(static_cast<NodeEffect*>(earlier)->GetEffect());
    EXPECT_EQ(unbound->inputsResolved, 0);
    EXPECT_EQ(unbound->output, nullptr);
    EXPECT_EQ(EffectOf(*graph, 2)->inputsResolved, 1);

    EXPECT_EQ(Pass(*graph, 0.0f), (Names{ "c", "a", "b", "d" }));
    ExpectNothingHeld(*graph);
    for (float time : { 1.0f, 2.0f })
    {
        EXPECT_EQ(Pass(*graph, time), (Names{ "c", "b", "d" }));
        EXPECT_TRUE(Record("b")->inputHolds);
        EXPECT_TRUE(Record("d")->inputHolds);
        ExpectNothingHeld(*graph);
    }
}

TEST(GraphPass, DynamicNodeKeepsItsTargetBetweenItsProducersRenders)
{
    auto graph = LoadGraph("<graph>" + Effect(1, "E", Animated("Value", 0, 1)) +
                           "<node id='2' type='dynamic'><dynamic type='target'/></node>" + Effect(3, "F") + Output +
                           Link(1, 2) + Link(2, 3) + Link(3, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);
    CountingTarget* store = TargetOf(*graph, 2);
    EXPECT_EQ(store->count, 1u);
    EXPECT_EQ(Pass(*graph, 0.5f), (Names{ "E", "F" }));
    EXPECT_EQ(Pass(*graph, 5.0f), Names{});
    EXPECT_EQ(store->count, 1u);
    EXPECT_EQ(store->invalidations, 1u);
    graph.reset();
    EXPECT_EQ(CountingTarget::live, 0);
}

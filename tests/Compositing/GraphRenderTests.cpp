// The frame render: which nodes render in a pass and in what order, and how pooled
// outputs are acquired and given back.
#include "CompositingFixture.h"

#include "Graphics/RenderTargetPool.h"
#include "RenderContext.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace Brivet;
using namespace Brivet::Compositing;
using namespace CompositingTest;

namespace
{
using Names = std::vector<std::string>;

Names Pass(Graph& graph, float time)
{
    Renders().clear();
    graph.Render(RenderContext::ForTime(time));
    return RenderedNames();
}

bool Presented(const Graph& graph)
{
    return graph.rendered[graph.nodes.GetCount() - 1];
}

uint32_t PoolEntries()
{
    return SharedDemo()->renderTargetPool.GetEntries().GetCount();
}

uint32_t PoolEntriesInUse()
{
    uint32_t inUse = 0;
    for (const auto& entry : SharedDemo()->renderTargetPool.GetEntries())
        inUse += entry.inUse ? 1 : 0;
    return inUse;
}

const RenderRecord* Record(const char* name)
{
    for (const RenderRecord& record : Renders())
    {
        if (record.name == name)
            return &record;
    }
    return nullptr;
}

const std::string Output = "<node id='100' type='output'/>";
} // namespace

TEST(GraphRender, FirstPassRendersEverythingThenAStaticGraphRendersNothing)
{
    ASSERT_NE(SharedDemo(), nullptr);
    auto graph = LoadGraph("<graph>" + Effect(1, "A", Animated("Value", 50, 1)) + Effect(2, "B") + Effect(3, "C") +
                           Effect(4, "Z") + Output + Link(1, 2) + Link(2, 3) + Link(3, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);

    // Whatever is animated, the first pass renders every effect in node order and presents.
    EXPECT_EQ(Pass(*graph, 0.0f), (Names{ "A", "B", "C", "Z" }));
    EXPECT_TRUE(Presented(*graph));
    for (bool flag : graph->dirty)
        EXPECT_FALSE(flag);

    for (float time : { 0.5f, 1.0f, 10.0f, 49.9f })
    {
        SCOPED_TRACE(time);
        EXPECT_EQ(Pass(*graph, time), Names{});
        EXPECT_FALSE(Presented(*graph));
    }
}

TEST(GraphRender, AnimatedNodesAndWhatTheyFeedRenderEveryPass)
{
    ASSERT_NE(SharedDemo(), nullptr);
    // A is animated from 0 to 10; X feeds B too but is constant; D feeds the output alone.
    auto graph = LoadGraph("<graph>" + Effect(1, "X", Constant("Value", 3)) + Effect(2, "A", Animated("Value", 0, 10)) +
                           Effect(3, "B") + Effect(4, "C") + Effect(5, "D") + Output + Link(1, 3, "Second") +
                           Link(2, 3) + Link(3, 4) + Link(4, 100) + Link(5, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(Pass(*graph, 0.0f), (Names{ "X", "A", "B", "C", "D" }));

    for (float time : { 1.0f, 2.0f, 2.5f, 9.0f })
    {
        SCOPED_TRACE(time);
        EXPECT_EQ(Pass(*graph, time), (Names{ "A", "B", "C" }));
        EXPECT_FLOAT_EQ(Renders()[0].time, time);
        EXPECT_TRUE(Presented(*graph));
    }

    // Outside the clip nothing is animated.
    EXPECT_EQ(Pass(*graph, 20.0f), Names{});
    EXPECT_FALSE(Presented(*graph));
}

TEST(GraphRender, PooledOutputsLiveFromTheirProducerToTheirLastConsumer)
{
    ASSERT_NE(SharedDemo(), nullptr);
    auto graph = LoadGraph("<graph>" + Effect(1, "A", Animated("Value", 0, 100)) + Effect(2, "B") + Effect(3, "C") +
                           Effect(4, "D") + Output + Link(1, 2) + Link(2, 3) + Link(2, 4) + Link(3, 100) +
                           Link(4, 100, "") + "</graph>");
    ASSERT_NE(graph, nullptr);
    const uint32_t entriesBefore = PoolEntriesInUse();

    for (float time : { 0.0f, 1.0f })
    {
        SCOPED_TRACE(time);
        ASSERT_EQ(Pass(*graph, time), (Names{ "A", "B", "C", "D" }));

        // One acquisition per consumer: A's target is held until B rendered, B's until
        // both C and D rendered.
        EXPECT_EQ(Record("A")->outputCount, 1);
        EXPECT_TRUE(Record("A")->outputHasTarget);
        EXPECT_EQ(Record("B")->outputCount, 2);
        EXPECT_TRUE(Record("B")->inputHasTarget);
        EXPECT_TRUE(Record("C")->inputHasTarget);
        EXPECT_TRUE(Record("D")->inputHasTarget);

        // Everything is back after the pass.
        for (uint32_t id : { 1u, 2u, 3u, 4u })
        {
            EXPECT_EQ(TargetOf(*graph, id)->count, 0u) << id;
            EXPECT_EQ(TargetOf(*graph, id)->target, nullptr) << id;
        }
        EXPECT_EQ(PoolEntriesInUse(), entriesBefore);
    }
    EXPECT_EQ(TargetOf(*graph, 2)->acquisitions, 4u);
    EXPECT_EQ(TargetOf(*graph, 2)->releases, 4u);
}

TEST(GraphRender, EffectThatFeedsItselfKeepsItsOutputForItsOtherConsumers)
{
    ASSERT_NE(SharedDemo(), nullptr);
    auto graph = LoadGraph("<graph>" + Effect(1, "A", Animated("Value", 0, 100)) + Effect(2, "B") + Output +
                           Link(1, 1, "Second") + Link(1, 2) + Link(2, 100) + "</graph>");
    ASSERT_NE(graph, nullptr);
    for (float time : { 0.0f, 1.0f })
    {
        SCOPED_TRACE(time);
        ASSERT_EQ(Pass(*graph, time), (Names{ "A", "B" }));
        // A's own release after its render leaves B's acquisition.
        EXPECT_EQ(Record("A")->outputCount, 2);
        EXPECT_TRUE(Record("B")->inputHasTarget);
        EXPECT_EQ(TargetOf(*graph, 1)->count, 0u);
        EXPECT_EQ(TargetOf(*graph, 1)->target, nullptr);
    }
}

TEST(GraphRender, PoolStaysBoundedWhateverTheConnections)
{
    ASSERT_NE(SharedDemo(), nullptr);
    LogCapture::Get().Clear();
    // P feeds a dynamic node, then two effects (so it is pooled); Late stands before its
    // producer E; R is animated while its producer Q is not.
    auto graph = LoadGraph("<graph><node id='50' type='dynamic' name='store'><dynamic type='testtarget'/></node>" +
                           Effect(7, "Late") + Effect(1, "P", Animated("Value", 0, 100)) + Effect(2, "C1") +
                           Effect(3, "C2") + Effect(4, "E", Animated("Value", 0, 100)) + Effect(5, "Q") +
                           Effect(6, "R", Animated("Value", 0, 100)) + Output + Link(1, 50) + Link(1, 2) + Link(1, 3) +
                           Link(4, 7) + Link(5, 6) + Link(2, 100, "") + Link(3, 100, "") + Link(7, 100, "") +
                           Link(6, 100, "") + "</graph>");
    ASSERT_NE(graph, nullptr);
    EXPECT_TRUE(Logged("[graph] Node 'Late' (7) stands before node 'E' (4) that feeds it"));

    Pass(*graph, 0.0f);
    const uint32_t entries = PoolEntries();
    const uint32_t inUse = PoolEntriesInUse();
    EXPECT_EQ(inUse, 1u); // the dynamic node's target

    for (int frame = 1; frame <= 1000; ++frame)
    {
        const Names names = Pass(*graph, 1.0f + 0.01f * (float)frame);
        if (frame == 1)
        {
            EXPECT_EQ(names, (Names{ "Late", "P", "C1", "C2", "E", "R" }));
            EXPECT_TRUE(Record("C1")->inputHasTarget);
            EXPECT_TRUE(Record("C2")->inputHasTarget);
            EXPECT_FALSE(Record("Late")->inputHasTarget); // E has not drawn yet
            EXPECT_FALSE(Record("R")->inputHasTarget); // Q did not render
        }
        for (INode* node : graph->nodes)
        {
            if (node->GetType() == INode::KindEffect)
            {
                ASSERT_EQ(TargetOf(*graph, node->id)->count, 0u) << node->name.GetText() << " in frame " << frame;
            }
        }
        ASSERT_EQ(PoolEntries(), entries) << "frame " << frame;
        ASSERT_EQ(PoolEntriesInUse(), inUse) << "frame " << frame;
    }
}

TEST(GraphRender, DynamicNodeKeepsItsTargetAndContent)
{
    ASSERT_NE(SharedDemo(), nullptr);
    const uint32_t inUseBefore = PoolEntriesInUse();
    {
        auto graph = LoadGraph("<graph>" + Effect(1, "E", Animated("Value", 0, 1)) +
                               "<node id='2' type='dynamic'><dynamic type='testtarget'/></node>" + Effect(3, "F") +
                               Output + Link(1, 2) + Link(2, 3) + Link(3, 100) + "</graph>");
        ASSERT_NE(graph, nullptr);
        TargetResource* store = TargetOf(*graph, 2);
        ASSERT_NE(store->target, nullptr);
        EXPECT_EQ(store->count, 1u);
        Graphics::ITexture* target = store->target;

        ASSERT_EQ(Pass(*graph, 0.5f), (Names{ "E", "F" }));
        EXPECT_TRUE(Record("E")->outputHasTarget); // E draws into the node's target
        EXPECT_TRUE(Record("F")->inputHasTarget); // F reads the dynamic node
        EXPECT_EQ(store->invalidations, 1u);

        EXPECT_EQ(Pass(*graph, 0.6f), (Names{ "E", "F" }));
        EXPECT_EQ(store->invalidations, 2u);

        // E is no longer animated: nothing renders, the target and its content stay.
        EXPECT_EQ(Pass(*graph, 5.0f), Names{});
        EXPECT_EQ(store->invalidations, 2u);
        EXPECT_EQ(store->target, target);
        EXPECT_EQ(store->count, 1u);
        EXPECT_EQ(store->acquisitions, 1u);
        EXPECT_EQ(PoolEntriesInUse(), inUseBefore + 1);
    }
    EXPECT_EQ(PoolEntriesInUse(), inUseBefore);
    EXPECT_EQ(TargetResource::live, 0);
}

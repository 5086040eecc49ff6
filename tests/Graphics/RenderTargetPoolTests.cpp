// Render-target pool: matching, reuse, creation failures, release checks and log lines,
// with the targets made by a test factory.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Graphics/RenderTargetPool.h"
#include "LogCapture.h"

using Brivet::Graphics::ITexture;
using Brivet::Graphics::RenderTargetPool;
using Brivet::Graphics::System;
using Kind = RenderTargetPool::TargetKind;
using Description = RenderTargetPool::Description;

namespace
{

constexpr uint32_t R8G8B8A8_UNORM = 28;
constexpr uint32_t R32_FLOAT = 41;
constexpr uint32_t D16_UNORM = 55;
constexpr uint32_t D32_FLOAT = 40;

// What the factory was asked for. The pool only stores and compares target pointers, so a
// made record stands for its target by address.
struct Made
{
    Kind kind;
    Description description;
    bool destroyed = false;
};

std::vector<std::unique_ptr<Made>> g_made;
int g_failures = 0; // the next creations that fail

ITexture* FakeCreate(System*, Kind kind, const Description& description)
{
    if (g_failures > 0)
    {
        --g_failures;
        return nullptr;
    }
    g_made.push_back(std::make_unique<Made>(Made{kind, description}));
    return reinterpret_cast<ITexture*>(g_made.back().get());
}

void FakeDestroy(ITexture* target)
{
    reinterpret_cast<Made*>(target)->destroyed = true;
}

Made* MadeFor(ITexture* target)
{
    return reinterpret_cast<Made*>(target);
}

class RenderTargetPoolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_made.clear();
        g_failures = 0;
        LogCapture::Get().Clear();
    }

    static Description Colour(uint32_t width, uint32_t height, uint32_t flags = 3)
    {
        Description d;
        d.width = width;
        d.height = height;
        d.format = R8G8B8A8_UNORM;
        d.flags = flags;
        return d;
    }

    static std::vector<std::string> Lines(int32_t level)
    {
        std::vector<std::string> texts;
        for (const LogCapture::Line& line : LogCapture::Get().Lines(level))
            texts.push_back(line.text);
        return texts;
    }

    static uint32_t InUse(const RenderTargetPool& pool)
    {
        uint32_t count = 0;
        for (const RenderTargetPool::RenderTargetEntry& entry : pool.GetEntries())
            count += entry.inUse ? 1 : 0;
        return count;
    }

    RenderTargetPool pool{nullptr, RenderTargetPool::TargetFactory{FakeCreate, FakeDestroy}};
};

} // namespace

TEST_F(RenderTargetPoolTest, DefaultDescriptionIsAShaderReadableRenderTarget)
{
    const Description d;
    EXPECT_EQ(d.width, 0u);
    EXPECT_EQ(d.height, 0u);
    EXPECT_EQ(d.depth, 0u);
    EXPECT_EQ(d.type, 1u);
    EXPECT_EQ(d.format, 0u);
    EXPECT_EQ(d.flags, 3u);
}

TEST_F(RenderTargetPoolTest, LentTargetsAreNotSharedAndTheEarliestFreeOneIsReused)
{
    const Description d = Colour(64, 32);
    ITexture* first = pool.Acquire(d);
    ITexture* second = pool.Acquire(d);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(g_made.size(), 2u);

    pool.Release(first);
    EXPECT_EQ(pool.Acquire(d), first);

    pool.Release(second);
    pool.Release(first);
    EXPECT_EQ(pool.Acquire(d), first); // earliest free in creation order
    EXPECT_EQ(pool.Acquire(d), second);
    EXPECT_EQ(g_made.size(), 2u);
    EXPECT_EQ(pool.GetEntries().GetCount(), 2u);
}

TEST_F(RenderTargetPoolTest, OnlyAnIdenticalDescriptionReusesAFreeTarget)
{
    const Description base = Colour(64, 64);
    ITexture* target = pool.Acquire(base);
    pool.Release(target);

    struct Variation
    {
        const char* field;
        Description description;
    };
    std::vector<Variation> variations;
    Description d = base;
    d.width = 65;
    variations.push_back({"width", d});
    d = base;
    d.height = 63;
    variations.push_back({"height", d});
    d = base;
    d.depth = 1;
    variations.push_back({"depth", d});
    d = base;
    d.type = 7;
    variations.push_back({"type", d});
    d = base;
    d.format = R32_FLOAT;
    variations.push_back({"format", d});
    d = base;
    d.flags = 35;
    variations.push_back({"flags", d});

    for (const Variation& v : variations)
    {
        ITexture* other = pool.Acquire(v.description);
        EXPECT_NE(other, target) << v.field;
        pool.Release(other);
    }
    EXPECT_EQ(g_made.size(), 1u + variations.size());
    EXPECT_EQ(pool.Acquire(base), target);
}

TEST_F(RenderTargetPoolTest, DescriptionChoosesTheKindOfTarget)
{
    struct Case
    {
        uint32_t type;
        uint32_t format;
        Kind kind;
    };
    const Case cases[] = {
        {1, R8G8B8A8_UNORM, Kind::RenderTarget}, {7, R8G8B8A8_UNORM, Kind::RenderTarget},
        {3, R8G8B8A8_UNORM, Kind::Cube},         {0, R32_FLOAT, Kind::Texture1D},
        {2, R32_FLOAT, Kind::Texture3D},         {1, 20, Kind::DepthStencil},
        {1, D32_FLOAT, Kind::DepthStencil},      {1, 45, Kind::DepthStencil},
        {1, D16_UNORM, Kind::DepthStencil},      {3, D16_UNORM, Kind::DepthStencil},
    };
    for (const Case& c : cases)
    {
        Description d = Colour(32, 32);
        d.type = c.type;
        d.format = c.format;
        EXPECT_EQ(RenderTargetPool::KindOf(d), c.kind) << c.type << " " << c.format;
    }

    // Each depth format is its own description: two depth buffers.
    Description depth16 = Colour(32, 32);
    depth16.format = D16_UNORM;
    Description depth32 = depth16;
    depth32.format = D32_FLOAT;
    ITexture* a = pool.Acquire(depth16);
    ITexture* b = pool.Acquire(depth32);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(MadeFor(a)->kind, Kind::DepthStencil);
    EXPECT_EQ(MadeFor(b)->kind, Kind::DepthStencil);
    EXPECT_EQ(MadeFor(b)->description.format, D32_FLOAT);
}

TEST_F(RenderTargetPoolTest, CreationIsLoggedByType)
{
    struct Case
    {
        uint32_t type;
        uint32_t format;
        const char* line; // null: no line
    };
    const Case cases[] = {
        {0, R32_FLOAT, "[rendertargetpool] Creating a new 1D texture: 256 (R32_FLOAT, 3)"},
        {1, R8G8B8A8_UNORM, "[rendertargetpool] Creating a new 2D texture: 256 x 128 (R8G8B8A8_UNORM, 3)"},
        {2, R32_FLOAT, "[rendertargetpool] Creating a new 3D texture: 256 x 128 x 16 (R32_FLOAT, 3)"},
        {3, R8G8B8A8_UNORM, "[rendertargetpool] Creating a new cube texture: 256 x 256 x 256 (R8G8B8A8_UNORM, 3)"},
        {1, 44, "[rendertargetpool] Creating a new 2D texture: 256 x 128 (format 44, 3)"}, // no name in the table
        {5, R8G8B8A8_UNORM, nullptr},
    };
    for (const Case& c : cases)
    {
        LogCapture::Get().Clear();
        Description d = Colour(256, 128);
        d.depth = 16;
        d.type = c.type;
        d.format = c.format;
        ASSERT_NE(pool.Acquire(d), nullptr);
        const std::vector<std::string> info = Lines(Brivet::Utility::Log::LevelInfo);
        if (c.line)
        {
            ASSERT_EQ(info.size(), 1u) << c.type;
            EXPECT_EQ(info[0], c.line);
        }
        else
        {
            EXPECT_TRUE(info.empty()) << info[0];
        }
    }

    // Flags are hexadecimal; a reused target logs nothing.
    LogCapture::Get().Clear();
    ITexture* target = pool.Acquire(Colour(8, 8, 35));
    EXPECT_EQ(Lines(Brivet::Utility::Log::LevelInfo),
              std::vector<std::string>{"[rendertargetpool] Creating a new 2D texture: 8 x 8 (R8G8B8A8_UNORM, 23)"});
    pool.Release(target);
    LogCapture::Get().Clear();
    EXPECT_EQ(pool.Acquire(Colour(8, 8, 35)), target);
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(RenderTargetPoolTest, FailedCreationIsLoggedAndLeavesNoEntry)
{
    Description cube = Colour(64, 0, 0x23);
    cube.type = RenderTargetPool::TypeCube;
    const Description colour = Colour(64, 64);

    // Frame after frame the same requests fail: the pool must not grow.
    for (int frame = 0; frame < 3; ++frame)
    {
        LogCapture::Get().Clear();
        g_failures = 2;
        EXPECT_EQ(pool.Acquire(colour), nullptr);
        EXPECT_EQ(pool.Acquire(cube), nullptr);
        EXPECT_EQ(Lines(Brivet::Utility::Log::LevelError),
                  (std::vector<std::string>{"[rendertargetpool] Failed to create render target in pool!",
                                            "[rendertargetpool] Failed to create render target cube in pool!"}));
        EXPECT_EQ(pool.GetEntries().GetCount(), 0u);
    }

    // Once creation works again the request is served and kept.
    ITexture* target = pool.Acquire(colour);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(pool.GetEntries().GetCount(), 1u);
    pool.Release(target);
    EXPECT_EQ(pool.Acquire(colour), target);
}

TEST_F(RenderTargetPoolTest, ReleasingTwiceIsHarmlessAndLeavesOtherLoansAlone)
{
    const Description d = Colour(32, 32);
    ITexture* first = pool.Acquire(d);
    ITexture* second = pool.Acquire(d);

    pool.Release(first);
    pool.Release(first);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
    EXPECT_EQ(InUse(pool), 1u);
    EXPECT_TRUE(pool.GetEntries()[1].inUse); // second stays lent

    // The freed target is lent once, then a new one is made.
    EXPECT_EQ(pool.Acquire(d), first);
    ITexture* third = pool.Acquire(d);
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
}

TEST_F(RenderTargetPoolTest, ReleasingAPointerThePoolNeverLentAssertsAndChangesNothing)
{
    const Description d = Colour(32, 32);
    ITexture* lent = pool.Acquire(d);
    Made stranger{Kind::RenderTarget, d};

    for (ITexture* foreign : {reinterpret_cast<ITexture*>(&stranger), static_cast<ITexture*>(nullptr)})
    {
        LogCapture::Get().Clear();
        pool.Release(foreign);
        const std::vector<std::string> boxes = LogCapture::Get().Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "BRIVET ASSERT:\n\nFile: Graphics/RenderTargetPool\nLine: 104\n\n"
                            "Trying to release render target that's not in the pool!\n\nDo you want to break?");
        EXPECT_EQ(pool.GetEntries().GetCount(), 1u);
        EXPECT_EQ(InUse(pool), 1u);
    }
    EXPECT_NE(pool.Acquire(d), lent);
}

TEST_F(RenderTargetPoolTest, ClearDestroysEveryTargetAndEmptiesThePool)
{
    ITexture* lent = pool.Acquire(Colour(16, 16));
    ITexture* free = pool.Acquire(Colour(32, 32));
    pool.Release(free);
    LogCapture::Get().Clear();

    pool.Clear();
    EXPECT_TRUE(MadeFor(lent)->destroyed);
    EXPECT_TRUE(MadeFor(free)->destroyed);
    EXPECT_EQ(pool.GetEntries().GetCount(), 0u);
    EXPECT_EQ(Lines(Brivet::Utility::Log::LevelInfo), std::vector<std::string>{"[rendertargetpool] Pool cleared"});

    // An empty pool only logs; a new request creates anew.
    LogCapture::Get().Clear();
    pool.Clear();
    EXPECT_EQ(LogCapture::Get().Lines().size(), 1u);
    EXPECT_EQ(g_made.size(), 2u);
    pool.Acquire(Colour(16, 16));
    EXPECT_EQ(g_made.size(), 3u);
}

TEST_F(RenderTargetPoolTest, DestructorClears)
{
    Made* made = nullptr;
    {
        RenderTargetPool local(nullptr, RenderTargetPool::TargetFactory{FakeCreate, FakeDestroy});
        made = MadeFor(local.Acquire(Colour(16, 16)));
        LogCapture::Get().Clear();
    }
    EXPECT_TRUE(made->destroyed);
    EXPECT_EQ(Lines(Brivet::Utility::Log::LevelInfo), std::vector<std::string>{"[rendertargetpool] Pool cleared"});
}

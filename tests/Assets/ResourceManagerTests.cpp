// The resource manager: factory table by type name, shared file resources counted by
// reference, dynamic resources handed back to their factory.
#include "Assets/Resource/Manager.h"

#include "Assets/Resource/FactoryInfo.h"
#include "Base/Hash.h"
#include "LogCapture.h"
#include "TestTypes.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using Brivet::Assets::Resource::IResource;
using Brivet::Assets::Resource::IResourceFactory;
using Brivet::Assets::Resource::Manager;
using Brivet::Base::StaticString;
using namespace AssetsTest;

namespace
{
class ResourceManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LogCapture::Get().Clear();
        ASSERT_TRUE(manager.RegisterFactory(&textures));
        ASSERT_TRUE(manager.RegisterFactory(&fonts));
        ASSERT_TRUE(manager.RegisterFactory(&chunks));
    }

    static bool AnyLine(const char* text)
    {
        for (const auto& line : LogCapture::Get().Lines())
        {
            if (line.text.find(text) != std::string::npos)
                return true;
        }
        return false;
    }

    TestResourceFactory textures{"texture", true, true};
    TestResourceFactory fonts{"Font", true, false};
    TestResourceFactory chunks{"RenderChunk", false, true};
    Manager manager{nullptr};
};

TEST_F(ResourceManagerTest, FileResourceIsLoadedOnceSharedAndDeletedWithTheLastReference)
{
    IResource* first = manager.GetResource(nullptr, "texture", "images/logo.png", nullptr);
    IResource* second = manager.GetResource(nullptr, "texture", "images/logo.png", nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->refCount, 2u);
    EXPECT_EQ(textures.counters.loads, 1);
    EXPECT_EQ(manager.GetCache().GetCount(), 1u);

    manager.ReleaseResource(first);
    EXPECT_EQ(second->refCount, 1u);
    EXPECT_EQ(textures.counters.unloads, 0);
    EXPECT_EQ(manager.GetCache().GetCount(), 1u);

    manager.ReleaseResource(second);
    EXPECT_EQ(textures.counters.unloads, 1);
    EXPECT_EQ(textures.counters.deletes, 1);
    EXPECT_EQ(manager.GetCache().GetCount(), 0u);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());

    // The path is loaded anew on the next request.
    IResource* again = manager.GetResource(nullptr, "texture", "images/logo.png", nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(textures.counters.loads, 2);
    EXPECT_EQ(again->refCount, 1u);
    manager.ReleaseResource(again);
    EXPECT_EQ(textures.counters.deletes, 2);
}

TEST_F(ResourceManagerTest, RequestsThatLoadNothingLeaveTheCacheAsItWas)
{
    struct Case
    {
        const char* type;
        const char* path;
        int loads; // of the texture factory
    };
    const Case cases[] = {
        {"texture", "images/missing.png", 1}, // the factory's load fails
        {"sprite", "images/a.png", 0}, // no factory of that name
        {"RenderChunk", "chunks/a.bin", 0}, // a type without a file form
        {"", "images/a.png", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.type) + " " + c.path);
        textures.counters = Counters();
        EXPECT_EQ(manager.GetResource(nullptr, c.type, c.path, nullptr), nullptr);
        EXPECT_EQ(manager.GetCache().GetCount(), 0u);
        EXPECT_EQ(textures.counters.loads, c.loads);
        EXPECT_EQ(textures.counters.deletes, c.loads);
    }
    // The manager itself says nothing: the node that asked reports the failure.
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(ResourceManagerTest, CachedPathAskedForAsAnotherTypeFailsWithALine)
{
    IResource* texture = manager.GetResource(nullptr, "texture", "data/shared.bin", nullptr);
    ASSERT_NE(texture, nullptr);

    EXPECT_EQ(manager.GetResource(nullptr, "Font", "data/shared.bin", nullptr), nullptr);
    EXPECT_EQ(texture->refCount, 1u);
    EXPECT_EQ(fonts.counters.loads, 0);
    const auto errors = LogCapture::Get().Lines(Brivet::Utility::Log::LevelError);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "[resource] 'data/shared.bin' is loaded as 'texture', not as 'Font'");

    manager.ReleaseResource(texture);
    EXPECT_EQ(textures.counters.deletes, 1);
}

TEST_F(ResourceManagerTest, ReleasingAResourceTheCacheDoesNotHoldKeepsItAlive)
{
    // A dynamic resource has refCount 0: releasing it must not wrap the count.
    IResource* dynamic = manager.CreateDynamic(nullptr, "texture", nullptr);
    ASSERT_NE(dynamic, nullptr);
    manager.ReleaseResource(dynamic);
    EXPECT_EQ(dynamic->refCount, 0u);
    EXPECT_EQ(textures.counters.unloads, 0);
    EXPECT_EQ(textures.counters.deletes, 0);

    // A counted resource that is not in the cache reaches 0 and stays alive.
    dynamic->refCount = 1;
    manager.ReleaseResource(dynamic);
    EXPECT_EQ(dynamic->refCount, 0u);
    EXPECT_EQ(textures.counters.deletes, 0);

    const auto boxes = LogCapture::Get().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const std::string& box : boxes)
    {
        EXPECT_NE(box.find("File: Assets/Resource/Manager\nLine: 78"), std::string::npos) << box;
        EXPECT_NE(box.find("Resource not found in cache!"), std::string::npos) << box;
    }

    manager.DestroyDynamic("texture", dynamic);
    EXPECT_EQ(textures.counters.deletes, 1);
    manager.ReleaseResource(nullptr);
}

TEST_F(ResourceManagerTest, DynamicResourceIsCreatedFromItsDescriptionAndHandedBackToItsFactory)
{
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load("<dynamic type=\"texture\" name=\"target\"/>"));
    const Brivet::Utility::XML::Node element(document.GetHandle()->first_child(), &document);

    IResource* first = manager.CreateDynamic(nullptr, "texture", &element);
    IResource* second = manager.CreateDynamic(nullptr, "texture", &element);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(static_cast<TestResource*>(first)->description, "target");
    EXPECT_EQ(first->refCount, 0u);
    EXPECT_EQ(manager.GetCache().GetCount(), 0u);

    manager.DestroyDynamic("texture", first);
    manager.DestroyDynamic("texture", second);
    ASSERT_EQ(textures.destroyed.size(), 2u);
    EXPECT_EQ(textures.destroyed[0], first);
    EXPECT_EQ(textures.destroyed[1], second);
    EXPECT_EQ(textures.counters.deletes, 2);

    // Not dynamic, or not registered: nothing is created.
    EXPECT_EQ(manager.CreateDynamic(nullptr, "Font", &element), nullptr);
    EXPECT_EQ(manager.CreateDynamic(nullptr, "gbuffer", &element), nullptr);
    EXPECT_EQ(fonts.counters.dynamicCreates, 0);
    IResource* chunk = manager.CreateDynamic(nullptr, "RenderChunk", nullptr);
    ASSERT_NE(chunk, nullptr);
    manager.DestroyDynamic("RenderChunk", chunk);
    EXPECT_EQ(chunks.counters.destroys, 1);
}

TEST(ResourceManagerRegistration, FactoryThatCannotDescribeItselfIsNotStoredAndLaterNamesWin)
{
    Manager manager(nullptr);
    TestResourceFactory refusing("texture", true, true, false);
    TestResourceFactory first("texture", true, true);
    TestResourceFactory second("texture", true, false);

    EXPECT_FALSE(manager.RegisterFactory(&refusing));
    EXPECT_FALSE(manager.RegisterFactory(nullptr));
    EXPECT_FALSE(manager.FindFactory("texture", nullptr));

    EXPECT_TRUE(manager.RegisterFactory(&first));
    EXPECT_TRUE(manager.RegisterFactory(&second));
    EXPECT_TRUE(manager.RegisterFactory(&second));
    EXPECT_EQ(manager.GetFactories().GetCount(), 1u);
    IResourceFactory* found = nullptr;
    ASSERT_TRUE(manager.FindFactory("texture", &found));
    EXPECT_EQ(found, &second);
}

// Where a lookup of variant finds the entry in entrySlot: the probe starts at the
// exact hash and walks on until the entry or the first unused slot. The low five
// bits of the hash do not depend on letter case, so only tables of 64 slots or more
// start another spelling elsewhere.
template <typename K, typename V>
bool ProbeReaches(const Brivet::Base::Dictionary<K, V>& table, const std::string& variant, uint32_t entrySlot)
{
    const uint32_t mask = table.GetCapacity() - 1;
    uint32_t slot = static_cast<uint32_t>(Brivet::Base::NameHash(variant.c_str(), static_cast<uint32_t>(variant.size()))) & mask;
    for (uint32_t i = 0; i < table.GetCapacity(); ++i, slot = (slot + 1) & mask)
    {
        if (slot == entrySlot)
            return true;
        if (table.GetSlot(slot).flags == 0)
            return false;
    }
    return false;
}

template <typename K, typename V>
uint32_t SlotOf(const Brivet::Base::Dictionary<K, V>& table, const V& value)
{
    for (uint32_t i = 0; i < table.GetCapacity(); ++i)
    {
        if (table.GetSlot(i).IsLive() && table.GetSlot(i).value == value)
            return i;
    }
    return ~0u;
}

TEST(ResourceManagerHashing, TypeNamesInAnotherSpellingAreFoundOnlyAsTheProbeAllows)
{
    Manager manager(nullptr);
    std::vector<std::unique_ptr<TestResourceFactory>> fillers;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back("filler" + std::to_string(i));
    for (const std::string& name : names)
    {
        fillers.push_back(std::make_unique<TestResourceFactory>(name.c_str(), true, false));
        ASSERT_TRUE(manager.RegisterFactory(fillers.back().get()));
    }
    TestResourceFactory chunks("RenderChunk", false, true);
    ASSERT_TRUE(manager.RegisterFactory(&chunks));
    ASSERT_EQ(manager.GetFactories().GetCapacity(), 64u);
    const uint32_t entrySlot = SlotOf<StaticString<64>, IResourceFactory*>(manager.GetFactories(), &chunks);

    int reached = 0, missed = 0;
    for (const std::string& variant : CaseVariants("RenderChunk"))
    {
        const bool expected = ProbeReaches(manager.GetFactories(), variant, entrySlot);
        IResourceFactory* found = nullptr;
        EXPECT_EQ(manager.FindFactory(variant.c_str(), &found), expected) << variant;
        if (expected)
        {
            EXPECT_EQ(found, &chunks);
        }
        (expected ? reached : missed)++;
    }
    EXPECT_TRUE(manager.FindFactory("RenderChunk", nullptr));
    EXPECT_GT(reached, 1);
    EXPECT_GT(missed, 0);
    EXPECT_FALSE(manager.FindFactory("RenderChunks", nullptr));
}

TEST(ResourceManagerHashing, PathInAnotherSpellingSharesTheEntryOrIsRefused)
{
    LogCapture::Get().Clear();
    Manager manager(nullptr);
    TestResourceFactory textures("texture", true, true);
    ASSERT_TRUE(manager.RegisterFactory(&textures));

    std::vector<IResource*> fillers;
    for (int i = 0; i < 40; ++i)
        fillers.push_back(manager.GetResource(nullptr, "texture", ("fill/" + std::to_string(i)).c_str(), nullptr));
    const std::string path = "Tex/Logo.png";
    IResource* original = manager.GetResource(nullptr, "texture", path.c_str(), nullptr);
    ASSERT_NE(original, nullptr);
    ASSERT_EQ(manager.GetCache().GetCapacity(), 64u);
    const uint32_t entrySlot = SlotOf<Brivet::Base::String, IResource*>(manager.GetCache(), original);

    uint32_t references = 1;
    int refused = 0;
    for (const std::string& variant : CaseVariants(path))
    {
        IResource* resource = manager.GetResource(nullptr, "texture", variant.c_str(), nullptr);
        if (ProbeReaches(manager.GetCache(), variant, entrySlot))
        {
            EXPECT_EQ(resource, original) << variant;
            ++references;
        }
        else
        {
            // The cache keeps one entry per path whatever its spelling: loading a second
            // copy would leave two entries that a removal could not tell apart.
            EXPECT_EQ(resource, nullptr) << variant;
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(references, 2u);
    EXPECT_EQ(original->refCount, references);
    EXPECT_EQ(textures.counters.loads, 41);
    EXPECT_EQ(manager.GetCache().GetCount(), 41u);
    const auto errors = LogCapture::Get().Lines(Brivet::Utility::Log::LevelError);
    EXPECT_EQ(errors.size(), static_cast<size_t>(refused));
    if (!errors.empty())
    {
        EXPECT_NE(errors[0].text.find("is already loaded as 'Tex/Logo.png'"), std::string::npos) << errors[0].text;
    }

    for (uint32_t i = 0; i < references; ++i)
        manager.ReleaseResource(original);
    for (IResource* filler : fillers)
        manager.ReleaseResource(filler);
    EXPECT_EQ(textures.counters.deletes, 41);
    EXPECT_EQ(manager.GetCache().GetCount(), 0u);
    EXPECT_TRUE(LogCapture::Get().Boxes().empty());
}

TEST(ResourceManagerCache, ManyPathsSurviveGrowthAndRemovalInAnyOrder)
{
    Manager manager(nullptr);
    TestResourceFactory textures("texture", true, true);
    ASSERT_TRUE(manager.RegisterFactory(&textures));

    std::vector<IResource*> resources;
    for (int i = 0; i < 40; ++i)
    {
        char path[32];
        snprintf(path, sizeof path, "textures/%02d.png", i);
        resources.push_back(manager.GetResource(nullptr, "texture", path, nullptr));
        ASSERT_NE(resources.back(), nullptr);
    }
    // Release every other one, then ask for all again: the kept ones are shared.
    for (int i = 0; i < 40; i += 2)
        manager.ReleaseResource(resources[i]);
    EXPECT_EQ(textures.counters.deletes, 20);
    for (int i = 0; i < 40; ++i)
    {
        char path[32];
        snprintf(path, sizeof path, "textures/%02d.png", i);
        IResource* resource = manager.GetResource(nullptr, "texture", path, nullptr);
        if (i % 2)
        {
            EXPECT_EQ(resource, resources[i]);
        }
        resources[i] = resource;
    }
    EXPECT_EQ(textures.counters.loads, 60);
    for (int i = 0; i < 40; ++i)
    {
        manager.ReleaseResource(resources[i]);
        if (i % 2)
            manager.ReleaseResource(resources[i]);
    }
    EXPECT_EQ(textures.counters.deletes, 60);
    EXPECT_EQ(manager.GetCache().GetCount(), 0u);
}
} // namespace

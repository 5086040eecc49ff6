// The demo object: loading the description section by section with its lines
// and progress calls, the factory tables, and the system start and stop.
#include "Demo.h"

#include "Assets/Effect/IEffectFactory.h"
#include "Assets/Resource/IResource.h"
#include "Assets/Resource/IResourceFactory.h"
#include "Audio/IBackend.h"
#include "Graphics/StartupSettings.h"

#include "LogCapture.h"
#include "MemoryArchive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace Brivet;

namespace
{
class ProgressDemo : public Demo
{
public:
    void OnLoadProgress(float fraction) override { progress.push_back(fraction); }
    std::vector<float> progress;
};

std::string FixturePath(const char* name)
{
    const char* folder = getenv("BRIVET_DEMO_FIXTURES");
    return std::string(folder ? folder : ".") + "/" + name;
}

std::vector<std::string> Errors()
{
    std::vector<std::string> texts;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(Utility::Log::LevelError))
        texts.push_back(line.text);
    return texts;
}

MemoryArchive DescriptionArchive(const std::string& xml)
{
    MemoryArchive archive;
    archive.entries["brivet.xml"] = xml;
    return archive;
}

class NamedResourceFactory : public Assets::Resource::IResourceFactory
{
public:
    NamedResourceFactory(const char* name, bool describes) : name(name), describes(describes) {}
    bool GetInfo(Assets::Resource::FactoryInfo& info) override
    {
        info.name = Base::StaticString<64>(name);
        return describes;
    }
    const char* name;
    bool describes;
};

class NamedEffectFactory : public Assets::Effect::IEffectFactory
{
public:
    explicit NamedEffectFactory(const char* name) : name(name) {}
    Base::StaticString<64> GetName() override { return Base::StaticString<64>(name); }
    Assets::Effect::IEffect* Create(Demo*) override { return nullptr; }
    const char* name;
};
} // namespace

TEST(Demo, DescriptionWithoutRootLoadsAsAnEmptyDemo)
{
    MemoryArchive archive = DescriptionArchive("<other><properties name='not read'/></other>");
    ProgressDemo demo;
    LogCapture::Get().Clear();
    ASSERT_TRUE(demo.Preload(&archive));
    ASSERT_TRUE(demo.Load(&archive));
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(demo.name.GetLength(), 0u);
    EXPECT_EQ(demo.loadingShader.GetLength(), 0u);
    EXPECT_EQ(demo.renderer.clips.GetCount(), 0u);
    EXPECT_FLOAT_EQ(demo.GetLength(), 60.0f);
    EXPECT_EQ(demo.graphs.GetCount(), 0u);
    EXPECT_EQ(demo.preheatTimes.GetCount(), 0u);
    ASSERT_EQ(demo.rhythm.changes.GetCount(), 1u);
    EXPECT_EQ(demo.rhythm.changes[0].bpm, 120u);
    EXPECT_EQ(demo.progress, (std::vector<float>{ 0.0f, 1.0f }));
    EXPECT_EQ(demo.archive, &archive); // kept after Load for later resource loads
    demo.Render(1.0f); // no graph: nothing to do
}

TEST(Demo, LoadTakesEverySection)
{
    MemoryArchive archive = DescriptionArchive(R"(<brivet>
        <properties name="Tovrel" loadingShader="bar.fx"><clip filename="a.ogg"/></properties>
        <preheat><marker>1</marker><marker>2.5</marker><marker>4</marker></preheat>
        <audio><clip filename="b.ogg" position="30"/></audio>
        <rhythm><change time="0" bpm="140" signature="3/4"/><marker time="8"/></rhythm>
        <compositing/>
    </brivet>)");
    ASSERT_TRUE(archive.AddFile("a.ogg", FixturePath("second.ogg")));
    ASSERT_TRUE(archive.AddFile("b.ogg", FixturePath("second.ogg")));

    ProgressDemo demo;
    demo.renderer.sampleRate = 44100;
    LogCapture::Get().Clear();
    ASSERT_TRUE(demo.Load(&archive)) << ::testing::PrintToString(Errors());
    EXPECT_STREQ(demo.name.GetText(), "Tovrel");
    EXPECT_STREQ(demo.loadingShader.GetText(), "bar.fx");
    ASSERT_EQ(demo.preheatTimes.GetCount(), 3u);
    EXPECT_FLOAT_EQ(demo.preheatTimes[1], 2.5f);

    // The clips of "properties" come before those of "audio".
    ASSERT_EQ(demo.renderer.clips.GetCount(), 2u);
    EXPECT_STREQ(demo.renderer.clips[0].name.GetText(), "a.ogg");
    EXPECT_STREQ(demo.renderer.clips[1].name.GetText(), "b.ogg");
    EXPECT_EQ(demo.renderer.clips[1].startSample, 30u * 44100u);
    EXPECT_NEAR(demo.GetLength(), 31.0f, 0.01f);

    ASSERT_EQ(demo.rhythm.changes.GetCount(), 1u);
    EXPECT_EQ(demo.rhythm.changes[0].numerator, 3u);
    ASSERT_EQ(demo.rhythm.markers.GetCount(), 1u);
    EXPECT_EQ(demo.progress, (std::vector<float>{ 0.0f, 1.0f }));
}

TEST(Demo, PreloadReadsOnlyTheProperties)
{
    MemoryArchive archive = DescriptionArchive(R"(<brivet>
        <properties name="Caf&#233;"/>
        <audio><clip filename="missing.ogg"/></audio>
    </brivet>)");
    ProgressDemo demo;
    LogCapture::Get().Clear();
    ASSERT_TRUE(demo.Preload(&archive));
    EXPECT_TRUE(Errors().empty());
    EXPECT_STREQ(demo.name.GetText(), "Caf\xc3\xa9");
    EXPECT_EQ(demo.archive, nullptr);
    EXPECT_TRUE(demo.progress.empty());

    // The unreadable clip is noticed by Load only; the clip loader's lines come first.
    ASSERT_FALSE(demo.Load(&archive));
    const std::vector<std::string> errors = Errors();
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors.back(), "[demo] Failed to load Audio");
    EXPECT_EQ(errors[errors.size() - 2], "[demo] Unable to load audio clip 'missing.ogg'");
    EXPECT_EQ(demo.progress, std::vector<float>{ 0.0f });
}

TEST(Demo, PreloadAndLoadFailuresLogTheirLines)
{
    struct Case
    {
        const char* what;
        bool archive, present;
        const char* xml;
        std::vector<std::string> errors;
    } cases[] = {
        { "no archive", false, false, "", { "[demo] Archive invalid" } },
        { "no description", true, false, "", { "[demo] brivet.xml not found", "[demo] Failed to load XML" } },
        { "not XML", true, true, "not XML at all", { "[demo] Failed to parse brivet.xml", "[demo] Failed to load XML" } },
    };
    for (const Case& c : cases)
    {
        MemoryArchive archive;
        if (c.present)
            archive.entries["brivet.xml"] = c.xml;
        Utility::Archive::IArchive* source = c.archive ? &archive : nullptr;

        ProgressDemo demo;
        LogCapture::Get().Clear();
        EXPECT_FALSE(demo.Preload(source)) << c.what;
        EXPECT_EQ(Errors(), c.errors) << c.what;
        EXPECT_EQ(demo.archive, nullptr) << c.what;

        LogCapture::Get().Clear();
        EXPECT_FALSE(demo.Load(source)) << c.what;
        EXPECT_EQ(Errors(), c.errors) << c.what;
    }
}

namespace
{
// A file resource that counts the live objects of its type.
class CountedResource : public Assets::Resource::IResource
{
public:
    explicit CountedResource(Compositing::Graph* graph) : IResource(graph, nullptr) { ++live; }
    ~CountedResource() override { --live; }
    void GetTypeName(Base::StaticString<64>& type) const override { type = Base::StaticString<64>("counted"); }
    bool Load(const char*) override { return true; }
    static int live;
};
int CountedResource::live = 0;

class CountedFactory : public Assets::Resource::IResourceFactory
{
public:
    bool GetInfo(Assets::Resource::FactoryInfo& info) override
    {
        info.name = Base::StaticString<64>("counted");
        return true;
    }
    Assets::Resource::IResource* LoadFromFile(Compositing::Graph* graph, const char*, const Utility::XML::Node*) override
    {
        return new CountedResource(graph);
    }
};
CountedFactory g_CountedFactory;

// One graph: an output node and `files` resource nodes of the counted type, the
// last one of type lastType.
std::string GraphXml(const char* name, int files, const char* lastType = "counted")
{
    std::string xml = std::string("<graph name='") + name + "'><node id='0' type='output'><output/></node>";
    for (int i = 1; i <= files; i++)
    {
        const std::string type = i == files ? lastType : "counted";
        xml += "<node id='" + std::to_string(i) + "' type='resource' name='" + name + std::to_string(i) +
               "'><file type='" + type + "' path='" + name + "/" + std::to_string(i) + "'/></node>";
    }
    return xml + "</graph>";
}

// The device the output nodes draw with: graphics started, audio left out.
void StartGraphics(Demo& demo)
{
    StartupSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.windowMode = 0;
    settings.noAudio = 1;
    demo.StartSystems(settings);
    ASSERT_NE(demo.system.GetDevice(), nullptr);
}
} // namespace

TEST(Demo, ProgressAdvancesAfterEveryNodeOfEveryGraph)
{
    MemoryArchive archive = DescriptionArchive("<brivet><compositing>" + GraphXml("a", 3) + GraphXml("b", 5) +
                                             "</compositing></brivet>");
    ProgressDemo* demo = new ProgressDemo();
    StartGraphics(*demo);
    ASSERT_TRUE(demo->RegisterResourceFactory(&g_CountedFactory));
    LogCapture::Get().Clear();
    ASSERT_TRUE(demo->Load(&archive)) << ::testing::PrintToString(Errors());
    EXPECT_EQ(demo->graphs.GetCount(), 2u);
    EXPECT_EQ(demo->nodesTotal, 10u);
    EXPECT_EQ(demo->nodesLoaded, 10u);

    std::vector<float> expected = { 0.0f };
    for (int i = 1; i <= 10; i++)
        expected.push_back((float)i / 10.0f);
    expected.push_back(1.0f);
    EXPECT_EQ(demo->progress, expected);

    demo->Render(0.0f);
    demo->RenderFrame(0.5f);
    EXPECT_EQ(CountedResource::live, 8);
    delete demo;
    EXPECT_EQ(CountedResource::live, 0);
}

TEST(Demo, AGraphThatFailsIsDeletedAndReleasesItsResources)
{
    // Graph "b" fails at its last node: its four loaded resources go back at once,
    // graph "a" stays in the list until the demo is destroyed.
    MemoryArchive archive = DescriptionArchive("<brivet><compositing>" + GraphXml("a", 2) + GraphXml("b", 5, "unknown") +
                                             GraphXml("c", 1) + "</compositing></brivet>");
    ProgressDemo* demo = new ProgressDemo();
    StartGraphics(*demo);
    ASSERT_TRUE(demo->RegisterResourceFactory(&g_CountedFactory));
    LogCapture::Get().Clear();
    ASSERT_FALSE(demo->Load(&archive));
    const std::vector<std::string> errors = Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "[demo] Failed to load Compositing");
    EXPECT_EQ(demo->graphs.GetCount(), 1u);
    EXPECT_EQ(CountedResource::live, 2);
    EXPECT_EQ(demo->resourceManager.GetCache().GetCount(), 2u);
    delete demo;
    EXPECT_EQ(CountedResource::live, 0);
}

TEST(Demo, FactoriesAreStoredByNameAndTheLaterOneWins)
{
    static NamedResourceFactory firstTexture("texture", true), secondTexture("texture", true);
    static NamedResourceFactory silent("font", false);
    static NamedEffectFactory firstLayer("Layer2D"), secondLayer("Layer2D"), camera("Camera3D");

    Demo demo;
    EXPECT_TRUE(demo.RegisterResourceFactory(&firstTexture));
    EXPECT_TRUE(demo.RegisterResourceFactory(&secondTexture));
    EXPECT_FALSE(demo.RegisterResourceFactory(&silent));

    Assets::Resource::IResourceFactory* found = nullptr;
    ASSERT_TRUE(demo.resourceManager.FindFactory(Base::StaticString<64>("texture"), &found));
    EXPECT_EQ(found, &secondTexture);
    EXPECT_FALSE(demo.resourceManager.FindFactory(Base::StaticString<64>("font"), &found));
    EXPECT_EQ(demo.resourceManager.GetFactories().GetCount(), 1u);

    EXPECT_TRUE(demo.RegisterEffectFactory(&firstLayer));
    EXPECT_TRUE(demo.RegisterEffectFactory(&camera));
    EXPECT_TRUE(demo.RegisterEffectFactory(&secondLayer));
    EXPECT_EQ(demo.effectFactories.GetCount(), 2u);
    Assets::Effect::IEffectFactory** effect = nullptr;
    ASSERT_TRUE(demo.effectFactories.Find(Base::StaticString<64>("Layer2D"), &effect));
    EXPECT_EQ(*effect, &secondLayer);
}

TEST(Demo, StartWithoutAudioFailsAfterGraphicsAndStopsCleanly)
{
    StartupSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.windowMode = 0;
    settings.noAudio = 1;

    Demo demo;
    LogCapture::Get().Clear();
    EXPECT_FALSE(demo.StartSystems(settings));
    EXPECT_EQ(Errors(), std::vector<std::string>{ "[demo] Audio initialization failed!" });
    EXPECT_EQ(demo.backend, nullptr);
    ASSERT_NE(demo.system.GetDevice(), nullptr);
    EXPECT_EQ(demo.GetWidth(), 320u);
    EXPECT_EQ(demo.GetHeight(), 240u);
    EXPECT_EQ(demo.renderer.sampleRate, 44100u);

    demo.RenderFrame(0.5f);
    demo.BindBackBuffer(nullptr);
    demo.BindBackBuffer();

    LogCapture::Get().Clear();
    EXPECT_TRUE(demo.StopSystems());
    EXPECT_TRUE(demo.StopSystems()); // again: harmless, and the destructor repeats it
    EXPECT_TRUE(Errors().empty());
}

TEST(Demo, StartsAndStopsTheDirectSoundBackend)
{
    StartupSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.windowMode = 0;

    Demo demo;
    LogCapture::Get().Clear();
    ASSERT_TRUE(demo.StartSystems(settings)) << ::testing::PrintToString(Errors());
    ASSERT_NE(demo.backend, nullptr);
    EXPECT_EQ(demo.backend->GetSampleRate(), 44100u);
    EXPECT_TRUE(demo.StopSystems());
    EXPECT_EQ(demo.backend, nullptr);
}

TEST(Demo, DestructorReleasesAStartedDemo)
{
    // The backend, the clips and the device go with the demo when StopSystems never ran.
    MemoryArchive archive = DescriptionArchive("<brivet><properties><clip filename='a.ogg'/></properties></brivet>");
    ASSERT_TRUE(archive.AddFile("a.ogg", FixturePath("second.ogg")));
    StartupSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.windowMode = 0;

    Demo* demo = new Demo();
    ASSERT_TRUE(demo->StartSystems(settings));
    ASSERT_TRUE(demo->Load(&archive));
    demo->renderer.Seek(0);
    EXPECT_TRUE(demo->backend->Start());
    delete demo;
}

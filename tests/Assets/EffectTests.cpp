// The effect model: declaration passes that retire and take back inputs and
// parameters, pending "parameter" texts, binding, and creating effects by type name.
#include "Assets/Effect/IEffect.h"
#include "Assets/Effect/IEffectFactory.h"

#include "LogCapture.h"
#include "Parameters/Parameter.h"
#include "TestTypes.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;
using Brivet::Base::String;
using Brivet::Parameters::Parameter;
using Brivet::Parameters::ValueKind;
using namespace AssetsTest;

namespace
{
// An effect with nothing of its own, declared into by the tests.
class BareEffect : public IEffect
{
public:
    BareEffect() : IEffect(nullptr) {}
    bool Initialize() override { return true; }
    void SetOutput(Brivet::Assets::Resource::IResource*) override {}
    Brivet::Assets::Resource::IResource* GetOutput() override { return nullptr; }
    void Render(const Brivet::RenderContext&) override {}

    void NewPass()
    {
        RetireInputs();
        RetireParameters();
    }
};

const char* const splineXml =
    "<parameter name=\"Opacity\"><value type=\"spline\"><clip start=\"2\" length=\"4\">"
    "<key time=\"0\" value=\"0.25\"/><key time=\"4\" value=\"0.75\"/></clip></value></parameter>";

class EffectTest : public ::testing::Test
{
protected:
    void SetUp() override { LogCapture::Get().Clear(); }

    Counters counters;
    BareEffect effect;
};

TEST_F(EffectTest, ParameterDeclaredAgainInOnePassIsTheSameObject)
{
    Parameter<float>* first = effect.AddParameter<float>("Opacity", 1.0f);
    Parameter<float>* second = effect.AddParameter<float>("Opacity", 5.0f);
    EXPECT_EQ(first, second);
    EXPECT_FLOAT_EQ(second->GetValue(0.0f), 1.0f);
    EXPECT_EQ(effect.parameters.GetCount(), 1u);
    IEffect::Parameter* record = nullptr;
    ASSERT_TRUE(effect.parameters.Find("Opacity", &record));
    EXPECT_EQ(record->type, 2u);
}

TEST_F(EffectTest, RedeclarationAfterRetiringTakesBackTheObjectWithItsValue)
{
    Parameter<float>* opacity = effect.AddParameter<float>("Opacity", 1.0f);
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load(splineXml));
    ASSERT_TRUE(opacity->Load(Brivet::Utility::XML::Node(document.GetHandle()->first_child(), &document)));
    Parameter<int>* count = effect.AddParameter<int>("Count", 3);

    effect.NewPass();
    EXPECT_EQ(effect.parameters.GetCount(), 0u);
    EXPECT_EQ(effect.retiredParameters.GetCount(), 2u);

    // Only "Opacity" comes back; "Count" stays retired with its object.
    EXPECT_EQ(effect.AddParameter<float>("Opacity", 9.0f), opacity);
    EXPECT_EQ(opacity->GetValueKind(), ValueKind::Spline);
    EXPECT_FLOAT_EQ(opacity->GetValue(4.0f), 0.5f);
    EXPECT_TRUE(effect.parameters.Find("Opacity", static_cast<IEffect::Parameter**>(nullptr)));
    EXPECT_FALSE(effect.retiredParameters.Find("Opacity", static_cast<IEffect::Parameter**>(nullptr)));
    EXPECT_TRUE(effect.retiredParameters.Find("Count", static_cast<IEffect::Parameter**>(nullptr)));

    // Two passes later it still comes back as it was.
    effect.NewPass();
    effect.NewPass();
    EXPECT_EQ(effect.AddParameter<int>("Count", 7), count);
    EXPECT_EQ(count->GetValue(0.0f), 3);
}

TEST_F(EffectTest, InputComesBackBoundOnlyUnderTheSameTypeName)
{
    TestResource shader("effect", &counters);
    effect.DeclareInput("Shader", "effect");
    effect.SetInput("Shader", &shader);

    effect.NewPass();
    EXPECT_EQ(effect.inputs.GetCount(), 0u);
    effect.DeclareInput("Shader", "EFFECT"); // type names match on the lower-case hash
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(effect.inputs.Find("Shader", &input));
    EXPECT_EQ(input->bound, &shader);

    effect.NewPass();
    effect.DeclareInput("Shader", "texture");
    ASSERT_TRUE(effect.inputs.Find("Shader", &input));
    EXPECT_EQ(input->bound, nullptr);
    IEffect::Input* retired = nullptr;
    ASSERT_TRUE(effect.retiredInputs.Find("Shader", &retired));
    EXPECT_EQ(retired->bound, &shader);

    // Binding a name that is only retired changes nothing.
    TestResource other("effect", &counters);
    effect.SetInput("Old", &other);
    effect.DeclareInput("Old", "effect");
    effect.NewPass();
    effect.SetInput("Old", &other);
    ASSERT_TRUE(effect.retiredInputs.Find("Old", &retired));
    EXPECT_EQ(retired->bound, nullptr);
}

TEST_F(EffectTest, RetiringEmptiesTheTablesAndKeepsTheirCapacity)
{
    for (int i = 0; i < 6; ++i)
    {
        StaticString<64> name;
        name.Format("Input %d", i);
        effect.DeclareInput(name, "texture");
        effect.AddParameter<float>(name, 0.0f);
    }
    const uint32_t inputCapacity = effect.inputs.GetCapacity();
    const uint32_t parameterCapacity = effect.parameters.GetCapacity();
    effect.NewPass();
    EXPECT_EQ(effect.inputs.GetCount(), 0u);
    EXPECT_EQ(effect.inputs.GetCapacity(), inputCapacity);
    EXPECT_EQ(effect.parameters.GetCount(), 0u);
    EXPECT_EQ(effect.parameters.GetCapacity(), parameterCapacity);
    EXPECT_EQ(effect.retiredInputs.GetCount(), 6u);
    EXPECT_EQ(effect.retiredParameters.GetCount(), 6u);

    // Declaring twice in one pass replaces the first record with an unbound one.
    TestResource texture("texture", &counters);
    effect.DeclareInput("Input 1", "texture");
    effect.SetInput("Input 1", &texture);
    effect.DeclareInput("Input 1", "effect");
    IEffect::Input* input = nullptr;
    ASSERT_TRUE(effect.inputs.Find("Input 1", &input));
    EXPECT_EQ(input->bound, nullptr);
    EXPECT_EQ(input->type.GetHashLower(), StaticString<64>("effect").GetHashLower());
}

TEST_F(EffectTest, PendingParameterIsAppliedWhenTheNameIsFirstDeclared)
{
    effect.pendingParameters.Set("Opacity", PrintedParameter(splineXml));
    effect.pendingParameters.Set("Never", PrintedParameter("<parameter name=\"Never\"/>"));

    Parameter<float>* opacity = effect.AddParameter<float>("Opacity", 1.0f);
    EXPECT_EQ(opacity->GetValueKind(), ValueKind::Spline);
    EXPECT_FLOAT_EQ(opacity->GetValue(4.0f), 0.5f);
    EXPECT_FALSE(effect.pendingParameters.Find("Opacity", static_cast<String**>(nullptr)));

    // The next pass takes the object back with the value from the XML, not the default.
    effect.NewPass();
    EXPECT_EQ(effect.AddParameter<float>("Opacity", 1.0f), opacity);
    EXPECT_FLOAT_EQ(opacity->GetValue(4.0f), 0.5f);

    // A text whose name is never declared just stays.
    EXPECT_TRUE(effect.pendingParameters.Find("Never", static_cast<String**>(nullptr)));
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
}

TEST_F(EffectTest, PendingTextThatFailsToLoadIsReported)
{
    const char* const texts[] = {
        "<parameter name=\"Opacity\"><value type=\"spline\"", // does not parse
        "<other name=\"Opacity\"/>", // no "parameter" element
        "<parameter name=\"Opacity\"><value type=\"curve\"/></parameter>", // no such value type
    };
    for (const char* text : texts)
    {
        SCOPED_TRACE(text);
        LogCapture::Get().Clear();
        BareEffect fresh;
        fresh.name = "Fade";
        fresh.pendingParameters.Set("Opacity", String(text));
        fresh.AddParameter<float>("Opacity", 1.0f);
        EXPECT_FALSE(fresh.pendingParameters.Find("Opacity", static_cast<String**>(nullptr)));
        const auto warnings = LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning);
        // The parameter's own reason may come first; the effect's line names the effect.
        ASSERT_FALSE(warnings.empty());
        EXPECT_EQ(warnings.back().text, "[effect] 'Fade': failed to load parameter 'Opacity' from its description");
    }
}

TEST_F(EffectTest, ParameterOfAnotherValueTypeIsReplacedNotCast)
{
    effect.name = "Layer";
    Parameter<float>* scale = effect.AddParameter<float>("Scale", 2.0f);

    // Same pass, another type.
    Parameter<D3DXVECTOR3>* vector = effect.AddParameter<D3DXVECTOR3>("Scale", D3DXVECTOR3(1, 2, 3));
    EXPECT_NE(static_cast<void*>(vector), static_cast<void*>(scale));
    EXPECT_FLOAT_EQ(vector->GetValue(0.0f).z, 3.0f);
    IEffect::Parameter* record = nullptr;
    ASSERT_TRUE(effect.parameters.Find("Scale", &record));
    EXPECT_EQ(record->type, 4u);
    // The earlier object stays alive for whoever kept it.
    EXPECT_FLOAT_EQ(scale->GetValue(0.0f), 2.0f);

    // Across a pass: a retired record of another type is replaced too.
    effect.NewPass();
    Parameter<String>* text = effect.AddParameter<String>("Scale", String("x"));
    EXPECT_NE(static_cast<void*>(text), static_cast<void*>(vector));
    ASSERT_TRUE(effect.parameters.Find("Scale", &record));
    EXPECT_EQ(record->type, 8u);
    EXPECT_FALSE(effect.retiredParameters.Find("Scale", static_cast<IEffect::Parameter**>(nullptr)));
    EXPECT_FLOAT_EQ(vector->GetValue(0.0f).x, 1.0f);

    const auto warnings = LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].text, "[effect] 'Layer': parameter 'Scale' declared as type 4 after type 2; it starts anew");
    EXPECT_EQ(warnings[1].text, "[effect] 'Layer': parameter 'Scale' declared as type 8 after type 4; it starts anew");
}

TEST_F(EffectTest, ResourceOfAnotherTypeIsNotBound)
{
    effect.name = "Lighting";
    TestResource chunk("RenderChunk", &counters);
    TestResource texture("texture", &counters);
    TestResource cube("cubetexture", &counters, "texture"); // stands in for a texture
    effect.DeclareInput("Image", "texture");

    struct Case
    {
        TestResource* resource;
        TestResource* bound;
    };
    const Case cases[] = {{&texture, &texture}, {&chunk, nullptr}, {&cube, &cube}, {nullptr, nullptr}};
    for (const Case& c : cases)
    {
        effect.SetInput("Image", c.resource);
        IEffect::Input* input = nullptr;
        ASSERT_TRUE(effect.inputs.Find("Image", &input));
        EXPECT_EQ(input->bound, c.bound);
    }
    const auto warnings = LogCapture::Get().Lines(Brivet::Utility::Log::LevelWarning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, "[effect] 'Lighting': input 'Image' expects 'texture', not 'RenderChunk'; left unbound");
}

// The graph's binding loop for one effect node: bind every connection into it, call
// OnInputsChanged, and go again while the number of inputs changed.
int Connect(IEffect& effect, const std::vector<std::pair<const char*, Brivet::Assets::Resource::IResource*>>& connections)
{
    int passes = 0;
    for (;;)
    {
        for (const auto& connection : connections)
            effect.SetInput(connection.first, connection.second);
        ++passes;
        const uint32_t before = effect.inputs.GetCount();
        effect.OnInputsChanged();
        if (effect.inputs.GetCount() == before)
            break;
    }
    effect.OnInputsResolved();
    return passes;
}

TEST_F(EffectTest, InputsDeclaredFromWhatIsBoundAreFoundOnePassAtATime)
{
    TestEffectFactory factory("Merge");
    std::unique_ptr<IEffect> created(factory.Create(nullptr));
    auto& effect = static_cast<TestEffect&>(*created);
    ASSERT_TRUE(effect.Initialize());
    EXPECT_EQ(effect.inputs.GetCount(), 1u);

    TestResource a("RenderChunk", &counters), b("RenderChunk", &counters), c("RenderChunk", &counters);
    const int passes = Connect(effect, {{"Input 1", &a}, {"Input 2", &b}, {"Input 3", &c}, {"Input 9", &a}});
    EXPECT_EQ(passes, 4);
    EXPECT_EQ(effect.inputsChangedCalls, 4);
    EXPECT_EQ(effect.inputs.GetCount(), 4u); // one unbound input after the highest bound one
    const char* const names[] = {"Input 1", "Input 2", "Input 3", "Input 4"};
    TestResource* const expected[] = {&a, &b, &c, nullptr};
    for (int i = 0; i < 4; ++i)
    {
        IEffect::Input* input = nullptr;
        ASSERT_TRUE(effect.inputs.Find(names[i], &input)) << names[i];
        EXPECT_EQ(input->bound, expected[i]) << names[i];
    }

    // Without connections: one call, and nothing changes.
    TestEffect& lone = static_cast<TestEffect&>(*factory.Create(nullptr));
    ASSERT_TRUE(lone.Initialize());
    EXPECT_EQ(Connect(lone, {}), 1);
    EXPECT_EQ(lone.inputs.GetCount(), 1u);
    delete &lone;
}

TEST_F(EffectTest, EffectIsBuiltOnZeroFilledStorage)
{
    TestEffectFactory factory("Zero");
    for (int i = 0; i < 4; ++i)
    {
        // Leave garbage behind in blocks of the same size first.
        void* dirty = ::operator new(sizeof(TestEffect));
        memset(dirty, 0xAB, sizeof(TestEffect));
        ::operator delete(dirty);

        std::unique_ptr<IEffect> created(factory.Create(nullptr));
        const auto& effect = static_cast<const TestEffect&>(*created);
        for (uint64_t word : effect.untouched)
            EXPECT_EQ(word, 0u);
        EXPECT_EQ(effect.output, nullptr);
        EXPECT_EQ(effect.inputsChangedCalls, 0);
        EXPECT_FALSE(effect.changed);
        EXPECT_EQ(effect.outputTypeName.GetLength(), 0u);
        EXPECT_EQ(effect.inputs.GetCapacity(), 0u);
    }
}

TEST(EffectCreation, EffectIsCreatedNamedAndInitialisedOrFailsWithItsLines)
{
    TestEffectFactory merge("Merge3D");
    TestEffectFactory broken("Broken3D");
    broken.initializeResult = false;
    Brivet::Assets::Effect::EffectFactories factories;
    factories.Set(merge.GetName(), &merge);
    factories.Set(broken.GetName(), &broken);

    LogCapture::Get().Clear();
    IEffect* effect = Brivet::Assets::Effect::CreateEffect(factories, nullptr, "Merge3D", String("merge node"));
    ASSERT_NE(effect, nullptr);
    EXPECT_STREQ(effect->name.GetText(), "merge node");
    EXPECT_EQ(effect->outputTypeName.GetHashLower(), StaticString<64>("RenderChunk").GetHashLower());
    EXPECT_TRUE(LogCapture::Get().Lines().empty());
    delete effect;
    EXPECT_EQ(merge.destructions, 1);

    struct Case
    {
        const char* type;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"Blur2D", {"[effect] Failed to instantiate effect: 'Blur2D'", "[effect] Failed to create effect: 'Blur2D'"}},
        {"", {"[effect] Failed to instantiate effect: ''", "[effect] Failed to create effect: ''"}},
        {"Broken3D",
         {"[effect] Effect failed to initialize: 'Broken3D'", "[effect] Failed to create effect: 'Broken3D'"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.type);
        LogCapture::Get().Clear();
        EXPECT_EQ(Brivet::Assets::Effect::CreateEffect(factories, nullptr, c.type, String("node")), nullptr);
        std::vector<std::string> lines;
        for (const auto& line : LogCapture::Get().Lines(Brivet::Utility::Log::LevelError))
            lines.push_back(line.text);
        EXPECT_EQ(lines, c.lines);
    }
    // The effect that failed to initialise was shut down and deleted.
    EXPECT_EQ(broken.shutdowns, 1);
    EXPECT_EQ(broken.destructions, 1);
}
} // namespace

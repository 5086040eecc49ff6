// The chunk producers without shaders, on the host: their declarations, the parameter
// transform and its previous-frame sample, the modifiers' merges, Merge3D's input
// discovery, and the three camera effects.
#include "repository/Effects/Camera3D.h"
#include "repository/Effects/CameraMod.h"
#include "repository/Effects/CameraShake.h"
#include "repository/Effects/Duplicate3D.h"
#include "repository/Effects/Merge3D.h"
#include "repository/Effects/Transform3D.h"
#include "repository/Resources/RenderChunk.h"

#include "Parameters/Parameter.h"
#include "RenderContext.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include "MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using Brivet::Assets::Effect::IEffect;
using Brivet::Base::StaticString;
using Brivet::Parameters::Parameter;

namespace
{
D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    return *D3DXMatrixTranslation(&m, x, y, z);
}

D3DXMATRIX Product(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    D3DXMATRIX m;
    return *D3DXMatrixMultiply(&m, &a, &b);
}

D3DXMATRIX Inverse(const D3DXMATRIX& a)
{
    D3DXMATRIX m;
    return *D3DXMatrixInverse(&m, nullptr, &a);
}

// S × R × T built from its factors.
D3DXMATRIX Srt(const D3DXVECTOR3& p, const D3DXVECTOR3& r, const D3DXVECTOR3& s)
{
    D3DXMATRIX scale, rotation, translation;
    D3DXMatrixScaling(&scale, s.x, s.y, s.z);
    D3DXMatrixRotationYawPitchRoll(&rotation, r.y, r.x, r.z);
    D3DXMatrixTranslation(&translation, p.x, p.y, p.z);
    return Product(Product(scale, rotation), translation);
}

template <typename T>
Parameter<T>* ParameterOf(IEffect& effect, const char* name)
{
    IEffect::Parameter* record = nullptr;
    if (!effect.parameters.Find(StaticString<64>(name), &record))
        return nullptr;
    return static_cast<Parameter<T>*>(record->parameter);
}

template <typename T>
void Set(IEffect& effect, const char* name, const T& value)
{
    Parameter<T>* parameter = ParameterOf<T>(effect, name);
    ASSERT_NE(parameter, nullptr) << name;
    parameter->SetValue(0.0f, value, 0.0f);
}

// Loads a "parameter" element into the effect's parameter of that name.
template <typename T>
void LoadParameter(IEffect& effect, const char* name, const std::string& xml)
{
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load(xml.c_str()));
    Parameter<T>* parameter = ParameterOf<T>(effect, name);
    ASSERT_NE(parameter, nullptr) << name;
    ASSERT_TRUE(parameter->Load(Brivet::Utility::XML::Node(document.GetHandle()->first_child(), &document)));
}

// Names of the current parameters and inputs, in declaration order.
std::vector<std::string> Declared(const Brivet::Base::Dictionary<StaticString<64>, IEffect::Parameter>& table)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
        names.push_back(table.GetEntry(i).key.GetText());
    return names;
}

std::vector<std::string> Declared(const Brivet::Base::Dictionary<StaticString<64>, IEffect::Input>& table)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
    {
        names.push_back(table.GetEntry(i).key.GetText());
        EXPECT_STREQ(table.GetEntry(i).value.type.GetText(), "RenderChunk");
    }
    return names;
}

// One chunk entry at a pose, bones included.
RenderChunk::Entry EntryAt(const D3DXMATRIX& world)
{
    RenderChunk::Entry entry = {};
    entry.world = world;
    entry.previousWorld = world;
    return entry;
}

// A producer as the graph drives it: initialised, its inputs bound, resolved, with a chunk output.
template <typename Effect>
struct Rig
{
    std::unique_ptr<Effect> effect{new Effect(nullptr)};
    RenderChunk output{nullptr, nullptr};

    Rig()
    {
        EXPECT_TRUE(effect->Initialize());
        effect->SetOutput(&output);
    }

    void Bind(const char* input, RenderChunk* chunk)
    {
        effect->SetInput(StaticString<64>(input), chunk);
        effect->OnInputsChanged();
    }

    void Render(float time) { effect->Render(Brivet::RenderContext::ForTime(time)); }
};

TEST(ChunkProducers, InitializeNamesTheOutputAndDeclaresInOrder)
{
    struct Case
    {
        std::unique_ptr<IEffect> effect;
        std::vector<std::string> parameters;
        std::vector<std::string> inputs;
    };
    Case cases[] = {
        {std::unique_ptr<IEffect>(new Transform3D(nullptr)), {"Position", "Rotation", "Scale"}, {"Input"}},
        {std::unique_ptr<IEffect>(new Merge3D(nullptr)), {"Enabled", "Position", "Rotation", "Scale"}, {"Input 1"}},
        {std::unique_ptr<IEffect>(new Duplicate3D(nullptr)), {"Count", "Position", "Rotation", "Scale"}, {"Input"}},
        {std::unique_ptr<IEffect>(new Camera3D(nullptr)),
         {"Enabled", "IsOrtho", "Position", "Rotation", "Scale", "ClipPlanes", "FOV"},
         {"Input"}},
        {std::unique_ptr<IEffect>(new CameraShake(nullptr)), {"Frequency", "Amplitude"}, {"Input"}},
        {std::unique_ptr<IEffect>(new CameraMod(nullptr)), {"FOV Offset"}, {"Input"}},
    };
    for (Case& c : cases)
    {
        SCOPED_TRACE(c.parameters.front());
        EXPECT_TRUE(c.effect->Initialize());
        EXPECT_STREQ(c.effect->outputTypeName.GetText(), "RenderChunk");
        EXPECT_EQ(Declared(c.effect->parameters), c.parameters);
        EXPECT_EQ(Declared(c.effect->inputs), c.inputs);
    }

    // Defaults that matter to a description that leaves them out.
    Camera3D camera(nullptr);
    camera.Initialize();
    EXPECT_FALSE(camera.enabled->GetValue(0.0f));
    EXPECT_EQ(camera.fieldOfView->GetValue(0.0f), 90.0f);
    EXPECT_EQ(camera.clipPlanes->GetValue(0.0f), D3DXVECTOR2(0.01f, 1000.0f));
    EXPECT_EQ(camera.transform.scale->GetValue(0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    Duplicate3D duplicate(nullptr);
    duplicate.Initialize();
    EXPECT_EQ(duplicate.count->GetValue(0.0f), 1u);
    Merge3D merge(nullptr);
    merge.Initialize();
    EXPECT_TRUE(merge.enabled->GetValue(0.0f));
}

TEST(ChunkProducers, TransformIsScaleRotationTranslationAndThePreviousOneIsSampledLater)
{
    Rig<Transform3D> rig;
    RenderChunk input(nullptr, nullptr);
    input.entries.Add(EntryAt(Translation(1.0f, 0.0f, 0.0f)));
    rig.Bind("Input", &input);

    const D3DXVECTOR3 rotation(0.3f, 1.1f, -0.4f);
    const D3DXVECTOR3 scale(2.0f, 3.0f, 4.0f);
    Set(*rig.effect, "Rotation", rotation);
    Set(*rig.effect, "Scale", scale);
    // Position moves 1 unit in x per second.
    LoadParameter<D3DXVECTOR3>(*rig.effect, "Position",
                               "<parameter name=\"Position\"><value type=\"spline\"><clip start=\"0\" length=\"10\">"
                               "<key time=\"0\" interpolation=\"linear\" value=\"0; 5; 0\"/>"
                               "<key time=\"10\" value=\"10; 5; 0\"/></clip></value></parameter>");
    rig.effect->OnInputsResolved();
    rig.Render(2.0f);

    ASSERT_EQ(rig.output.entries.GetCount(), 1u);
    const D3DXMATRIX m = Srt(D3DXVECTOR3(2.0f, 5.0f, 0.0f), rotation, scale);
    const D3DXMATRIX previous = Srt(D3DXVECTOR3(2.01f, 5.0f, 0.0f), rotation, scale);
    EXPECT_TRUE(MatrixNear(rig.output.entries[0].world, Product(Translation(1.0f, 0.0f, 0.0f), m)));
    EXPECT_TRUE(MatrixNear(rig.output.entries[0].previousWorld, Product(Translation(1.0f, 0.0f, 0.0f), previous)));

    // Without an input the output is emptied.
    rig.output.ambient.priority = 1;
    rig.Bind("Input", nullptr);
    rig.Render(2.0f);
    EXPECT_EQ(rig.output.entries.GetCount(), 0u);
    EXPECT_EQ(rig.output.ambient.priority, 0);
}

TEST(ChunkProducers, OutputOfAnotherTypeIsNeverWrittenAsAChunk)
{
    // A texture-like resource that is not a chunk: a producer feeding a dynamic node of
    // another type draws nowhere.
    struct Other : Brivet::Assets::Resource::IResource
    {
        Other() : IResource(nullptr, nullptr) {}
        void GetTypeName(StaticString<64>& type) const override { type = StaticString<64>("texture"); }
        bool Load(const char*) override { return false; }
        uint8_t bytes[64] = {};
    };
    std::unique_ptr<Other> other(new Other);
    RenderChunk input(nullptr, nullptr);
    input.entries.Add(EntryAt(Translation(1.0f, 0.0f, 0.0f)));
    Transform3D transform(nullptr);
    transform.Initialize();
    transform.SetInput("Input", &input);
    transform.OnInputsChanged();
    transform.SetOutput(other.get());
    transform.OnInputsResolved();
    transform.Render(Brivet::RenderContext::ForTime(0.0f));
    EXPECT_EQ(transform.GetOutput(), other.get());
    EXPECT_EQ(transform.GetOutputChunk(), nullptr);
    for (uint8_t byte : other->bytes)
        EXPECT_EQ(byte, 0);
}

TEST(ChunkProducers, MergeDiscoversInputsOneAfterAnotherUpToSixtyFour)
{
    Rig<Merge3D> rig;
    EXPECT_EQ(Declared(rig.effect->inputs), std::vector<std::string>{"Input 1"});

    std::vector<std::unique_ptr<RenderChunk>> chunks;
    for (int i = 0; i < 65; ++i)
        chunks.emplace_back(new RenderChunk(nullptr, nullptr));

    // Binding 1 and 2 declares 1 to 3.
    rig.Bind("Input 1", chunks[0].get());
    rig.Bind("Input 2", chunks[1].get());
    EXPECT_EQ(Declared(rig.effect->inputs), (std::vector<std::string>{"Input 1", "Input 2", "Input 3"}));

    // A chunk for input 5 while 3 and 4 are unbound: input 5 is not declared, nothing binds.
    rig.Bind("Input 5", chunks[4].get());
    EXPECT_EQ(rig.effect->inputCount, 3u);

    // All 64 bound one after another: the table stops at 64 and no 65th input appears.
    for (uint32_t k = 3; k <= 64; ++k)
        rig.Bind(Merge3D::InputName(k).GetText(), chunks[k - 1].get());
    EXPECT_EQ(rig.effect->inputCount, 64u);
    EXPECT_EQ(rig.effect->inputs.GetCount(), 64u);
    rig.effect->SetInput(StaticString<64>("Input 65"), chunks[64].get());
    rig.effect->OnInputsChanged();
    EXPECT_EQ(rig.effect->inputCount, 64u);
    EXPECT_EQ(rig.effect->chunks[63], chunks[63].get());

    // Every bound chunk is merged, in input order.
    for (int i = 0; i < 64; ++i)
        chunks[i]->entries.Add(EntryAt(Translation(float(i), 0.0f, 0.0f)));
    rig.effect->OnInputsResolved();
    ASSERT_EQ(rig.output.entries.GetCount(), 64u);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(rig.output.entries[i].world.m[3][0], float(i));
}

TEST(ChunkProducers, MergeTakesTheLastCameraOfTheHighestPriorityAndHonoursEnabled)
{
    Rig<Merge3D> rig;
    RenderChunk scene(nullptr, nullptr), camera(nullptr, nullptr), other(nullptr, nullptr);
    scene.camera.priority = 1;
    scene.camera.fieldOfView = 10.0f;
    scene.entries.Add(EntryAt(Translation(1.0f, 0.0f, 0.0f)));
    camera.camera.priority = 2;
    camera.camera.fieldOfView = 20.0f;
    other.camera.priority = 2;
    other.camera.fieldOfView = 30.0f;
    rig.Bind("Input 1", &camera);
    rig.Bind("Input 2", &scene);
    rig.Bind("Input 3", &other);
    Set(*rig.effect, "Position", D3DXVECTOR3(0.0f, 0.0f, 5.0f));
    Set(*rig.effect, "Enabled", false);

    // The resolve build ignores "Enabled".
    rig.effect->OnInputsResolved();
    EXPECT_EQ(rig.output.camera.fieldOfView, 30.0f);
    ASSERT_EQ(rig.output.entries.GetCount(), 1u);
    EXPECT_TRUE(MatrixNear(rig.output.entries[0].world, Translation(1.0f, 0.0f, 5.0f)));

    // A render with "Enabled" false leaves an empty chunk.
    rig.Render(1.0f);
    EXPECT_EQ(rig.output.entries.GetCount(), 0u);
    EXPECT_EQ(rig.output.camera.priority, 0);
}

TEST(ChunkProducers, DuplicateStepsEachCopyOneTransformFurther)
{
    Rig<Duplicate3D> rig;
    RenderChunk input(nullptr, nullptr);
    input.entries.Add(EntryAt(Translation(0.0f, 1.0f, 0.0f)));
    rig.Bind("Input", &input);

    // Default: one unchanged copy.
    rig.effect->OnInputsResolved();
    ASSERT_EQ(rig.output.entries.GetCount(), 1u);
    EXPECT_TRUE(MatrixNear(rig.output.entries[0].world, Translation(0.0f, 1.0f, 0.0f)));

    // Three copies, each turned a quarter about z and moved 2 along x from the last.
    const D3DXVECTOR3 step(2.0f, 0.0f, 0.0f), turn(0.0f, 0.0f, 1.5707964f), unit(1.0f, 1.0f, 1.0f);
    Set(*rig.effect, "Count", 3u);
    Set(*rig.effect, "Position", step);
    Set(*rig.effect, "Rotation", turn);
    rig.Render(0.0f);
    ASSERT_EQ(rig.output.entries.GetCount(), 3u);
    const D3DXMATRIX d = Srt(step, turn, unit);
    D3DXMATRIX power;
    D3DXMatrixIdentity(&power);
    for (uint32_t k = 0; k < 3; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_TRUE(MatrixNear(rig.output.entries[k].world, Product(Translation(0.0f, 1.0f, 0.0f), power)));
        // Constant parameters: the previous matrices follow the same steps.
        EXPECT_TRUE(MatrixNear(rig.output.entries[k].previousWorld, rig.output.entries[k].world));
        power = Product(d, power);
    }

    Set(*rig.effect, "Count", 0u);
    rig.Render(0.0f);
    EXPECT_EQ(rig.output.entries.GetCount(), 0u);
}

TEST(ChunkProducers, DuplicateOfAnEnormousCountStaysBounded)
{
    // "-1" in a description reads as 4294967295 copies.
    Rig<Duplicate3D> first;
    RenderChunk input(nullptr, nullptr);
    input.entries.Add(EntryAt(Translation(0.0f, 1.0f, 0.0f)));
    first.Bind("Input", &input);
    LoadParameter<unsigned int>(*first.effect, "Count",
                                "<parameter><value type=\"constant\"><constant value=\"-1\"/></value></parameter>");
    first.Render(0.0f);
    EXPECT_EQ(first.output.entries.GetCount(), 65536u);

    // Duplicates of duplicates multiply: the copies stop once the chunk holds that many entries.
    Rig<Duplicate3D> second;
    second.Bind("Input", &first.output);
    Set(*second.effect, "Count", 1000u);
    second.Render(0.0f);
    EXPECT_EQ(second.output.entries.GetCount(), 65536u);
}

// Graphs of modifiers that multiply what they copy: each stays within the chunk limits.
const char* const CountMinusOne = "<parameter><value type=\"constant\"><constant value=\"-1\"/></value></parameter>";

TEST(ChunkProducers, DuplicatesOfDuplicatesOfALightStopAtTheLightLimit)
{
    // Two "Count" "-1" would give 65536 x 65536 lights.
    RenderChunk light(nullptr, nullptr);
    RenderChunk::PointLight& record = light.pointLights.AddEmpty();
    record = RenderChunk::PointLight();
    record.enabled = 1;
    record.castsShadow = 1;
    D3DXMatrixIdentity(&record.lightToWorld);
    Rig<Duplicate3D> first, second;
    first.Bind("Input", &light);
    second.Bind("Input", &first.output);
    LoadParameter<unsigned int>(*first.effect, "Count", CountMinusOne);
    LoadParameter<unsigned int>(*second.effect, "Count", CountMinusOne);
    Set(*first.effect, "Position", D3DXVECTOR3(1.0f, 0.0f, 0.0f));

    first.Render(0.0f);
    ASSERT_EQ(first.output.pointLights.GetCount(), RenderChunk::MaxLights);
    EXPECT_EQ(first.output.pointLights[5].lightToWorld.m[3][0], 5.0f);
    second.Render(0.0f);
    ASSERT_EQ(second.output.pointLights.GetCount(), RenderChunk::MaxLights);
}

TEST(ChunkProducers, MergesOfMergesStopAtTheEntryLimit)
{
    // Four Merge3D, each fed 63 times by the one before: 63^4 entries (~67 GB) unbounded.
    RenderChunk shape(nullptr, nullptr);
    shape.entries.Add(EntryAt(Translation(0.0f, 1.0f, 0.0f)));
    std::vector<std::unique_ptr<Rig<Merge3D>>> merges;
    RenderChunk* feed = &shape;
    const uint32_t expected[] = {63u, 63u * 63u, RenderChunk::MaxEntries, RenderChunk::MaxEntries};
    for (uint32_t level = 0; level < 4; ++level)
    {
        SCOPED_TRACE(level);
        merges.emplace_back(new Rig<Merge3D>());
        for (uint32_t k = 1; k <= 63; ++k)
            merges.back()->Bind(Merge3D::InputName(k).GetText(), feed);
        merges.back()->effect->OnInputsResolved();
        ASSERT_EQ(merges.back()->output.entries.GetCount(), expected[level]);
        feed = &merges.back()->output;
    }
    EXPECT_LE(RenderChunk::GetHeldBytes(), RenderChunk::MaxHeldBytes);
}

TEST(ChunkProducers, MergeFedTwiceByTheTransformItFeedsStopsAtTheEntryLimit)
{
    // The merge takes the transform's chunk twice and a shape once; the transform copies
    // the merge: the entries double every frame without a limit.
    RenderChunk shape(nullptr, nullptr);
    shape.entries.Add(EntryAt(Translation(0.0f, 1.0f, 0.0f)));
    Rig<Merge3D> merge;
    Rig<Transform3D> transform;
    merge.Bind("Input 1", &transform.output);
    merge.Bind("Input 2", &transform.output);
    merge.Bind("Input 3", &shape);
    transform.Bind("Input", &merge.output);

    uint32_t previous = 0;
    for (int frame = 0; frame < 24; ++frame)
    {
        SCOPED_TRACE(frame);
        merge.Render(frame / 60.0f);
        transform.Render(frame / 60.0f);
        ASSERT_LE(merge.output.entries.GetCount(), RenderChunk::MaxEntries);
        ASSERT_GE(merge.output.entries.GetCount(), previous);
        previous = merge.output.entries.GetCount();
    }
    EXPECT_EQ(merge.output.entries.GetCount(), RenderChunk::MaxEntries);
    EXPECT_EQ(transform.output.entries.GetCount(), RenderChunk::MaxEntries);
}

TEST(ChunkProducers, CameraIsTheInverseOfItsPlacementAndWinsOverASceneCamera)
{
    Rig<Camera3D> rig;
    RenderChunk ignored(nullptr, nullptr);
    ignored.entries.Add(EntryAt(Translation(1.0f, 0.0f, 0.0f)));
    ignored.camera.priority = 1;
    rig.Bind("Input", &ignored);

    // Never enabled: an empty chunk without camera.
    rig.effect->OnInputsResolved();
    EXPECT_EQ(rig.output.camera.priority, 0);
    EXPECT_EQ(rig.output.entries.GetCount(), 0u);

    const D3DXVECTOR3 position(1.0f, 2.0f, -5.0f), rotation(0.2f, 0.4f, 0.0f);
    Set(*rig.effect, "Enabled", true);
    Set(*rig.effect, "IsOrtho", true);
    Set(*rig.effect, "Position", position);
    Set(*rig.effect, "Rotation", rotation);
    Set(*rig.effect, "ClipPlanes", D3DXVECTOR2(0.5f, 50.0f));
    Set(*rig.effect, "FOV", 60.0f);
    rig.Render(3.0f);

    const RenderChunk::CameraBlock& block = rig.output.camera;
    EXPECT_EQ(block.priority, 2);
    EXPECT_EQ(block.orthographic, 1);
    EXPECT_EQ(block.position, D3DXVECTOR4(1.0f, 2.0f, -5.0f, 1.0f));
    EXPECT_EQ(block.fieldOfView, 60.0f);
    EXPECT_EQ(block.nearPlane, 0.5f);
    EXPECT_EQ(block.farPlane, 50.0f);
    EXPECT_TRUE(MatrixNear(block.view, Inverse(Srt(position, rotation, D3DXVECTOR3(1.0f, 1.0f, 1.0f)))));
    EXPECT_TRUE(MatrixNear(block.previousView, block.view));
    EXPECT_EQ(rig.output.entries.GetCount(), 0u) << "the input is never read";

    // Merged with a scene camera in either order, the camera effect's wins.
    RenderChunk scene(nullptr, nullptr);
    scene.camera.priority = 1;
    scene.camera.fieldOfView = 45.0f;
    RenderChunk sceneFirst(nullptr, nullptr), cameraFirst(nullptr, nullptr);
    sceneFirst.Merge(&scene, nullptr, nullptr);
    sceneFirst.Merge(&rig.output, nullptr, nullptr);
    cameraFirst.Merge(&rig.output, nullptr, nullptr);
    cameraFirst.Merge(&scene, nullptr, nullptr);
    EXPECT_EQ(sceneFirst.camera.fieldOfView, 60.0f);
    EXPECT_EQ(cameraFirst.camera.fieldOfView, 60.0f);
}

TEST(ChunkProducers, CameraShakeOffsetsByTheNoiseOfThePhase)
{
    Rig<CameraShake> rig;
    RenderChunk input(nullptr, nullptr);
    input.camera.priority = 2;
    input.camera.view = Translation(0.0f, 0.0f, 5.0f);
    input.camera.previousView = Translation(0.0f, 0.0f, 4.0f);
    input.camera.position = D3DXVECTOR4(0.0f, 0.0f, -5.0f, 1.0f);
    input.entries.Add(EntryAt(Translation(1.0f, 0.0f, 0.0f)));
    rig.Bind("Input", &input);

    // Amplitude 0: the input unchanged.
    Set(*rig.effect, "Amplitude", 0.0f);
    rig.Render(1.5f);
    EXPECT_TRUE(MatrixNear(rig.output.camera.view, input.camera.view));
    EXPECT_EQ(rig.output.entries.GetCount(), 1u);

    // Frequency 0: the offset stays at the noise of phases 0, 101 and 202 at every time.
    Set(*rig.effect, "Amplitude", 2.0f);
    Set(*rig.effect, "Frequency", 0.0f);
    const D3DXVECTOR3 d(CameraShake::Noise(0.0f, 2.0f), CameraShake::Noise(101.0f, 2.0f),
                        CameraShake::Noise(202.0f, 2.0f));
    // The noise is steep: the phases are formed as the effect forms them.
    const float phase = 0.0f;
    const D3DXVECTOR3 dp(CameraShake::Noise(phase - 0.01f, 2.0f), CameraShake::Noise(phase + 101.0f - 0.01f, 2.0f),
                         CameraShake::Noise(phase + 202.0f - 0.01f, 2.0f));
    for (float t : {0.5f, 7.0f})
    {
        SCOPED_TRACE(t);
        rig.Render(t);
        EXPECT_TRUE(MatrixNear(rig.output.camera.view, Product(Translation(d.x, d.y, d.z), input.camera.view)));
        EXPECT_TRUE(
            MatrixNear(rig.output.camera.previousView, Product(Translation(dp.x, dp.y, dp.z), input.camera.previousView)));
        EXPECT_NEAR(rig.output.camera.position.z, -5.0f + d.z, 1e-5f);
    }

    // fmodf keeps the sign: a negative sine gives a value below -0.5 × amplitude.
    EXPECT_LT(CameraShake::Noise(-1.0f, 1.0f), -0.5f);
    EXPECT_GE(CameraShake::Noise(-1.0f, 1.0f), -1.5f);
    EXPECT_EQ(CameraShake::Noise(0.0f, 1.0f), -0.5f);
}

TEST(ChunkProducers, CameraModAddsToTheFieldOfViewAndKeepsThePriority)
{
    Rig<CameraMod> rig;
    RenderChunk input(nullptr, nullptr);
    input.camera.fieldOfView = 90.0f; // priority 0: no camera
    rig.Bind("Input", &input);
    Set(*rig.effect, "FOV Offset", -30.0f);
    rig.Render(0.0f);
    EXPECT_EQ(rig.output.camera.priority, 0);
    EXPECT_EQ(rig.output.camera.fieldOfView, 60.0f);

    input.camera.priority = 1;
    rig.Render(0.0f);
    EXPECT_EQ(rig.output.camera.priority, 1);
    EXPECT_EQ(rig.output.camera.fieldOfView, 60.0f);
}
} // namespace

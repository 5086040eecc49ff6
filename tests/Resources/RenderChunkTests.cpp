// The render chunk: camera and ambient taken by priority, the sides on which a merge
// multiplies its transforms (a translation and a rotation do not commute, so a wrong side
// shows), the order and filtering of lights, untrusted bone counts, a chunk merged
// into itself, and the limits on what one chunk and all chunks together hold.
#include "repository/Resources/RenderChunk.h"

#include "LogCapture.h"
#include "MathAssertions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace
{
D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    return *D3DXMatrixTranslation(&m, x, y, z);
}

D3DXMATRIX RotationZ(float angle)
{
    D3DXMATRIX m;
    return *D3DXMatrixRotationYawPitchRoll(&m, 0.0f, 0.0f, angle); // a roll turns about z
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

D3DXMATRIX Product(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    D3DXMATRIX m;
    return *D3DXMatrixMultiply(&m, &a, &b);
}

RenderChunk::Entry MakeEntry(const D3DXMATRIX& world, uint32_t boneCount = 0)
{
    RenderChunk::Entry entry = {};
    entry.world = world;
    entry.previousWorld = world;
    entry.boneCount = boneCount;
    for (uint32_t b = 0; b < RenderChunk::MaxBones; ++b)
    {
        entry.bones[b] = world;
        entry.previousBones[b] = world;
    }
    return entry;
}

template <typename Light>
Light MakeLight(bool enabled, float marker)
{
    Light light;
    light.enabled = enabled ? 1 : 0;
    light.castsShadow = 1;
    light.colour = D3DXVECTOR3(marker, 0.0f, 0.0f);
    return light;
}

// Two non-commuting transforms and a starting pose that differs from both.
const D3DXMATRIX M = RotationZ(0.5f * 3.14159265f);
const D3DXMATRIX P = Translation(0.0f, 0.0f, 7.0f);
const D3DXMATRIX Pose = Translation(1.0f, 2.0f, 3.0f);
const D3DXMATRIX PreviousPose = Translation(-4.0f, 5.0f, -6.0f);

TEST(RenderChunk, NewChunkIsEmptyAndHasNoFiles)
{
    RenderChunk chunk(nullptr, nullptr);
    Brivet::Base::StaticString<64> type;
    chunk.GetTypeName(type);
    EXPECT_STREQ(type.GetText(), "RenderChunk");
    EXPECT_TRUE(chunk.IsCompatible("renderchunk"));
    EXPECT_FALSE(chunk.IsCompatible("texture"));
    EXPECT_FALSE(chunk.Load("anything.chunk"));
    EXPECT_EQ(chunk.camera.priority, 0);
    EXPECT_EQ(chunk.ambient.priority, 0);
    EXPECT_EQ(chunk.entries.GetCount(), 0u);
    EXPECT_EQ(chunk.pointLights.GetCount() + chunk.spotLights.GetCount() + chunk.directionalLights.GetCount() +
                  chunk.areaSphereLights.GetCount() + chunk.areaTubeLights.GetCount(),
              0u);
}

TEST(RenderChunk, CameraAndAmbientGoToTheSourceUnlessOursIsOfHigherPriority)
{
    struct Case
    {
        int32_t ours;
        int32_t source;
        bool taken;
    };
    const Case cases[] = {
        {0, 0, true}, {1, 0, false}, {2, 0, false}, {0, 1, true}, {1, 1, true},
        {2, 1, false}, {0, 2, true}, {1, 2, true}, {2, 2, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.ours) + " <- " + std::to_string(c.source));
        RenderChunk target(nullptr, nullptr);
        RenderChunk source(nullptr, nullptr);
        target.camera.priority = c.ours;
        target.camera.fieldOfView = 10.0f;
        target.ambient.priority = c.ours;
        target.ambient.colour = D3DXVECTOR3(0.1f, 0.1f, 0.1f);
        source.camera.priority = c.source;
        source.camera.fieldOfView = 20.0f;
        source.camera.nearPlane = 0.5f;
        source.camera.view = Pose;
        source.ambient.priority = c.source;
        source.ambient.colour = D3DXVECTOR3(0.7f, 0.8f, 0.9f);

        target.Merge(&source, nullptr, nullptr);

        EXPECT_EQ(target.camera.priority, c.taken ? c.source : c.ours);
        EXPECT_EQ(target.camera.fieldOfView, c.taken ? 20.0f : 10.0f);
        EXPECT_EQ(target.ambient.priority, c.taken ? c.source : c.ours);
        EXPECT_EQ(target.ambient.colour.x, c.taken ? 0.7f : 0.1f);
        if (c.taken)
        {
            EXPECT_TRUE(MatrixNear(target.camera.view, Pose)); // no transform given: none applied
        }
    }
}

TEST(RenderChunk, LastOfTheHighestPriorityWinsAcrossSeveralMerges)
{
    RenderChunk target(nullptr, nullptr);
    RenderChunk scene(nullptr, nullptr), first(nullptr, nullptr), second(nullptr, nullptr);
    scene.camera.priority = 1;
    scene.camera.fieldOfView = 1.0f;
    first.camera.priority = 2;
    first.camera.fieldOfView = 2.0f;
    second.camera.priority = 2;
    second.camera.fieldOfView = 3.0f;
    target.Merge(&first, nullptr, nullptr);
    target.Merge(&scene, nullptr, nullptr);
    target.Merge(&second, nullptr, nullptr);
    EXPECT_EQ(target.camera.fieldOfView, 3.0f);
}

TEST(RenderChunk, MergeMultipliesTransformsOnTheirSides)
{
    ASSERT_FALSE(MatrixNear(Product(Pose, M), Product(M, Pose))) << "the fixture's matrices must not commute";

    RenderChunk source(nullptr, nullptr);
    source.camera.priority = 2;
    source.camera.view = Pose;
    source.camera.previousView = PreviousPose;
    RenderChunk::Entry entry = MakeEntry(Pose, 2);
    entry.previousWorld = PreviousPose;
    entry.previousBones[0] = PreviousPose;
    source.entries.Add(entry);
    RenderChunk::SpotLight spot = MakeLight<RenderChunk::SpotLight>(true, 1.0f);
    spot.lightToWorld = Pose;
    source.spotLights.Add(spot);
    RenderChunk::PointLight point = MakeLight<RenderChunk::PointLight>(true, 1.0f);
    point.lightToWorld = Pose;
    source.pointLights.Add(point);
    RenderChunk::AreaSphereLight sphere = MakeLight<RenderChunk::AreaSphereLight>(true, 1.0f);
    sphere.lightToWorld = Pose;
    source.areaSphereLights.Add(sphere);
    RenderChunk::DirectionalLight directional = MakeLight<RenderChunk::DirectionalLight>(true, 1.0f);
    directional.direction = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    source.directionalLights.Add(directional);
    RenderChunk::AreaTubeLight tube = MakeLight<RenderChunk::AreaTubeLight>(true, 1.0f);
    tube.start = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    source.areaTubeLights.Add(tube);

    RenderChunk target(nullptr, nullptr);
    target.Merge(&source, &M, &P);

    // The camera's view on the left, entries, bones and lights on the right.
    EXPECT_TRUE(MatrixNear(target.camera.view, Product(M, Pose)));
    EXPECT_TRUE(MatrixNear(target.camera.previousView, Product(P, PreviousPose)));
    ASSERT_EQ(target.entries.GetCount(), 1u);
    const RenderChunk::Entry& merged = target.entries[0];
    EXPECT_TRUE(MatrixNear(merged.world, Product(Pose, M)));
    EXPECT_TRUE(MatrixNear(merged.previousWorld, Product(PreviousPose, P)));
    EXPECT_TRUE(MatrixNear(merged.bones[0], Product(Pose, M)));
    EXPECT_TRUE(MatrixNear(merged.bones[1], Product(Pose, M)));
    EXPECT_TRUE(MatrixNear(merged.previousBones[0], Product(PreviousPose, P)));
    EXPECT_TRUE(MatrixNear(merged.bones[2], Pose)) << "bones past the bone count stay as they are";
    EXPECT_TRUE(MatrixNear(target.spotLights[0].lightToWorld, Product(Pose, M)));
    EXPECT_TRUE(MatrixNear(target.pointLights[0].lightToWorld, Product(Pose, M)));
    EXPECT_TRUE(MatrixNear(target.areaSphereLights[0].lightToWorld, Product(Pose, M)));
    EXPECT_EQ(target.directionalLights[0].direction, D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(target.areaTubeLights[0].start, D3DXVECTOR3(1.0f, 0.0f, 0.0f));

    // Without a previous transform the previous matrices take the current one.
    RenderChunk noPrevious(nullptr, nullptr);
    noPrevious.Merge(&source, &M, nullptr);
    EXPECT_TRUE(MatrixNear(noPrevious.camera.previousView, Product(M, PreviousPose)));
    EXPECT_TRUE(MatrixNear(noPrevious.entries[0].previousWorld, Product(PreviousPose, M)));
    EXPECT_TRUE(MatrixNear(noPrevious.entries[0].previousBones[0], Product(PreviousPose, M)));

    // Without a transform nothing moves, the camera included.
    RenderChunk plain(nullptr, nullptr);
    plain.Merge(&source, nullptr, &P);
    EXPECT_TRUE(MatrixNear(plain.camera.view, Pose));
    EXPECT_TRUE(MatrixNear(plain.camera.previousView, PreviousPose));
    EXPECT_TRUE(MatrixNear(plain.entries[0].previousWorld, PreviousPose));
    EXPECT_TRUE(MatrixNear(plain.pointLights[0].lightToWorld, Pose));

    // A camera that is not taken is not moved either.
    RenderChunk higher(nullptr, nullptr);
    higher.camera.priority = 2;
    higher.camera.view = Pose;
    RenderChunk lower(nullptr, nullptr);
    lower.camera.priority = 1;
    higher.Merge(&lower, &M, &P);
    EXPECT_TRUE(MatrixNear(higher.camera.view, Pose));
}

TEST(RenderChunk, EnabledLightsAreAppendedInSourceOrderAfterTheExistingOnes)
{
    RenderChunk target(nullptr, nullptr);
    target.pointLights.Add(MakeLight<RenderChunk::PointLight>(true, 1.0f));
    target.directionalLights.Add(MakeLight<RenderChunk::DirectionalLight>(true, 1.0f));

    RenderChunk source(nullptr, nullptr);
    source.pointLights.Add(MakeLight<RenderChunk::PointLight>(true, 2.0f));
    source.pointLights.Add(MakeLight<RenderChunk::PointLight>(false, 3.0f));
    source.pointLights.Add(MakeLight<RenderChunk::PointLight>(true, 4.0f));
    source.spotLights.Add(MakeLight<RenderChunk::SpotLight>(false, 5.0f));
    source.spotLights.Add(MakeLight<RenderChunk::SpotLight>(true, 6.0f));
    source.areaSphereLights.Add(MakeLight<RenderChunk::AreaSphereLight>(true, 7.0f));
    source.areaTubeLights.Add(MakeLight<RenderChunk::AreaTubeLight>(false, 8.0f));
    source.directionalLights.Add(MakeLight<RenderChunk::DirectionalLight>(true, 1.0f));

    target.Merge(&source, nullptr, nullptr);

    ASSERT_EQ(target.pointLights.GetCount(), 3u);
    EXPECT_EQ(target.pointLights[0].colour.x, 1.0f);
    EXPECT_EQ(target.pointLights[1].colour.x, 2.0f);
    EXPECT_EQ(target.pointLights[2].colour.x, 4.0f);
    ASSERT_EQ(target.spotLights.GetCount(), 1u);
    EXPECT_EQ(target.spotLights[0].colour.x, 6.0f);
    EXPECT_EQ(target.areaSphereLights.GetCount(), 1u);
    EXPECT_EQ(target.areaTubeLights.GetCount(), 0u);
    // The same light in both chunks is two lights.
    EXPECT_EQ(target.directionalLights.GetCount(), 2u);

    // Record types and shadow answers.
    EXPECT_EQ(target.pointLights[0].GetType(), 3u);
    EXPECT_EQ(target.pointLights[0].GetShadowKind(), 1u);
    EXPECT_EQ(target.spotLights[0].GetType(), 4u);
    EXPECT_EQ(target.spotLights[0].GetShadowKind(), 2u);
    EXPECT_EQ(target.directionalLights[0].GetType(), 2u);
    EXPECT_EQ(target.areaSphereLights[0].GetType(), 5u);
    EXPECT_TRUE(target.pointLights[0].CastsShadow());
    RenderChunk::AreaTubeLight tube = MakeLight<RenderChunk::AreaTubeLight>(true, 1.0f);
    EXPECT_EQ(tube.GetType(), 6u);
    EXPECT_FALSE(tube.CastsShadow());
    RenderChunk::PointLight off = MakeLight<RenderChunk::PointLight>(false, 1.0f);
    EXPECT_FALSE(off.CastsShadow());
}

TEST(RenderChunk, BoneCountPastTheRecordIsClampedAndOnlyThoseBonesMove)
{
    RenderChunk source(nullptr, nullptr);
    source.entries.Add(MakeEntry(Pose, 1000));
    RenderChunk target(nullptr, nullptr);
    target.Merge(&source, &M, &P);
    ASSERT_EQ(target.entries.GetCount(), 1u);
    EXPECT_EQ(target.entries[0].boneCount, RenderChunk::MaxBones);
    EXPECT_TRUE(MatrixNear(target.entries[0].bones[RenderChunk::MaxBones - 1], Product(Pose, M)));

    // An entry without bones keeps its bone matrices untransformed.
    RenderChunk still(nullptr, nullptr);
    source.entries[0].boneCount = 0;
    still.Merge(&source, &M, &P);
    EXPECT_TRUE(MatrixNear(still.entries[0].bones[0], Pose));
}

TEST(RenderChunk, ChunkMergedIntoItselfAppendsWhatItHeld)
{
    RenderChunk chunk(nullptr, nullptr);
    // Enough entries that appending them grows the array while they are read.
    for (int i = 0; i < 8; ++i)
        chunk.entries.Add(MakeEntry(Translation(float(i), 0.0f, 0.0f)));
    chunk.pointLights.Add(MakeLight<RenderChunk::PointLight>(true, 1.0f));
    chunk.pointLights.Add(MakeLight<RenderChunk::PointLight>(false, 2.0f));
    ASSERT_EQ(chunk.entries.GetCapacity(), 8u);

    const D3DXMATRIX shift = Translation(0.0f, 10.0f, 0.0f);
    chunk.Merge(&chunk, &shift, nullptr);

    ASSERT_EQ(chunk.entries.GetCount(), 16u);
    for (int i = 0; i < 8; ++i)
    {
        EXPECT_TRUE(MatrixNear(chunk.entries[i].world, Translation(float(i), 0.0f, 0.0f)));
        EXPECT_TRUE(MatrixNear(chunk.entries[8 + i].world, Translation(float(i), 10.0f, 0.0f)));
    }
    ASSERT_EQ(chunk.pointLights.GetCount(), 3u);
    EXPECT_EQ(chunk.pointLights[2].colour.x, 1.0f);
}

TEST(RenderChunk, EmptyKeepsTheCapacity)
{
    RenderChunk chunk(nullptr, nullptr);
    for (int i = 0; i < 9; ++i)
        chunk.entries.Add(MakeEntry(Identity()));
    chunk.spotLights.Add(MakeLight<RenderChunk::SpotLight>(true, 1.0f));
    chunk.camera.priority = 2;
    chunk.ambient.priority = 1;
    chunk.Empty();
    EXPECT_EQ(chunk.camera.priority, 0);
    EXPECT_EQ(chunk.ambient.priority, 0);
    EXPECT_EQ(chunk.entries.GetCount(), 0u);
    EXPECT_EQ(chunk.entries.GetCapacity(), 12u);
    EXPECT_EQ(chunk.spotLights.GetCount(), 0u);
}
// The [RenderChunk] warnings logged since the capture was cleared.
std::vector<std::string> ChunkWarnings()
{
    std::vector<std::string> found;
    for (const LogCapture::Line& line : LogCapture::Get().Lines(2))
    {
        if (line.text.rfind("[RenderChunk]", 0) == 0)
            found.push_back(line.text);
    }
    return found;
}

TEST(RenderChunk, MergeStopsAtTheEntryAndLightLimitsAndWarnsOncePerLimit)
{
    LogCapture::Get().Clear();
    RenderChunk chunk(nullptr, nullptr);
    chunk.entries.Add(MakeEntry(Pose));
    chunk.pointLights.Add(MakeLight<RenderChunk::PointLight>(true, 1.0f));
    chunk.areaTubeLights.Add(MakeLight<RenderChunk::AreaTubeLight>(true, 2.0f));

    // Merged into itself the chunk doubles, as a Merge3D fed by its own output does: twenty
    // merges would give 2^20 entries and 2^21 lights.
    std::vector<bool> whole;
    for (int i = 0; i < 20; ++i)
        whole.push_back(chunk.Merge(&chunk, &M, nullptr));

    EXPECT_EQ(chunk.entries.GetCount(), RenderChunk::MaxEntries);
    EXPECT_EQ(chunk.entries.GetCapacity(), RenderChunk::MaxEntries); // no capacity beyond the limit
    EXPECT_EQ(chunk.GetLightCount(), RenderChunk::MaxLights);
    // The lists fill in their order: the point lights double once more than the tube lights.
    EXPECT_EQ(chunk.pointLights.GetCount(), RenderChunk::MaxLights / 2);
    EXPECT_EQ(chunk.areaTubeLights.GetCount(), RenderChunk::MaxLights / 2);
    // 2 lights double to 4096 in 11 merges; the 12th is the first that is cut.
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(whole[i], i < 11) << "merge " << i;
    // The copies kept are the first ones, moved as a whole merge moves them.
    EXPECT_TRUE(MatrixNear(chunk.entries[0].world, Pose));
    EXPECT_TRUE(MatrixNear(chunk.entries[1].world, Product(Pose, M)));

    const std::vector<std::string> warnings = ChunkWarnings();
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("4096 lights"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("65536 entries"), std::string::npos) << warnings[1];

    // Appending one by one meets the same limits.
    EXPECT_EQ(chunk.AddEntry(), nullptr);
    EXPECT_EQ(chunk.AddLight(chunk.spotLights), nullptr);
    chunk.Empty();
    RenderChunk::SpotLight* spot = chunk.AddLight(chunk.spotLights);
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->enabled, 0); // a reused slot comes back as a new light
    EXPECT_EQ(chunk.GetLightCount(), 1u);
    EXPECT_EQ(ChunkWarnings().size(), 2u);
}

TEST(RenderChunk, AllChunksTogetherHoldAtMostTheirBudget)
{
    LogCapture::Get().Clear();
    const uint64_t before = RenderChunk::GetHeldBytes();
    {
        // A full chunk, then a row of copies of it, as a chain of Transform3D keeps one in
        // each of its chunks: the copies stop once all chunks hold the budget.
        std::vector<std::unique_ptr<RenderChunk>> row;
        row.emplace_back(new RenderChunk(nullptr, nullptr));
        row[0]->entries.Add(MakeEntry(Pose));
        while (row[0]->Merge(row[0].get(), nullptr, nullptr))
        {
        }
        ASSERT_EQ(row[0]->entries.GetCount(), RenderChunk::MaxEntries);
        for (int i = 1; i < 6; ++i)
        {
            row.emplace_back(new RenderChunk(nullptr, nullptr));
            row[i]->Merge(row[i - 1].get(), &M, nullptr);
        }

        // One growth of a list may pass the budget, and no more.
        const uint64_t oneGrowth = uint64_t(RenderChunk::MaxEntries) / 2 * sizeof(RenderChunk::Entry);
        EXPECT_LE(RenderChunk::GetHeldBytes() - before, RenderChunk::MaxHeldBytes + oneGrowth);
        EXPECT_GT(RenderChunk::GetHeldBytes() - before, RenderChunk::MaxHeldBytes);
        EXPECT_EQ(row[1]->entries.GetCount(), RenderChunk::MaxEntries);
        EXPECT_EQ(row.back()->entries.GetCount(), 0u);
        EXPECT_EQ(row.back()->AddEntry(), nullptr);

        // Each chunk that was cut says so once.
        uint32_t cut = 0;
        for (const std::string& warning : ChunkWarnings())
            cut += warning.find("All chunks together hold at most 1024 MiB") != std::string::npos ? 1 : 0;
        EXPECT_GE(cut, 2u);
        EXPECT_LE(cut, 5u);
    }
    EXPECT_EQ(RenderChunk::GetHeldBytes(), before);
}
} // namespace

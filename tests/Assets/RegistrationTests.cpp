// The repository's registration with a real demo object: every type once, in its fixed order.
#include "repository/RegisterRepository.h"

#include "Assets/Effect/IEffect.h"
#include "Assets/Effect/IEffectFactory.h"
#include "Demo.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const std::vector<std::string> resourceOrder = {
    "texture", "cubetexture", "effect", "scene", "RenderChunk", "gbuffer", "Font", "computeShader", "shaderresource", "buffer",
};

const std::vector<std::string> effectOrder = {
    "Layer2D", "LayerGBuffer2D", "GBufferLighting2D", "Renderer3D", "RendererGBuffer3D", "CubeRenderer3D", "Scene3D",
    "Particle3D", "Transform3D", "Merge3D", "Duplicate3D", "Shape3D", "Camera3D", "TextPlane3D", "CameraShake", "CameraMod",
    "Instancer3D", "PointLight3D", "DirectionalLight3D", "AmbientLight3D", "SpotLight3D", "ComputedGeometry3D",
    "ProceduralGeometry3D", "AreaSphereLight3D", "AreaTubeLight3D", "MeshToShaderResource", "ComputedBuffer",
};

// The table's names in insertion order, and what each entry holds.
template <typename Table>
std::vector<std::string> Names(const Table& table)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
        names.push_back(table.GetEntry(i).key.GetText());
    return names;
}

template <typename Table>
std::vector<const void*> Factories(const Table& table)
{
    std::vector<const void*> factories;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
        factories.push_back(table.GetEntry(i).value);
    return factories;
}

Brivet::Demo& TheDemo()
{
    static Brivet::Demo demo; // zero-filled before construction, as the application builds it
    return demo;
}

TEST(Registration, RegistersEachRepositoryFactoryOnceInItsOrder)
{
    Brivet::Demo& demo = TheDemo();
    EXPECT_TRUE(Brivet::RegisterRepository(&demo));
    // Every type, spelled exactly, in its order: a dropped or misnamed factory shows here.
    EXPECT_EQ(Names(demo.resourceManager.GetFactories()), resourceOrder);
    EXPECT_EQ(Names(demo.effectFactories), effectOrder);
    const std::vector<const void*> resources = Factories(demo.resourceManager.GetFactories());
    const std::vector<const void*> effects = Factories(demo.effectFactories);
    for (const void* factory : resources)
        EXPECT_NE(factory, nullptr);
    for (const void* factory : effects)
        EXPECT_NE(factory, nullptr);

    // A second registration overwrites every entry with the same factory.
    EXPECT_TRUE(Brivet::RegisterRepository(&demo));
    EXPECT_EQ(Names(demo.resourceManager.GetFactories()), resourceOrder);
    EXPECT_EQ(Names(demo.effectFactories), effectOrder);
    EXPECT_EQ(Factories(demo.resourceManager.GetFactories()), resources);
    EXPECT_EQ(Factories(demo.effectFactories), effects);
}

TEST(Registration, EffectOfATypeNobodyRegisteredFailsWithItsLines)
{
    Brivet::Demo& demo = TheDemo();
    Brivet::RegisterRepository(&demo);
    LogCapture::Get().Clear();
    EXPECT_EQ(Brivet::Assets::Effect::CreateEffect(demo.effectFactories, &demo, "Blur2D", Brivet::Base::String("blur")),
              nullptr);
    const auto errors = LogCapture::Get().Lines(Brivet::Utility::Log::LevelError);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].text, "[effect] Failed to instantiate effect: 'Blur2D'");
    EXPECT_EQ(errors[1].text, "[effect] Failed to create effect: 'Blur2D'");
}
} // namespace

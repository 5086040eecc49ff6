// The repository's registration with a real demo object: fixed order, one entry per type.
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

// The table's names in insertion order, spelled exactly as one of order, in that order.
template <typename Table>
void ExpectInOrder(const Table& table, const std::vector<std::string>& order)
{
    size_t next = 0;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
    {
        const std::string name = table.GetEntry(i).key.GetText();
        while (next < order.size() && order[next] != name)
            ++next;
        EXPECT_LT(next, order.size()) << "'" << name << "' is out of order or not a repository type";
        ++next;
    }
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
    const uint32_t resources = demo.resourceManager.GetFactories().GetCount();
    const uint32_t effects = demo.effectFactories.GetCount();
    EXPECT_LE(resources, resourceOrder.size());
    EXPECT_LE(effects, effectOrder.size());
    ExpectInOrder(demo.resourceManager.GetFactories(), resourceOrder);
    ExpectInOrder(demo.effectFactories, effectOrder);

    // A second registration overwrites every entry with the same factory.
    EXPECT_TRUE(Brivet::RegisterRepository(&demo));
    EXPECT_EQ(demo.resourceManager.GetFactories().GetCount(), resources);
    EXPECT_EQ(demo.effectFactories.GetCount(), effects);
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

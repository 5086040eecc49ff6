// The six light effects on the host: their declarations and defaults, the one record each
// puts into its chunk while enabled, the spot light's orientation and radians, and the
// ambient colour's priority.
#include "repository/Effects/AmbientLight3D.h"
#include "repository/Effects/AreaSphereLight3D.h"
#include "repository/Effects/AreaTubeLight3D.h"
#include "repository/Effects/DirectionalLight3D.h"
#include "repository/Effects/PointLight3D.h"
#include "repository/Effects/SpotLight3D.h"
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
std::vector<std::string> Declared(const IEffect& effect)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < effect.parameters.GetCount(); ++i)
        names.push_back(effect.parameters.GetEntry(i).key.GetText());
    return names;
}

template <typename T>
void Set(IEffect& effect, const char* name, const T& value)
{
    IEffect::Parameter* record = nullptr;
    ASSERT_TRUE(effect.parameters.Find(StaticString<64>(name), &record)) << name;
    static_cast<Parameter<T>*>(record->parameter)->SetValue(0.0f, value, 0.0f);
}

uint32_t LightCount(const RenderChunk& chunk)
{
    return chunk.directionalLights.GetCount() + chunk.pointLights.GetCount() + chunk.spotLights.GetCount() +
           chunk.areaSphereLights.GetCount() + chunk.areaTubeLights.GetCount();
}

// A light effect as the graph drives it: initialised, resolved, with a chunk output.
template <typename Light>
struct Rig
{
    Light light{nullptr};
    RenderChunk output{nullptr, nullptr};

    Rig()
    {
        EXPECT_TRUE(light.Initialize());
        light.SetOutput(&output);
    }

    RenderChunk& Render(float time)
    {
        light.Render(Brivet::RenderContext::ForTime(time));
        return output;
    }
};

bool Finite(const D3DXMATRIX& m)
{
    for (int i = 0; i < 16; ++i)
    {
        if (!std::isfinite(m.m[i / 4][i % 4]))
            return false;
    }
    return true;
}
} // namespace

TEST(LightEffects, DeclareTheirParametersInOrderAndStartDisabledWithEmptyChunks)
{
    struct Case
    {
        std::unique_ptr<IEffect> effect;
        std::vector<std::string> parameters;
    };
    Case cases[] = {
        {std::unique_ptr<IEffect>(new PointLight3D(nullptr)),
         {"Enabled", "Casts Shadows", "Color", "Attenuation", "Position", "Radius"}},
        {std::unique_ptr<IEffect>(new DirectionalLight3D(nullptr)),
         {"Enabled", "Casts Shadows", "Color", "Direction", "Shadow Source Distance", "Shadow Size"}},
        {std::unique_ptr<IEffect>(new AmbientLight3D(nullptr)), {"Enabled", "Color"}},
        {std::unique_ptr<IEffect>(new SpotLight3D(nullptr)),
         {"Enabled", "Casts Shadows", "Color", "Position", "Target", "Cone Outer Angle", "Cone Inner Angle"}},
        {std::unique_ptr<IEffect>(new AreaSphereLight3D(nullptr)),
         {"Enabled", "Casts Shadows", "Color", "Attenuation", "Position", "Light Radius", "Render Radius"}},
        {std::unique_ptr<IEffect>(new AreaTubeLight3D(nullptr)),
         {"Enabled", "Color", "Start Position", "End Position", "Radius"}},
    };
    for (Case& c : cases)
    {
        SCOPED_TRACE(c.parameters.back());
        EXPECT_TRUE(c.effect->Initialize());
        EXPECT_STREQ(c.effect->outputTypeName.GetText(), "RenderChunk");
        EXPECT_EQ(Declared(*c.effect), c.parameters);
        EXPECT_EQ(c.effect->inputs.GetCount(), 0u);

        // Off by default: the chunk an earlier frame filled is emptied and stays empty.
        RenderChunk chunk(nullptr, nullptr);
        chunk.camera.priority = RenderChunk::PriorityEffect;
        chunk.ambient.priority = RenderChunk::PriorityScene;
        chunk.pointLights.AddEmpty();
        c.effect->SetOutput(&chunk);
        c.effect->OnInputsResolved();
        EXPECT_EQ(LightCount(chunk), 0u);
        EXPECT_EQ(chunk.camera.priority, RenderChunk::PriorityNone);
        EXPECT_EQ(chunk.ambient.priority, RenderChunk::PriorityNone);
        EXPECT_EQ(chunk.entries.GetCount(), 0u);
    }

    // Defaults a description may leave out.
    SpotLight3D spot(nullptr);
    spot.Initialize();
    EXPECT_EQ(spot.outerCone->GetValue(0.0f), 40.0f);
    EXPECT_EQ(spot.innerCone->GetValue(0.0f), 30.0f);
    DirectionalLight3D directional(nullptr);
    directional.Initialize();
    EXPECT_EQ(directional.direction->GetValue(0.0f), D3DXVECTOR3(0.0f, -1.0f, 0.0f));
    EXPECT_EQ(directional.shadowSize->GetValue(0.0f), D3DXVECTOR2(100.0f, 100.0f));
    PointLight3D point(nullptr);
    point.Initialize();
    EXPECT_EQ(point.attenuation->GetValue(0.0f), D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(point.radius->GetValue(0.0f), 100.0f);
}

TEST(LightEffects, EachEnabledLightEmitsOneRecordOfItsParameters)
{
    Rig<PointLight3D> point;
    Set(point.light, "Enabled", true);
    Set(point.light, "Casts Shadows", true);
    Set(point.light, "Color", D3DXVECTOR3(0.5f, 0.25f, 1.0f));
    Set(point.light, "Attenuation", D3DXVECTOR3(1.0f, 0.1f, 0.01f));
    Set(point.light, "Position", D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    Set(point.light, "Radius", 7.0f);
    RenderChunk& p = point.Render(0.0f);
    ASSERT_EQ(LightCount(p), 1u);
    ASSERT_EQ(p.pointLights.GetCount(), 1u);
    EXPECT_EQ(p.pointLights[0].enabled, 1);
    EXPECT_EQ(p.pointLights[0].castsShadow, 1);
    EXPECT_EQ(p.pointLights[0].colour, D3DXVECTOR3(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(p.pointLights[0].attenuation, D3DXVECTOR3(1.0f, 0.1f, 0.01f));
    EXPECT_EQ(p.pointLights[0].radius, 7.0f);
    D3DXMATRIX translation;
    EXPECT_TRUE(MatrixNear(p.pointLights[0].lightToWorld, *D3DXMatrixTranslation(&translation, 1.0f, 2.0f, 3.0f)));

    Rig<DirectionalLight3D> directional;
    Set(directional.light, "Enabled", true);
    Set(directional.light, "Direction", D3DXVECTOR3(0.0f, -2.0f, 2.0f));
    Set(directional.light, "Shadow Source Distance", 40.0f);
    Set(directional.light, "Shadow Size", D3DXVECTOR2(30.0f, 20.0f));
    RenderChunk& d = directional.Render(0.0f);
    ASSERT_EQ(LightCount(d), 1u);
    ASSERT_EQ(d.directionalLights.GetCount(), 1u);
    EXPECT_EQ(d.directionalLights[0].castsShadow, 0);
    EXPECT_EQ(d.directionalLights[0].direction, D3DXVECTOR3(0.0f, -2.0f, 2.0f)); // not normalised
    EXPECT_EQ(d.directionalLights[0].shadowSourceDistance, 40.0f);
    EXPECT_EQ(d.directionalLights[0].shadowSize, D3DXVECTOR2(30.0f, 20.0f));
    EXPECT_EQ(d.directionalLights[0].colour, D3DXVECTOR3(1.0f, 1.0f, 1.0f));

    Rig<AreaSphereLight3D> sphere;
    Set(sphere.light, "Enabled", true);
    Set(sphere.light, "Position", D3DXVECTOR3(-1.0f, 0.0f, 4.0f));
    Set(sphere.light, "Light Radius", 2.0f);
    Set(sphere.light, "Render Radius", 50.0f);
    RenderChunk& a = sphere.Render(0.0f);
    ASSERT_EQ(LightCount(a), 1u);
    ASSERT_EQ(a.areaSphereLights.GetCount(), 1u);
    EXPECT_EQ(a.areaSphereLights[0].lightRadius, 2.0f);
    EXPECT_EQ(a.areaSphereLights[0].renderRadius, 50.0f);
    EXPECT_EQ(a.areaSphereLights[0].attenuation, D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    EXPECT_TRUE(
        MatrixNear(a.areaSphereLights[0].lightToWorld, *D3DXMatrixTranslation(&translation, -1.0f, 0.0f, 4.0f)));

    // The tube light has no "Casts Shadows": its byte is always 0.
    Rig<AreaTubeLight3D> tube;
    Set(tube.light, "Enabled", true);
    Set(tube.light, "Start Position", D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    Set(tube.light, "End Position", D3DXVECTOR3(0.0f, 5.0f, 0.0f));
    RenderChunk& t = tube.Render(0.0f);
    ASSERT_EQ(LightCount(t), 1u);
    ASSERT_EQ(t.areaTubeLights.GetCount(), 1u);
    EXPECT_EQ(t.areaTubeLights[0].castsShadow, 0);
    EXPECT_FALSE(t.areaTubeLights[0].CastsShadow());
    EXPECT_EQ(t.areaTubeLights[0].start, D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(t.areaTubeLights[0].end, D3DXVECTOR3(0.0f, 5.0f, 0.0f));
    EXPECT_EQ(t.areaTubeLights[0].radius, 10.0f);
}

TEST(LightEffects, SpotLightHoldsRadiansAndFacesItsTarget)
{
    Rig<SpotLight3D> rig;
    Set(rig.light, "Enabled", true);
    Set(rig.light, "Cone Outer Angle", 90.0f);
    Set(rig.light, "Position", D3DXVECTOR3(0.0f, 0.0f, -5.0f));
    Set(rig.light, "Target", D3DXVECTOR3(3.0f, 0.0f, -1.0f));
    const RenderChunk& chunk = rig.Render(0.0f);
    ASSERT_EQ(chunk.spotLights.GetCount(), 1u);
    const RenderChunk::SpotLight& light = chunk.spotLights[0];
    EXPECT_EQ(light.outerCone, 1.5707964f);
    EXPECT_EQ(light.innerCone, static_cast<float>(30.0 * 0.017453292519943295));

    // Rows right, up, forward, then the position: forward points at the target.
    const D3DXVECTOR3 forward(light.lightToWorld._31, light.lightToWorld._32, light.lightToWorld._33);
    const D3DXVECTOR3 expected(0.6f, 0.0f, 0.8f);
    EXPECT_TRUE(Near(forward, expected, 3));
    EXPECT_EQ(D3DXVECTOR3(light.lightToWorld._41, light.lightToWorld._42, light.lightToWorld._43),
              D3DXVECTOR3(0.0f, 0.0f, -5.0f));
    EXPECT_EQ(light.lightToWorld._44, 1.0f);
}

TEST(LightEffects, DegenerateSpotOrientationsGiveFiniteMatrices)
{
    struct Case
    {
        const char* what;
        D3DXVECTOR3 position;
        D3DXVECTOR3 target;
    };
    const Case cases[] = {
        {"target on the position", D3DXVECTOR3(1.0f, 2.0f, 3.0f), D3DXVECTOR3(1.0f, 2.0f, 3.0f)},
        {"straight down, parallel to up", D3DXVECTOR3(0.0f, 5.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f)},
        {"straight up", D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 9.0f, 0.0f)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Rig<SpotLight3D> rig;
        Set(rig.light, "Enabled", true);
        Set(rig.light, "Position", c.position);
        Set(rig.light, "Target", c.target);
        const RenderChunk& chunk = rig.Render(0.0f);
        ASSERT_EQ(chunk.spotLights.GetCount(), 1u);
        const D3DXMATRIX& m = chunk.spotLights[0].lightToWorld;
        ASSERT_TRUE(Finite(m));
        // Still an orientation the renderers can invert: orthonormal rows, the position kept.
        D3DXMATRIX inverse, product;
        ASSERT_NE(D3DXMatrixInverse(&inverse, nullptr, &m), nullptr);
        D3DXMatrixMultiply(&product, &m, &inverse);
        D3DXMATRIX identity;
        EXPECT_TRUE(MatrixNear(product, *D3DXMatrixIdentity(&identity), 1e-5f));
        EXPECT_EQ(D3DXVECTOR3(m._41, m._42, m._43), c.position);
    }
}

TEST(LightEffects, EnabledIsReadAtEachFrameTime)
{
    Rig<PointLight3D> rig;
    Brivet::Utility::XML::Document document;
    ASSERT_TRUE(document.Load("<parameter name=\"Enabled\"><value type=\"spline\"><clip start=\"0\" length=\"10\">"
                              "<key time=\"0\" interpolation=\"hold\" value=\"false\"/>"
                              "<key time=\"2\" interpolation=\"hold\" value=\"true\"/>"
                              "<key time=\"4\" interpolation=\"hold\" value=\"false\"/></clip></value></parameter>"));
    ASSERT_TRUE(rig.light.enabled->Load(Brivet::Utility::XML::Node(document.GetHandle()->first_child(), &document)));
    for (float t : {1.0f, 3.0f, 5.0f, 3.0f})
        EXPECT_EQ(rig.Render(t).pointLights.GetCount(), (t > 2.0f && t < 4.0f) ? 1u : 0u) << t;
    // The chunk holds the light at time 0 from the moment the inputs are resolved.
    Rig<PointLight3D> constant;
    Set(constant.light, "Enabled", true);
    constant.light.OnInputsResolved();
    EXPECT_EQ(constant.output.pointLights.GetCount(), 1u);
}

TEST(LightEffects, AmbientLightWinsOverASceneAmbientWhenMerged)
{
    Rig<AmbientLight3D> rig;
    Set(rig.light, "Enabled", true);
    Set(rig.light, "Color", D3DXVECTOR3(0.1f, 0.2f, 0.3f));
    const RenderChunk& ambient = rig.Render(0.0f);
    EXPECT_EQ(ambient.ambient.priority, RenderChunk::PriorityEffect);
    EXPECT_EQ(ambient.ambient.colour, D3DXVECTOR3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(LightCount(ambient), 0u);

    // Merged after or before a scene's ambient colour, the light's one stays.
    RenderChunk scene(nullptr, nullptr);
    scene.ambient.priority = RenderChunk::PriorityScene;
    scene.ambient.colour = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    for (bool lightFirst : {true, false})
    {
        RenderChunk merged(nullptr, nullptr);
        merged.Merge(lightFirst ? &ambient : &scene, nullptr, nullptr);
        merged.Merge(lightFirst ? &scene : &ambient, nullptr, nullptr);
        EXPECT_EQ(merged.ambient.colour, D3DXVECTOR3(0.1f, 0.2f, 0.3f)) << lightFirst;
        EXPECT_EQ(merged.ambient.priority, RenderChunk::PriorityEffect) << lightFirst;
    }
}

// The repository's factory tables in registration order.
#include "repository/RegisterRepository.h"

#include "Assets/Effect/IEffectFactory.h"
#include "Assets/Resource/IResourceFactory.h"
#include "Demo.h"
#include "repository/Effects/AmbientLight3DFactory.h"
#include "repository/Effects/AreaSphereLight3DFactory.h"
#include "repository/Effects/AreaTubeLight3DFactory.h"
#include "repository/Effects/Camera3DFactory.h"
#include "repository/Effects/CameraModFactory.h"
#include "repository/Effects/CameraShakeFactory.h"
#include "repository/Effects/CubeRenderer3DFactory.h"
#include "repository/Effects/ComputedBufferFactory.h"
#include "repository/Effects/ComputedGeometry3DFactory.h"
#include "repository/Effects/DirectionalLight3DFactory.h"
#include "repository/Effects/Duplicate3DFactory.h"
#include "repository/Effects/GBufferLighting2DFactory.h"
#include "repository/Effects/Instancer3DFactory.h"
#include "repository/Effects/Layer2DFactory.h"
#include "repository/Effects/LayerGBuffer2DFactory.h"
#include "repository/Effects/Merge3DFactory.h"
#include "repository/Effects/Particle3DFactory.h"
#include "repository/Effects/MeshToShaderResourceFactory.h"
#include "repository/Effects/PointLight3DFactory.h"
#include "repository/Effects/ProceduralGeometry3DFactory.h"
#include "repository/Effects/Renderer3DFactory.h"
#include "repository/Effects/RendererGBuffer3DFactory.h"
#include "repository/Effects/Scene3DFactory.h"
#include "repository/Effects/Shape3DFactory.h"
#include "repository/Effects/SpotLight3DFactory.h"
#include "repository/Effects/TextPlane3DFactory.h"
#include "repository/Effects/Transform3DFactory.h"
#include "repository/Resources/CubeTextureRenderTargetFactory.h"
#include "repository/Resources/BufferFactory.h"
#include "repository/Resources/ComputeShaderFactory.h"
#include "repository/Resources/EffectFactory.h"
#include "repository/Resources/FontFactory.h"
#include "repository/Resources/GBufferFactory.h"
#include "repository/Resources/RenderChunkFactory.h"
#include "repository/Resources/SceneFactory.h"
#include "repository/Resources/ShaderResourceFactory.h"
#include "repository/Resources/TextureFactory.h"

namespace Brivet
{
namespace
{
using Assets::Effect::IEffectFactory;
using Assets::Resource::IResourceFactory;

// One row per resource type, in this order: "texture", "cubetexture", "effect",
// "scene", "RenderChunk", "gbuffer", "Font", "computeShader", "shaderresource",
// "buffer". A null row would be passed over.
IResourceFactory* const resourceFactories[] = {
    &TextureFactory::instance,
    &CubeTextureRenderTargetFactory::instance,
    &EffectFactory::instance,
    &SceneFactory::instance,
    &RenderChunkFactory::instance,
    &GBufferFactory::instance,
    &FontFactory::instance,
    &ComputeShaderFactory::instance,
    &ShaderResourceFactory::instance,
    &BufferFactory::instance,
};

// One row per effect type, in this order: "Layer2D", "LayerGBuffer2D",
// "GBufferLighting2D", "Renderer3D", "RendererGBuffer3D", "CubeRenderer3D",
// "Scene3D", "Particle3D", "Transform3D", "Merge3D", "Duplicate3D", "Shape3D",
// "Camera3D", "TextPlane3D", "CameraShake", "CameraMod", "Instancer3D",
// "PointLight3D", "DirectionalLight3D", "AmbientLight3D", "SpotLight3D",
// "ComputedGeometry3D", "ProceduralGeometry3D", "AreaSphereLight3D",
// "AreaTubeLight3D", "MeshToShaderResource", "ComputedBuffer". A null row would be
// passed over.
IEffectFactory* const effectFactories[] = {
    &Layer2DFactory::instance,
    &LayerGBuffer2DFactory::instance,
    &GBufferLighting2DFactory::instance,
    &Renderer3DFactory::instance,
    &RendererGBuffer3DFactory::instance,
    &CubeRenderer3DFactory::instance,
    &Scene3DFactory::instance,
    &Particle3DFactory::instance,
    &Transform3DFactory::instance,
    &Merge3DFactory::instance,
    &Duplicate3DFactory::instance,
    &Shape3DFactory::instance,
    &Camera3DFactory::instance,
    &TextPlane3DFactory::instance,
    &CameraShakeFactory::instance,
    &CameraModFactory::instance,
    &Instancer3DFactory::instance,
    &PointLight3DFactory::instance,
    &DirectionalLight3DFactory::instance,
    &AmbientLight3DFactory::instance,
    &SpotLight3DFactory::instance,
    &ComputedGeometry3DFactory::instance,
    &ProceduralGeometry3DFactory::instance,
    &AreaSphereLight3DFactory::instance,
    &AreaTubeLight3DFactory::instance,
    &MeshToShaderResourceFactory::instance,
    &ComputedBufferFactory::instance,
};
} // namespace

bool RegisterRepository(Demo* demo)
{
    if (!demo)
        return false;
    for (IResourceFactory* factory : resourceFactories)
    {
        if (factory)
            demo->RegisterResourceFactory(factory);
    }
    for (IEffectFactory* factory : effectFactories)
    {
        if (factory)
            demo->RegisterEffectFactory(factory);
    }
    return true;
}
} // namespace Brivet

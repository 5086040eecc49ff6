// The part of a shader resource (an HLSL effect, a compute shader) that collects, from the
// reflection of every compiled stage, which of the variables named by the metadata's
// "input" elements are textures, buffers or float constants.
#pragma once

#include "Base/Array.h"
#include "Base/Dictionary.h"
#include "Base/String.h"
#include "Parameters/IParameter.h"

#include <cstdint>

struct ID3D11ShaderReflection;
struct ID3D11ShaderReflectionConstantBuffer;

namespace Brivet::Utility::XML
{
class Node;
}

// No virtual operations: the resource that owns it calls it while it loads.
class ShaderReflectionHostBase
{
public:
    struct ShaderInput
    {
        enum Kind : uint32_t
        {
            KindTexture = 0,        // an effect input of type "texture"
            KindShaderResource = 1, // an effect input of type "shaderresource"
        };

        Brivet::Base::String name;
        uint32_t kind = KindTexture;
    };

    // Direct3D's numbers for what the reflection reports (d3dcommon.h; the Windows build
    // checks them).
    enum : uint32_t
    {
        BindTexture = 2,        // D3D_SIT_TEXTURE
        BindReadWriteTyped = 4, // D3D_SIT_UAV_RWTYPED
        BindByteAddress = 7,    // D3D_SIT_BYTEADDRESS
        DimensionBuffer = 1,    // D3D_SRV_DIMENSION_BUFFER
        ClassScalar = 0,        // D3D_SVC_SCALAR
        ClassVector = 1,        // D3D_SVC_VECTOR
        TypeFloat = 3,          // D3D_SVT_FLOAT
    };

    ShaderReflectionHostBase() = default;
    ShaderReflectionHostBase(const ShaderReflectionHostBase&) = delete;
    ShaderReflectionHostBase& operator=(const ShaderReflectionHostBase&) = delete;

    // Appends the text of every "input" child of the metadata element (its first text
    // child; empty without one) to the input names, in document order.
    void ReadInputs(const Brivet::Utility::XML::Node& metadata);

    // Every bound resource of a compiled stage, in binding order (null: nothing).
    void ReflectResources(ID3D11ShaderReflection* reflection);
    // Every variable of a stage's reflected constant buffer 0 (null: nothing).
    void ReflectConstants(ID3D11ShaderReflectionConstantBuffer* buffer);

    // One bound resource as the reflection describes it: kept when an input names it and
    // it is not kept yet; a texture becomes a shader resource when its view is a buffer, a
    // read-write typed view and a byte-address buffer are one; other binding types are
    // passed over.
    void AddReflectedResource(const char* name, uint32_t bindType, uint32_t dimension);
    // One constant-buffer variable: kept (overwriting) when an input names it and it is a
    // float or float vector of one row and 1 to 4 columns.
    void AddReflectedConstant(const char* name, uint32_t variableClass, uint32_t variableType, uint32_t rows,
                              uint32_t columns);

    // True when an "input" element names the variable (without regard to case).
    bool IsInputName(const Brivet::Base::String& name) const;

    Brivet::Base::Array<ShaderInput> inputs; // in the order first met
    // By variable name: Float, Vector2, Vector3 or Vector4.
    Brivet::Base::Dictionary<Brivet::Base::String, Brivet::Parameters::Type> constants;
    Brivet::Base::Array<Brivet::Base::String> inputNames;
};

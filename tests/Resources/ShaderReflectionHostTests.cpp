// Which reflected variables the metadata's "input" elements turn into inputs and constants.
#include "repository/Resources/ShaderReflectionHostBase.h"

#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivet::Base::String;
using Brivet::Parameters::Type;
using Host = ShaderReflectionHostBase;

namespace
{
constexpr uint32_t SamplerBinding = 3;    // D3D_SIT_SAMPLER
constexpr uint32_t StructuredBinding = 5; // D3D_SIT_STRUCTURED
constexpr uint32_t ReadWriteByteAddressBinding = 8; // D3D_SIT_UAV_RWBYTEADDRESS
constexpr uint32_t ConstantBinding = 0;   // D3D_SIT_CBUFFER
constexpr uint32_t Texture2DDimension = 4;
constexpr uint32_t MatrixColumns = 3; // D3D_SVC_MATRIX_COLUMNS
constexpr uint32_t IntType = 2;       // D3D_SVT_INT

// A host whose "input" elements are the given texts.
void ReadNames(Host& host, const std::string& inputs)
{
    Brivet::Utility::XML::Document document;
    const std::string xml = "<metadata>" + inputs + "<variation>X</variation></metadata>";
    ASSERT_TRUE(document.Load(xml.c_str()));
    host.ReadInputs(Brivet::Utility::XML::Node(document.GetHandle()->child("metadata"), &document));
}

std::vector<std::pair<std::string, uint32_t>> Inputs(const Host& host)
{
    std::vector<std::pair<std::string, uint32_t>> inputs;
    for (const Host::ShaderInput& input : host.inputs)
        inputs.emplace_back(input.name.GetText(), input.kind);
    return inputs;
}

Type ConstantType(Host& host, const char* name)
{
    Type* type = nullptr;
    return host.constants.Find(String(name), &type) ? *type : Type::None;
}
} // namespace

TEST(ShaderReflectionHost, InputNamesInDocumentOrder)
{
    Host host;
    ReadNames(host, "<input>texSource</input><input>fAmount</input><input/><input><!-- note -->v4Tint</input>");
    ASSERT_EQ(host.inputNames.GetCount(), 4u);
    EXPECT_STREQ(host.inputNames[0].GetText(), "texSource");
    EXPECT_STREQ(host.inputNames[1].GetText(), "fAmount");
    EXPECT_STREQ(host.inputNames[2].GetText(), ""); // no text child
    EXPECT_STREQ(host.inputNames[3].GetText(), "v4Tint"); // the first text child
    EXPECT_TRUE(host.IsInputName(String("TEXSOURCE")));
    EXPECT_FALSE(host.IsInputName(String("texOther")));
}

TEST(ShaderReflectionHost, ResourcesBecomeInputsByBindingType)
{
    Host host;
    ReadNames(host, "<input>texA</input><input>bufB</input><input>rwC</input><input>smpD</input>"
                    "<input>sbE</input><input>cbF</input>");
    host.AddReflectedResource("texUnnamed", Host::BindTexture, Texture2DDimension); // no "input" names it
    host.AddReflectedResource("texA", Host::BindTexture, Texture2DDimension);
    host.AddReflectedResource("bufB", Host::BindTexture, Host::DimensionBuffer);
    host.AddReflectedResource("rwC", Host::BindReadWriteTyped, Host::DimensionBuffer);
    host.AddReflectedResource("smpD", SamplerBinding, 0);
    host.AddReflectedResource("sbE", StructuredBinding, Host::DimensionBuffer);
    host.AddReflectedResource("cbF", ConstantBinding, 0);
    // Met again by another stage or variation (in another case): recorded once.
    host.AddReflectedResource("TEXA", Host::BindTexture, Texture2DDimension);
    host.AddReflectedResource("texA", Host::BindTexture, Texture2DDimension);
    host.AddReflectedResource(nullptr, Host::BindTexture, Texture2DDimension);

    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"texA", Host::ShaderInput::KindTexture},
        {"bufB", Host::ShaderInput::KindShaderResource},
        {"rwC", Host::ShaderInput::KindShaderResource},
    };
    EXPECT_EQ(Inputs(host), expected);
}

TEST(ShaderReflectionHost, FloatConstantsBecomeParameterTypes)
{
    Host host;
    ReadNames(host, "<input>fA</input><input>v2B</input><input>v3C</input><input>v4D</input>"
                    "<input>matE</input><input>nF</input><input>v4Wide</input>");
    host.AddReflectedConstant("fA", Host::ClassScalar, Host::TypeFloat, 1, 1);
    host.AddReflectedConstant("v2B", Host::ClassVector, Host::TypeFloat, 1, 2);
    host.AddReflectedConstant("v3C", Host::ClassVector, Host::TypeFloat, 1, 3);
    host.AddReflectedConstant("v4D", Host::ClassVector, Host::TypeFloat, 1, 4);
    host.AddReflectedConstant("matE", MatrixColumns, Host::TypeFloat, 4, 4);
    host.AddReflectedConstant("nF", Host::ClassScalar, IntType, 1, 1);
    host.AddReflectedConstant("v4Wide", Host::ClassVector, Host::TypeFloat, 1, 5);
    host.AddReflectedConstant("fUnnamed", Host::ClassScalar, Host::TypeFloat, 1, 1);

    EXPECT_EQ(host.constants.GetCount(), 4u);
    EXPECT_EQ(ConstantType(host, "fA"), Type::Float);
    EXPECT_EQ(ConstantType(host, "v2B"), Type::Vector2);
    EXPECT_EQ(ConstantType(host, "v3C"), Type::Vector3);
    EXPECT_EQ(ConstantType(host, "v4D"), Type::Vector4);
    EXPECT_EQ(ConstantType(host, "matE"), Type::None);
    EXPECT_EQ(ConstantType(host, "nF"), Type::None);
    EXPECT_EQ(ConstantType(host, "fUnnamed"), Type::None);

    // A later stage that declares the name otherwise decides its type.
    host.AddReflectedConstant("fA", Host::ClassVector, Host::TypeFloat, 1, 3);
    EXPECT_EQ(ConstantType(host, "fA"), Type::Vector3);
    EXPECT_EQ(host.constants.GetCount(), 4u);
}

TEST(ShaderReflectionHost, ByteAddressBufferBecomesAShaderResourceInput)
{
    // A mesh's vertices reach shaders only as a raw view: its binding must become an input.
    Host host;
    ReadNames(host, "<input>rawVertices</input><input>rwRaw</input>");
    host.AddReflectedResource("rawVertices", Host::BindByteAddress, Host::DimensionBuffer);
    host.AddReflectedResource("rwRaw", ReadWriteByteAddressBinding, Host::DimensionBuffer);
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"rawVertices", Host::ShaderInput::KindShaderResource},
    };
    EXPECT_EQ(Inputs(host), expected);
}

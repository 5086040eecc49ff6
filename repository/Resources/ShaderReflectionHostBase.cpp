// Input names of the metadata and the rules that turn reflected variables into inputs
// and constants (the reflection walk itself is in ShaderReflectionHostBaseD3D11.cpp).
#include "repository/Resources/ShaderReflectionHostBase.h"

#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

using Brivet::Base::String;

void ShaderReflectionHostBase::ReadInputs(const Brivet::Utility::XML::Node& metadata)
{
    Brivet::Utility::XML::ChildIterator it("input");
    while (it.Next(metadata))
    {
        // The first text child, not the concatenated text of the element.
        pugi::xml_node text = it.GetCurrent().GetHandle().first_child();
        while (text && text.type() != pugi::node_pcdata && text.type() != pugi::node_cdata)
            text = text.next_sibling();
        inputNames.Add(String(text ? text.value() : ""));
    }
}

bool ShaderReflectionHostBase::IsInputName(const String& name) const
{
    return inputNames.Contains(name);
}

void ShaderReflectionHostBase::AddReflectedResource(const char* name, uint32_t bindType, uint32_t dimension)
{
    if (!name)
        return;
    const String variable(name);
    if (!IsInputName(variable))
        return;
    for (const ShaderInput& input : inputs)
    {
        if (input.name.GetHashLower() == variable.GetHashLower())
            return;
    }

    ShaderInput input;
    input.name = variable;
    if (bindType == BindTexture)
        input.kind = dimension == DimensionBuffer ? ShaderInput::KindShaderResource : ShaderInput::KindTexture;
    else if (bindType == BindReadWriteTyped)
        input.kind = ShaderInput::KindShaderResource;
    else if (bindType == BindByteAddress)
        input.kind = ShaderInput::KindShaderResource; // taken too: a mesh's vertices reach shaders only as a raw view
    else
        return; // samplers, constant buffers, structured buffers, other read-write views
    inputs.Add(input);
}

void ShaderReflectionHostBase::AddReflectedConstant(const char* name, uint32_t variableClass, uint32_t variableType,
                                                    uint32_t rows, uint32_t columns)
{
    if (!name)
        return;
    const String variable(name);
    if (!IsInputName(variable))
        return;
    if (variableType != TypeFloat || (variableClass != ClassScalar && variableClass != ClassVector) || rows != 1 ||
        columns < 1 || columns > 4)
        return;
    // Float has code 2; a vector of n components n + 1.
    constants.Set(variable, static_cast<Brivet::Parameters::Type>(columns + 1));
}

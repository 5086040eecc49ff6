// The effect node: effect creation, the output resource, parameter loading and saving.
#include "Compositing/NodeEffect.h"

#include "Assets/Effect/IEffect.h"
#include "Assets/Effect/IEffectFactory.h"
#include "Assets/Resource/IResource.h"
#include "Compositing/Graph.h"
#include "Demo.h"
#include "Parameters/Parameter.h"
#include "Utility/Assert.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

using Brivet::Utility::Log;

namespace Brivet::Compositing
{
namespace
{
// Load or Save of a parameter record through its value type; false for a code that
// is not one of the eight value types (after the assertion).
template <typename Operation>
bool WithParameter(const Assets::Effect::IEffect::Parameter& record, Operation operation)
{
    using Parameters::Parameter;
    Parameters::IParameter* parameter = record.parameter;
    switch ((Parameters::Type)record.type)
    {
    case Parameters::Type::Bool: return operation(static_cast<Parameter<bool>*>(parameter));
    case Parameters::Type::Float: return operation(static_cast<Parameter<float>*>(parameter));
    case Parameters::Type::Vector2: return operation(static_cast<Parameter<D3DXVECTOR2>*>(parameter));
    case Parameters::Type::Vector3: return operation(static_cast<Parameter<D3DXVECTOR3>*>(parameter));
    case Parameters::Type::Vector4: return operation(static_cast<Parameter<D3DXVECTOR4>*>(parameter));
    case Parameters::Type::Int: return operation(static_cast<Parameter<int>*>(parameter));
    case Parameters::Type::UInt: return operation(static_cast<Parameter<unsigned int>*>(parameter));
    case Parameters::Type::String: return operation(static_cast<Parameter<Base::String>*>(parameter));
    default: break;
    }
    BRIVET_ASSERT("Compositing/NodeEffect", "Unknown parameter type: %d", (int)record.type);
    return false;
}

Utility::XML::Node Child(const Utility::XML::Node& element, const char* name)
{
    return Utility::XML::Node(element.GetHandle().child(name), element.GetDocument());
}
} // namespace

NodeEffect::NodeEffect(Graph* graph, uint32_t id)
    : INode(graph, id), effect(nullptr), output(nullptr)
{
}

NodeEffect::~NodeEffect()
{
    Unload();
}

void NodeEffect::SetName(const Base::String& text)
{
    name = text;
    if (effect)
        effect->name = text;
}

const Base::StaticString<64>& NodeEffect::GetOutputTypeName()
{
    static const Base::StaticString<64> none;
    return effect ? effect->outputTypeName : none;
}

bool NodeEffect::Load(const Utility::XML::Node& element)
{
    // The effect
    Base::String typeText;
    Child(element, "effect").GetAttribute("type", typeText);
    const Base::StaticString<64> effectType(typeText.GetText());
    if (!CreateEffect(effectType))
        return false;

    // Its output: a render target created now already knows the graph's output size,
    // the output node having been loaded first.
    const Utility::XML::Node resource = Child(element, "resource");
    output = demo->resourceManager.CreateDynamic(graph, effect->outputTypeName,
                                                 resource.GetHandle() ? &resource : nullptr);
    if (!output)
    {
        Log::Error("[effect] Failed to create dynamic resource '%s'", effect->outputTypeName.GetText());
        return false;
    }
    return true;
}

bool NodeEffect::CreateEffect(const Base::StaticString<64>& effectType)
{
    effect = Assets::Effect::CreateEffect(demo->effectFactories, demo, effectType, name);
    if (!effect)
        return false;
    type = effectType;
    return true;
}

bool NodeEffect::LoadParameters(const Utility::XML::Node& element)
{
    if (!effect)
        return true;

    const Utility::XML::Node effectElement = Child(element, "effect");
    Utility::XML::ChildIterator it("parameter");
    while (it.Next(effectElement))
    {
        const Utility::XML::Node parameterElement = it.GetCurrent();
        Base::String nameText;
        parameterElement.GetAttribute("name", nameText);
        const Base::StaticString<64> parameterName(nameText.GetText());

        Assets::Effect::IEffect::Parameter* record = nullptr;
        if (effect->parameters.Find(parameterName, &record))
        {
            const bool loaded = WithParameter(*record, [&](auto* parameter) { return parameter->Load(parameterElement); });
            if (!loaded)
            {
                // The parameter's Load logs nothing: without this line the box would not
                // say which parameter of which node failed.
                Log::Error("[effect] Failed to load parameter '%s' of '%s'", parameterName.GetText(), name.GetText());
                return false;
            }
            continue;
        }

        // Not declared yet: the effect applies the text when it declares the name.
        Utility::XML::Document::Writer writer;
        parameterElement.GetHandle().print(writer);
        effect->pendingParameters.Set(parameterName, writer.GetText());
    }
    return true;
}

bool NodeEffect::Save(const Utility::XML::Node& element)
{
    pugi::xml_node effectElement = element.GetHandle().append_child("effect");
    effectElement.append_attribute("type").set_value(type.GetText());

    if (effect)
    {
        for (uint32_t i = 0; i < effect->parameters.GetCount(); ++i)
        {
            const auto& entry = effect->parameters.GetEntry(i);
            pugi::xml_node parameterElement = effectElement.append_child("parameter");
            parameterElement.append_attribute("name").set_value(entry.key.GetText());
            const Utility::XML::Node parameterNode(parameterElement, element.GetDocument());
            if (!WithParameter(entry.value, [&](auto* parameter) { return parameter->Save(parameterNode); }))
            {
                Log::Error("[effect] Failed to save parameter '%s'", entry.key.GetText());
                return false;
            }
        }
    }

    if (!output)
        return true;
    pugi::xml_node resourceElement = element.GetHandle().append_child("resource");
    return output->WriteXml(Utility::XML::Node(resourceElement, element.GetDocument()));
}

bool NodeEffect::Unload()
{
    if (output)
    {
        demo->resourceManager.DestroyDynamic(effect->outputTypeName, output);
        output = nullptr;
    }
    if (effect)
    {
        effect->Shutdown();
        delete effect;
        effect = nullptr;
    }
    return true;
}

void NodeEffect::Invalidate()
{
    if (output)
        output->Invalidate();
}

void NodeEffect::OnResize()
{
    if (effect)
        effect->OnResize();
    if (output)
        output->OnResize();
}
} // namespace Brivet::Compositing

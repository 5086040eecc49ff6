// Declarations of effect inputs and parameters across declaration passes.
#include "Assets/Effect/IEffect.h"

#include "Assets/Resource/IResource.h"
#include "Parameters/Parameter.h"
#include "Parameters/ValueTraits.h"
#include "Parameters/XMLText.h"
#include "Utility/Log.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <cstring>
#include <new>

namespace Brivet::Assets::Effect
{
namespace
{
// Moves every live record of from into to, visiting from in slot order, then empties
// from in place (count 0, capacity kept).
template <typename Record, typename OnReplaced>
void Retire(Base::Dictionary<Base::StaticString<64>, Record>& from, Base::Dictionary<Base::StaticString<64>, Record>& to,
            OnReplaced onReplaced)
{
    for (uint32_t i = 0; i < from.GetCapacity(); ++i)
    {
        const auto& slot = from.GetSlot(i);
        if (!slot.IsLive())
            continue;
        Record* earlier = nullptr;
        if (to.Find(slot.key, &earlier))
            onReplaced(*earlier);
        to.Set(slot.key, slot.value);
    }
    while (from.GetCount() != 0)
    {
        const Base::StaticString<64> key(from.GetEntry(0).key);
        from.Remove(key);
    }
}
} // namespace

IEffect::IEffect(Demo* demo)
    : demo(demo), changed(false)
{
}

IEffect::~IEffect()
{
    for (uint32_t i = 0; i < parameters.GetCount(); ++i)
        delete parameters.GetEntry(i).value.parameter;
    for (uint32_t i = 0; i < retiredParameters.GetCount(); ++i)
        delete retiredParameters.GetEntry(i).value.parameter;
    for (Parameters::IParameter* parameter : replacedParameters)
        delete parameter;
}

// Out of line on purpose: the zeroing must not be visible to the compiler where the
// constructor runs, or it may drop it as a store to an object that is not alive yet.
void* IEffect::operator new(size_t size)
{
    void* block = ::operator new(size);
    memset(block, 0, size);
    return block;
}

void IEffect::operator delete(void* block)
{
    ::operator delete(block);
}

void IEffect::Shutdown()
{
}

void IEffect::OnInputsChanged()
{
}

void IEffect::OnInputsResolved()
{
}

void IEffect::OnParameterChanged(Parameters::IParameter* parameter)
{
}

void IEffect::OnResize()
{
}

void IEffect::DeclareInput(const Base::StaticString<64>& inputName, const Base::StaticString<64>& inputType)
{
    // Copies: the caller may pass keys or records of these very tables, which Set can move.
    const Base::StaticString<64> name(inputName);
    const Base::StaticString<64> type(inputType);
    Input* retired = nullptr;
    if (retiredInputs.Find(name, &retired) && retired->type.GetHashLower() == type.GetHashLower())
    {
        const Input record = *retired;
        inputs.Set(name, record);
        retiredInputs.Remove(name);
        return;
    }
    Input record;
    record.type = type;
    inputs.Set(name, record);
}

template <typename T>
Parameters::Parameter<T>* IEffect::AddParameter(const Base::StaticString<64>& parameterName, T defaultValue)
{
    const Base::StaticString<64> name(parameterName); // the caller's may live in a table Set moves
    constexpr uint32_t code = static_cast<uint32_t>(Parameters::ValueTraits<T>::Code);

    // Take back the record of this pass or of an earlier one when it holds a T.
    Parameter* found = nullptr;
    const bool current = parameters.Find(name, &found);
    if (current || retiredParameters.Find(name, &found))
    {
        const Parameter record = *found;
        if (record.type == code)
        {
            if (!current)
            {
                parameters.Set(name, record);
                retiredParameters.Remove(name);
            }
            return static_cast<Parameters::Parameter<T>*>(record.parameter);
        }
        // Another value type: handing it out as a Parameter<T> would be a wrong cast.
        Utility::Log::Warning("[effect] '%s': parameter '%s' declared as type %u after type %u; it starts anew",
                              this->name.GetText(), name.GetText(), code, record.type);
        replacedParameters.Add(record.parameter);
        if (!current)
            retiredParameters.Remove(name);
    }

    auto* parameter = new Parameters::Parameter<T>(defaultValue);
    Parameter record;
    record.type = code;
    record.parameter = parameter;
    parameters.Set(name, record);

    // A "parameter" element that arrived before the name was declared.
    Base::String* pending = nullptr;
    if (pendingParameters.Find(name, &pending))
    {
        Utility::XML::Document document;
        const bool parsed = document.Load(pending->GetText());
        const Utility::XML::Node root(*document.GetHandle(), &document);
        const Utility::XML::Node element = parsed ? Parameters::FirstChild(root, "parameter") : Utility::XML::Node();
        if (!parameter->Load(element))
            Utility::Log::Warning("[effect] '%s': failed to load parameter '%s' from its description",
                                  this->name.GetText(), name.GetText());
    }
    pendingParameters.Remove(name);
    return parameter;
}

template Parameters::Parameter<bool>* IEffect::AddParameter<bool>(const Base::StaticString<64>&, bool);
template Parameters::Parameter<int>* IEffect::AddParameter<int>(const Base::StaticString<64>&, int);
template Parameters::Parameter<unsigned int>* IEffect::AddParameter<unsigned int>(const Base::StaticString<64>&, unsigned int);
template Parameters::Parameter<float>* IEffect::AddParameter<float>(const Base::StaticString<64>&, float);
template Parameters::Parameter<D3DXVECTOR2>* IEffect::AddParameter<D3DXVECTOR2>(const Base::StaticString<64>&, D3DXVECTOR2);
template Parameters::Parameter<D3DXVECTOR3>* IEffect::AddParameter<D3DXVECTOR3>(const Base::StaticString<64>&, D3DXVECTOR3);
template Parameters::Parameter<D3DXVECTOR4>* IEffect::AddParameter<D3DXVECTOR4>(const Base::StaticString<64>&, D3DXVECTOR4);
template Parameters::Parameter<Base::String>* IEffect::AddParameter<Base::String>(const Base::StaticString<64>&, Base::String);

void IEffect::RetireInputs()
{
    // A retired input of the same name stands for an older binding: the current one wins.
    Retire(inputs, retiredInputs, [](const Input&) {});
}

void IEffect::RetireParameters()
{
    // A name is never current and retired at once, so nothing is replaced here; should
    // it happen, the older object is kept alive rather than lost.
    Retire(parameters, retiredParameters, [this](const Parameter& earlier) {
        if (earlier.parameter)
            replacedParameters.Add(earlier.parameter);
    });
}

void IEffect::SetInput(const Base::StaticString<64>& name, Resource::IResource* resource)
{
    Input* input = nullptr;
    if (!inputs.Find(name, &input))
        return;
    // A resource of another type stays unbound: bound as it is, the effect would cast it
    // to the class of the type it declared.
    if (resource && !resource->IsCompatible(input->type))
    {
        Base::StaticString<64> resourceType;
        resource->GetTypeName(resourceType);
        Utility::Log::Warning("[effect] '%s': input '%s' expects '%s', not '%s'; left unbound", this->name.GetText(),
                              name.GetText(), input->type.GetText(), resourceType.GetText());
        input->bound = nullptr;
        return;
    }
    input->bound = resource;
}
} // namespace Brivet::Assets::Effect

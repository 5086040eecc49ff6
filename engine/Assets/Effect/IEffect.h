// Base of every effect: its declared inputs and parameters, the declaration passes
// that retire and take back records, and the render into the output its graph gives it.
#pragma once

#include "Base/Array.h"
#include "Base/Dictionary.h"
#include "Base/StaticString.h"
#include "Base/String.h"

#include <cstddef>
#include <cstdint>

namespace Brivet
{
class Demo;
struct RenderContext;
}

namespace Brivet::Parameters
{
class IParameter;
template <typename T>
class Parameter;
}

namespace Brivet::Assets::Resource
{
class IResource;
}

namespace Brivet::Assets::Effect
{
// Names are StaticString<64> keys matched as the dictionaries match them (probe from
// the exact hash, match on the lower-case hash), so each name is used in one spelling.
// Effects are allocated on zero-filled storage: fields a type's constructor leaves
// alone read 0.
class IEffect
{
public:
    struct Input
    {
        Base::StaticString<64> type; // the resource type name the input expects
        Resource::IResource* bound = nullptr; // not owned; null until bound
    };

    struct Parameter
    {
        uint32_t type = 0; // Parameters::Type code of the value type
        Parameters::IParameter* parameter = nullptr; // a Parameter<T> of that type; owned
    };

    explicit IEffect(Demo* demo);
    // Deletes every parameter object; bound resources and the output belong to nodes.
    virtual ~IEffect();

    IEffect(const IEffect&) = delete;
    IEffect& operator=(const IEffect&) = delete;

    static void* operator new(size_t size); // zero-filled block
    static void operator delete(void* block);

    // Once, after the factory created the effect and the node named it: device objects,
    // outputTypeName and the first declaration pass. False fails the node's load.
    virtual bool Initialize() = 0;
    virtual void Shutdown();
    // After each binding pass; types whose declarations follow what is bound run a
    // new declaration pass here.
    virtual void OnInputsChanged();
    // Once, when the number of inputs has stopped changing.
    virtual void OnInputsResolved();
    virtual void OnParameterChanged(Parameters::IParameter* parameter);
    virtual void OnResize();
    // The resource to draw into, or null (draw nowhere).
    virtual void SetOutput(Resource::IResource* output) = 0;
    virtual Resource::IResource* GetOutput() = 0;
    virtual void Render(const RenderContext& context) = 0;

    // Declares an input of the current pass. A retired input of the same name and type
    // comes back with its bound resource; otherwise the input starts unbound (a retired
    // record of another type stays retired).
    void DeclareInput(const Base::StaticString<64>& name, const Base::StaticString<64>& type);

    // Declares a parameter of the current pass and returns its object, valid until the
    // effect is destroyed. A current or retired record of the name and value type is
    // returned as it is (the default is not used); a new one starts from the default and
    // then takes a pending "parameter" text of its name. A record of another value type
    // is replaced by a new one (logged); its object stays alive for whoever holds it.
    // T: bool, int, unsigned int, float, D3DXVECTOR2/3/4 or Base::String.
    template <typename T>
    Parameters::Parameter<T>* AddParameter(const Base::StaticString<64>& name, T defaultValue);

    // Begin a declaration pass: the current records become retired, the tables keep
    // their capacity. Parameter objects and bound resources stay untouched.
    void RetireInputs();
    void RetireParameters();

    // Binds resource (may be null) to a current input; a name that is not current is
    // ignored. A resource that does not fit the input's type is not bound: the input
    // becomes unbound and a warning is logged.
    void SetInput(const Base::StaticString<64>& name, Resource::IResource* resource);

    Demo* demo; // not owned
    Base::String name; // the node's name
    Base::Dictionary<Base::StaticString<64>, Input> inputs;
    Base::Dictionary<Base::StaticString<64>, Input> retiredInputs;
    Base::Dictionary<Base::StaticString<64>, Parameter> parameters;
    Base::Dictionary<Base::StaticString<64>, Parameter> retiredParameters;
    // Printed "parameter" elements whose names were not declared when the node loaded.
    Base::Dictionary<Base::StaticString<64>, Base::String> pendingParameters;
    Base::StaticString<64> outputTypeName; // what the effect renders into
    bool changed; // set by some types in OnParameterChanged; the base never reads it

private:
    // Objects of records replaced by a declaration of another value type; owned.
    Base::Array<Parameters::IParameter*> replacedParameters;
};
} // namespace Brivet::Assets::Effect

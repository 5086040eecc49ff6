// Small resource and effect types that exist only in the tests, with counters of
// what the manager and the declaration passes did to them.
#pragma once

#include "Assets/Effect/IEffect.h"
#include "Assets/Effect/IEffectFactory.h"
#include "Assets/Resource/IResource.h"
#include "Assets/Resource/IResourceFactory.h"
#include "Base/StaticString.h"
#include "Base/String.h"

#include <cstdint>
#include <string>
#include <vector>

namespace AssetsTest
{
using Brivet::Base::StaticString;

struct Counters
{
    int loads = 0;
    int unloads = 0;
    int deletes = 0;
    int destroys = 0; // factory Destroy calls
    int dynamicCreates = 0;
};

// A resource whose type name and extra compatible type are given; Load fails for
// paths containing "missing".
class TestResource : public Brivet::Assets::Resource::IResource
{
public:
    TestResource(const char* type, Counters* counters, const char* alsoCompatible = nullptr);
    ~TestResource() override;

    void GetTypeName(StaticString<64>& type) const override;
    bool IsCompatible(const StaticString<64>& type) const override;
    bool Load(const char* path) override;
    bool CreateDynamic(const Brivet::Utility::XML::Node* xml) override;
    void Unload() override;

    StaticString<64> typeName;
    StaticString<64> alsoCompatible;
    Counters* counters;
    std::string path;
    std::string description; // "name" attribute of the dynamic description
};

// A factory of TestResource under a given name, with or without file and dynamic forms.
class TestResourceFactory : public Brivet::Assets::Resource::IResourceFactory
{
public:
    TestResourceFactory(const char* type, bool fileForm, bool dynamic, bool infoResult = true);

    bool GetInfo(Brivet::Assets::Resource::FactoryInfo& info) override;
    Brivet::Assets::Resource::IResource* LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                      const Brivet::Utility::XML::Node* loadSettings) override;
    Brivet::Assets::Resource::IResource* CreateDynamic(Brivet::Compositing::Graph* graph,
                                                       const Brivet::Utility::XML::Node* xml) override;
    void Destroy(Brivet::Assets::Resource::IResource* resource) override;

    const char* type;
    bool fileForm;
    bool dynamic;
    bool infoResult;
    Counters counters;
    std::vector<Brivet::Assets::Resource::IResource*> destroyed;
};

// An effect shaped like the ones whose declarations follow what is bound: "Input 1"
// to "Input n" of type "RenderChunk", n one more than the highest bound input.
class TestEffect : public Brivet::Assets::Effect::IEffect
{
public:
    explicit TestEffect(Brivet::Demo* demo);
    ~TestEffect() override;

    bool Initialize() override;
    void Shutdown() override;
    void OnInputsChanged() override;
    void SetOutput(Brivet::Assets::Resource::IResource* resource) override { output = resource; }
    Brivet::Assets::Resource::IResource* GetOutput() override { return output; }
    void Render(const Brivet::RenderContext& context) override {}

    void DeclarePass(); // retire, then declare "Opacity" and the inputs

    // Left alone by the constructor: zero only through the zero-filled allocation.
    uint64_t untouched[8];
    Brivet::Assets::Resource::IResource* output;
    int inputsChangedCalls;

    bool initializeResult = true;
    int* shutdowns = nullptr;
    int* destructions = nullptr;
};

class TestEffectFactory : public Brivet::Assets::Effect::IEffectFactory
{
public:
    explicit TestEffectFactory(const char* name) : name(name) {}
    StaticString<64> GetName() override { return StaticString<64>(name); }
    Brivet::Assets::Effect::IEffect* Create(Brivet::Demo* demo) override;

    const char* name;
    bool initializeResult = true;
    int shutdowns = 0;
    int destructions = 0;
    int initializes = 0;
};

// Case variants of text (every mix of upper and lower case of its letters, up to 2^12).
std::vector<std::string> CaseVariants(const std::string& text);

// The text of a "parameter" element as a node's load prints it.
Brivet::Base::String PrintedParameter(const char* xml);
} // namespace AssetsTest

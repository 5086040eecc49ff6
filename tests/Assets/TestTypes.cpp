// Test-only resource and effect types.
#include "TestTypes.h"

#include "Parameters/Parameter.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace AssetsTest
{
TestResource::TestResource(const char* type, Counters* counters, const char* alsoCompatible)
    : IResource(nullptr, nullptr), typeName(type), alsoCompatible(alsoCompatible), counters(counters)
{
}

TestResource::~TestResource()
{
    ++counters->deletes;
}

void TestResource::GetTypeName(StaticString<64>& type) const
{
    type = typeName;
}

bool TestResource::IsCompatible(const StaticString<64>& type) const
{
    if (alsoCompatible.GetLength() && alsoCompatible.GetHashLower() == type.GetHashLower())
        return true;
    return IResource::IsCompatible(type);
}

bool TestResource::Load(const char* file)
{
    ++counters->loads;
    path = file;
    return strstr(file, "missing") == nullptr;
}

bool TestResource::CreateDynamic(const Brivet::Utility::XML::Node* xml)
{
    ++counters->dynamicCreates;
    Brivet::Base::String name;
    if (xml && xml->GetAttribute("name", name))
        description = name.GetText();
    return true;
}

void TestResource::Unload()
{
    ++counters->unloads;
}

TestResourceFactory::TestResourceFactory(const char* type, bool fileForm, bool dynamic, bool infoResult)
    : type(type), fileForm(fileForm), dynamic(dynamic), infoResult(infoResult)
{
}

bool TestResourceFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = StaticString<64>(type);
    info.dynamic = dynamic;
    return infoResult;
}

Brivet::Assets::Resource::IResource* TestResourceFactory::LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                                       const Brivet::Utility::XML::Node* loadSettings)
{
    if (!fileForm)
        return nullptr;
    auto* resource = new TestResource(type, &counters);
    if (!resource->Load(path))
    {
        delete resource;
        return nullptr;
    }
    return resource;
}

Brivet::Assets::Resource::IResource* TestResourceFactory::CreateDynamic(Brivet::Compositing::Graph* graph,
                                                                        const Brivet::Utility::XML::Node* xml)
{
    auto* resource = new TestResource(type, &counters);
    resource->CreateDynamic(xml);
    return resource;
}

void TestResourceFactory::Destroy(Brivet::Assets::Resource::IResource* resource)
{
    ++counters.destroys;
    destroyed.push_back(resource);
    IResourceFactory::Destroy(resource);
}

// output and inputsChangedCalls are left to the zero-filled allocation on purpose.
TestEffect::TestEffect(Brivet::Demo* demo)
    : IEffect(demo)
{
}

TestEffect::~TestEffect()
{
    if (destructions)
        ++*destructions;
}

bool TestEffect::Initialize()
{
    outputTypeName = StaticString<64>("RenderChunk");
    DeclarePass();
    return initializeResult;
}

void TestEffect::Shutdown()
{
    if (shutdowns)
        ++*shutdowns;
}

void TestEffect::OnInputsChanged()
{
    ++inputsChangedCalls;
    DeclarePass();
}

void TestEffect::DeclarePass()
{
    // Before retiring: the highest bound input decides how many inputs to declare.
    int count = 0;
    for (int k = 64; k >= 1; --k)
    {
        StaticString<64> name;
        name.Format("Input %d", k);
        Input* input = nullptr;
        if (inputs.Find(name, &input) && input->bound)
        {
            count = k;
            break;
        }
    }
    ++count;

    RetireInputs();
    RetireParameters();
    AddParameter<float>("Opacity", 1.0f);
    for (int k = 1; k <= count; ++k)
    {
        StaticString<64> name;
        name.Format("Input %d", k);
        DeclareInput(name, "RenderChunk");
    }
}

Brivet::Assets::Effect::IEffect* TestEffectFactory::Create(Brivet::Demo* demo)
{
    auto* effect = new TestEffect(demo);
    effect->initializeResult = initializeResult;
    effect->shutdowns = &shutdowns;
    effect->destructions = &destructions;
    ++initializes;
    return effect;
}

std::vector<std::string> CaseVariants(const std::string& text)
{
    std::vector<size_t> letters;
    for (size_t i = 0; i < text.size() && letters.size() < 12; ++i)
    {
        if (isalpha(static_cast<unsigned char>(text[i])))
            letters.push_back(i);
    }
    std::vector<std::string> variants;
    for (uint32_t mask = 0; mask < (1u << letters.size()); ++mask)
    {
        std::string variant = text;
        for (size_t bit = 0; bit < letters.size(); ++bit)
        {
            char& c = variant[letters[bit]];
            c = (mask & (1u << bit)) ? static_cast<char>(toupper(c)) : static_cast<char>(tolower(c));
        }
        variants.push_back(variant);
    }
    return variants;
}

Brivet::Base::String PrintedParameter(const char* xml)
{
    Brivet::Utility::XML::Document document;
    document.Load(xml);
    Brivet::Utility::XML::Document::Writer writer;
    document.GetHandle()->first_child().print(writer);
    return writer.GetText();
}
} // namespace AssetsTest

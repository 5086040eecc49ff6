// The texture factory.
#include "repository/Resources/TextureFactory.h"

#include "repository/Resources/Texture.h"

TextureFactory TextureFactory::instance;

bool TextureFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("texture");
    info.dynamic = true;
    info.extensions.Add(Brivet::Base::StaticString<10>("jpg"));
    info.extensions.Add(Brivet::Base::StaticString<10>("png"));
    info.extensions.Add(Brivet::Base::StaticString<10>("dds"));
    return true;
}

Brivet::Assets::Resource::IResource* TextureFactory::LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                                  const Brivet::Utility::XML::Node* loadSettings)
{
    Texture* texture = new Texture(graph);
    texture->sRGB = TextureSettings::ReadSrgb(loadSettings) ? 1 : 0;
    if (!texture->Load(path))
    {
        delete texture;
        return nullptr;
    }
    return texture;
}

Brivet::Assets::Resource::IResource* TextureFactory::CreateDynamic(Brivet::Compositing::Graph* graph,
                                                                   const Brivet::Utility::XML::Node* xml)
{
    Texture* texture = new Texture(graph);
    if (!texture->CreateDynamic(xml))
    {
        delete texture;
        return nullptr;
    }
    return texture;
}

// The font factory.
#include "repository/Resources/FontFactory.h"

#include "repository/Resources/Font.h"

FontFactory FontFactory::instance;

bool FontFactory::GetInfo(Brivet::Assets::Resource::FactoryInfo& info)
{
    info.name = Brivet::Base::StaticString<64>("Font");
    info.dynamic = false;
    info.extensions.Add(Brivet::Base::StaticString<10>("ttf"));
    info.extensions.Add(Brivet::Base::StaticString<10>("otf"));
    return true;
}

Brivet::Assets::Resource::IResource* FontFactory::LoadFromFile(Brivet::Compositing::Graph* graph, const char* path,
                                                               const Brivet::Utility::XML::Node* loadSettings)
{
    Font* font = new Font(graph);
    if (!font->Load(path))
    {
        delete font;
        return nullptr;
    }
    return font;
}

// Font resource: the archive entry baked into the glyph atlas texture.
#include "repository/Resources/Font.h"

#include "Compositing/Graph.h"
#include "Demo.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Archive/EntryBytes.h"
#include "Utility/Log.h"

#include <cstring>
#include <new>

using Brivet::Utility::Log;

Font::Font(Brivet::Compositing::Graph* graph)
    : IResource(graph, graph ? graph->demo : nullptr), atlas(graph && graph->demo ? &graph->demo->system : nullptr),
      glyphs(), atlasEdge(FontAtlas::AtlasEdge)
{
}

Font::~Font() = default;

void Font::GetTypeName(Brivet::Base::StaticString<64>& type) const
{
    type = Brivet::Base::StaticString<64>("Font");
}

bool Font::CreateDynamic(const Brivet::Utility::XML::Node* xml)
{
    return false;
}

bool Font::Load(const char* path)
{
    Brivet::Utility::Archive::IArchive* archive = demo ? demo->archive : nullptr;
    if (!archive || !path || !atlas.GetSystem())
        return false;

    // The entry, zero-terminated: the archive's own block, not a copy (read only here).
    Brivet::Utility::Archive::EntryBytes entry;
    if (!entry.Read(*archive, path))
        return false;
    const uint8_t* bytes = entry.GetData();
    const uint32_t size = entry.GetSize();

    const size_t texels = (size_t)atlasEdge * atlasEdge;
    uint8_t* pixels = new (std::nothrow) uint8_t[texels ? texels : 1];
    if (!pixels)
    {
        Log::Error("[font] stbtt_PackBegin failed: %d", 0);
        return false;
    }
    const bool baked = FontAtlas::Bake(path, bytes, size, atlasEdge, pixels, glyphs);
    if (!baked)
    {
        delete[] pixels;
        return false;
    }

    // Uploaded once as the texture's initial data; glyphs are never added later.
    const bool created =
        atlas.Create(atlasEdge, atlasEdge, AtlasFormat, Brivet::Graphics::TextureFlags::DepthReadable, pixels);
    delete[] pixels;
    if (!created)
        Log::Error("[font] Cannot create the %u x %u glyph atlas of '%s'", atlasEdge, atlasEdge, path);
    return created;
}

uint32_t Font::GetMemorySize()
{
    const uint64_t bytes = atlas.GetMemorySize();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)bytes;
}

const stbtt_packedchar* Font::GetGlyph(uint32_t codePoint) const
{
    const int record = FontAtlas::RecordOf(codePoint);
    return record < 0 ? nullptr : &glyphs[record];
}

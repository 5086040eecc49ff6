// libFuzzer harness: the font check and the atlas baking of a font resource's load, from
// arbitrary bytes. The file lies alone on the heap at its exact size, so a read past its
// end is caught; a baked atlas must keep every glyph's box inside it.
#include "FuzzCheck.h"
#include "repository/Resources/FontAtlas.h"

#include "FontBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

void WriteSeed(const char* folder, const char* name, const std::string& file)
{
    const std::string path = std::string(folder) + "/" + name;
    if (FILE* out = fopen(path.c_str(), "wb"))
    {
        fwrite(file.data(), 1, file.size(), out);
        fclose(out);
    }
}

std::vector<uint8_t> atlas(size_t(FontAtlas::AtlasEdge) * FontAtlas::AtlasEdge);
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Small fonts of each shape, for the folder named by the variable (real fonts are
    // copied there by the script).
    if (const char* folder = getenv("BRIVET_FUZZ_SEEDS"))
    {
        FontSpec spec;
        spec.codePoints = AtlasCodePoints();
        spec.codePoints.pop_back();
        spec.compositeCodePoint = 252;
        WriteSeed(folder, "format4", BuildFont(spec).bytes);
        spec.cmapFormat = 12;
        spec.longLoca = true;
        WriteSeed(folder, "format12-long", BuildFont(spec).bytes);
        FontSpec cff;
        cff.codePoints = AtlasCodePoints();
        cff.cff = true;
        cff.globalSubrs = {CffNumber(10) + CffNumber(10) + char(0x05) + char(0x0B)};
        cff.charstrings[34] = CffNumber(0) + CffNumber(0) + char(0x15) + CffNumber(-107) + char(0x1D) + char(0x0E);
        WriteSeed(folder, "cff", BuildFont(cff).bytes);
        FontSpec few;
        few.codePoints = {'A', 'B', 0xDC};
        few.compositeCodePoint = 'C';
        WriteSeed(folder, "few", BuildFont(few).bytes);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    std::vector<uint8_t> file(data, data + size);
    stbtt_packedchar glyphs[FontAtlas::GlyphCount] = {};
    if (!FontAtlas::Bake("fuzz.ttf", file.data(), uint32_t(file.size()), FontAtlas::AtlasEdge, atlas.data(), glyphs))
        return 0;
    for (const stbtt_packedchar& g : glyphs)
    {
        CHECK(g.x0 <= g.x1 && g.x1 <= FontAtlas::AtlasEdge);
        CHECK(g.y0 <= g.y1 && g.y1 <= FontAtlas::AtlasEdge);
    }
    return 0;
}

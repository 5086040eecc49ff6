// The font check's part for fonts of PostScript outlines (a "CFF " table): it walks the
// table the way stb_truetype's reader does and runs each glyph's charstring the way its
// interpreter does, with the table's true length where stb_truetype assumes 512 MiB, so
// that every byte stb_truetype will read is known to lie inside the table, its offsets
// stay in int range, a glyph's work is bounded and its coordinates fit the 16-bit
// vertices. Portable; used by FontAtlas.
#pragma once

#include <cstdint>

namespace FontAtlas
{
class CffCheck
{
public:
    // data: the whole file (size bytes); the table at offset, length bytes, inside it.
    CffCheck(const uint8_t* data, uint64_t size, uint64_t offset, uint64_t length);

    // What stbtt_InitFont reads of the table. False with why set; notFont when
    // stbtt_InitFont itself would refuse the font (no Type 2 charstrings).
    bool CheckTable();
    // One glyph's charstring, its subroutines included, as the packer runs it.
    bool CheckGlyph(uint32_t glyph);

    const char* why = nullptr;
    bool notFont = false;
    float reach = 0.0f; // after CheckGlyph: the largest distance of a vertex from the origin along x or y

    // A buffer as stb_truetype keeps one: a start in the file, the size it believes and a
    // cursor. Reads past the size give 0, as there; reads past the table are unsafe.
    struct Buffer
    {
        uint64_t start = 0;
        int32_t size = 0;
        int32_t cursor = 0;
    };

private:
    bool Fail(const char* reason)
    {
        if (!why)
            why = reason;
        return false;
    }
    uint8_t Get8(Buffer& b);
    uint8_t Peek8(Buffer& b);
    void Seek(Buffer& b, int64_t to);
    void Skip(Buffer& b, int64_t by) { Seek(b, int64_t(b.cursor) + by); }
    uint32_t Get(Buffer& b, int n);
    Buffer Range(const Buffer& b, int64_t offset, int64_t size);
    Buffer GetIndex(Buffer& b);
    uint32_t Int(Buffer& b);
    void SkipOperand(Buffer& b);
    Buffer DictGet(Buffer& b, int key);
    void DictGetInts(Buffer& b, int key, int count, uint32_t* out);
    int IndexCount(Buffer& b);
    Buffer IndexGet(Buffer b, int64_t i);
    Buffer GetSubrs(Buffer cff, Buffer fontDict);
    Buffer GetSubr(Buffer index, int n);
    Buffer GlyphSubrs(uint32_t glyph);
    // An int of stb_truetype's arithmetic; a value past int range is unsafe.
    int32_t Checked(int64_t value);

    const uint8_t* data;
    uint64_t size;
    uint64_t tableEnd;
    Buffer cff, charstrings, globalSubrs, subrs, fontDicts, fdSelect;
};
} // namespace FontAtlas

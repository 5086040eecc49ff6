#include "SetupDialogModes.h"

namespace SetupDialog
{

void AddMode(Brivet::Base::Array<Resolution>& list, uint32_t width, uint32_t height, uint32_t bitsPerPixel)
{
    if (bitsPerPixel != 32)
        return;
    if (list.GetCount() > 0)
    {
        const Resolution& last = list[list.GetCount() - 1];
        if (last.width == width && last.height == height)
            return;
    }
    list.Add(Resolution{ width, height });
}

void SortResolutions(Brivet::Base::Array<Resolution>& list)
{
    bool swapped = true;
    while (swapped)
    {
        swapped = false;
        for (uint32_t i = 1; i < list.GetCount(); i++)
        {
            Resolution& a = list[i - 1];
            Resolution& b = list[i];
            if (a.width > b.width || (a.width == b.width && a.height > b.height))
            {
                Resolution t = a;
                a = b;
                b = t;
                swapped = true;
            }
        }
    }
}

const char* AspectSuffix(uint32_t width, uint32_t height)
{
    if (height == 0)
        return "";
    // Compared in float on both sides, so 1024 x 768 matches 4/3 exactly.
    const float ratio = (float)width / (float)height;
    if (ratio == 4.0f / 3.0f)
        return " (4:3)";
    if (ratio == 1.25f)
        return " (5:4)";
    if (ratio == 16.0f / 9.0f)
        return " (16:9)";
    if (ratio == 1.6f)
        return " (16:10)";
    return "";
}

Brivet::Base::String Label(const Resolution& resolution)
{
    Brivet::Base::String text;
    text.Format("%d * %d%s", (int)resolution.width, (int)resolution.height, AspectSuffix(resolution.width, resolution.height));
    return text;
}

int PreselectedIndex(const Brivet::Base::Array<Resolution>& list, uint32_t width, uint32_t height)
{
    for (uint32_t i = 0; i < list.GetCount(); i++)
        if (list[i].width == width && list[i].height == height)
            return (int)i;
    return (int)list.GetCount() - 1;
}

} // namespace SetupDialog

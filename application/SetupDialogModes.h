// The start-up dialog's resolution list: which display modes it keeps, their
// order, their labels and which one is preselected. No Win32 here.
#pragma once

#include "Base/Array.h"
#include "Base/String.h"

#include <cstdint>

namespace SetupDialog
{

struct Resolution
{
    uint32_t width;
    uint32_t height;
};

// Appends one display mode: only 32 bits per pixel, and not when it repeats
// the resolution appended last (the same size at another refresh rate).
void AddMode(Brivet::Base::Array<Resolution>& list, uint32_t width, uint32_t height, uint32_t bitsPerPixel);

// Ascending by width, ties by height (bubble sort, stops after a clean pass).
void SortResolutions(Brivet::Base::Array<Resolution>& list);

// " (4:3)", " (5:4)", " (16:9)", " (16:10)" or "" for an exact float ratio.
const char* AspectSuffix(uint32_t width, uint32_t height);

// "%d * %d%s" with the aspect suffix.
Brivet::Base::String Label(const Resolution& resolution);

// Index of the first entry of that size, else the last one; -1 for an empty list.
int PreselectedIndex(const Brivet::Base::Array<Resolution>& list, uint32_t width, uint32_t height);

} // namespace SetupDialog

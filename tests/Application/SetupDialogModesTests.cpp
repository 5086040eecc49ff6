// The start-up dialog's resolution list: filtering, order, labels, preselection.
#include "application/SetupDialogModes.h"

#include <gtest/gtest.h>

#include <string>

using namespace SetupDialog;
using Brivet::Base::Array;

namespace
{

struct Mode
{
    uint32_t width, height, bits;
};

Array<Resolution> Build(std::initializer_list<Mode> modes)
{
    Array<Resolution> list;
    for (const Mode& m : modes)
        AddMode(list, m.width, m.height, m.bits);
    SortResolutions(list);
    return list;
}

std::string Sizes(const Array<Resolution>& list)
{
    std::string out;
    for (const Resolution& r : list)
        out += std::to_string(r.width) + "x" + std::to_string(r.height) + " ";
    return out;
}

} // namespace

TEST(SetupDialogModes, KeepsThirtyTwoBitModesOnceAndSortsByWidthThenHeight)
{
    // 1920x1080 at three refresh rates in a row, a 16-bit mode, and an unsorted rest.
    Array<Resolution> list = Build({ { 1920, 1080, 32 }, { 1920, 1080, 32 }, { 1920, 1080, 32 }, { 800, 600, 16 },
                                     { 1280, 1024, 32 }, { 1280, 720, 32 }, { 1024, 768, 32 } });
    EXPECT_EQ(Sizes(list), "1024x768 1280x720 1280x1024 1920x1080 ");
}

TEST(SetupDialogModes, RepeatsThatAreNotNeighboursStayInTheList)
{
    Array<Resolution> list = Build({ { 1024, 768, 32 }, { 800, 600, 32 }, { 1024, 768, 32 } });
    EXPECT_EQ(Sizes(list), "800x600 1024x768 1024x768 ");
}

TEST(SetupDialogModes, LabelsCarryTheExactAspectSuffix)
{
    struct Case
    {
        uint32_t width, height;
        const char* label;
    } cases[] = {
        { 1280, 1024, "1280 * 1024 (5:4)" }, { 1680, 1050, "1680 * 1050 (16:10)" },
        { 1024, 768, "1024 * 768 (4:3)" },   { 1366, 768, "1366 * 768" },
        { 1920, 1080, "1920 * 1080 (16:9)" }, { 640, 0, "640 * 0" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(Label(Resolution{ c.width, c.height }).GetText(), c.label) << c.width << "x" << c.height;
}

TEST(SetupDialogModes, PreselectsTheScreenSizeElseTheLargest)
{
    Array<Resolution> list = Build({ { 1920, 1080, 32 }, { 1280, 1024, 32 }, { 1024, 768, 32 } });
    EXPECT_EQ(PreselectedIndex(list, 1280, 1024), 1);
    EXPECT_EQ(PreselectedIndex(list, 2560, 1440), 2);
    Array<Resolution> empty;
    EXPECT_EQ(PreselectedIndex(empty, 1280, 1024), -1);
}

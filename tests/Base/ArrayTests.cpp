// Array: growth sequence, exact Reserve, constructed string elements, Contains.
#include "Base/Array.h"
#include "Base/StaticString.h"
#include "Base/String.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <new>

#include <string>
#include <vector>

using Brivet::Base::Array;
using Brivet::Base::StaticString;
using Brivet::Base::String;

namespace
{
TEST(Array, GrowsByHalfWithAFloorOfEight)
{
    Array<int> numbers;
    EXPECT_EQ(numbers.GetCapacity(), 0u);
    std::vector<uint32_t> capacities;
    for (int i = 0; i < 91; ++i)
    {
        const uint32_t before = numbers.GetCapacity();
        EXPECT_EQ(numbers.Add(i * 3), static_cast<uint32_t>(i));
        if (numbers.GetCapacity() != before)
            capacities.push_back(numbers.GetCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{8, 12, 18, 27, 40, 60, 90, 135}));
    ASSERT_EQ(numbers.GetCount(), 91u);
    for (uint32_t i = 0; i < numbers.GetCount(); ++i)
        EXPECT_EQ(numbers[i], static_cast<int>(i) * 3);
}

TEST(Array, ReserveSetsTheCapacityExactly)
{
    Array<int> numbers;
    numbers.Reserve(5);
    EXPECT_EQ(numbers.GetCapacity(), 5u);
    for (int i = 0; i < 5; ++i)
        numbers.Add(i);
    EXPECT_EQ(numbers.GetCapacity(), 5u);
    numbers.Add(5); // 5 * 1.5 = 7 is below the floor
    EXPECT_EQ(numbers.GetCapacity(), 8u);

    numbers.Reserve(100);
    EXPECT_EQ(numbers.GetCapacity(), 100u);
    ASSERT_EQ(numbers.GetCount(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(numbers[static_cast<uint32_t>(i)], i);
}

TEST(Array, AddOfItsOwnElementWhileGrowing)
{
    Array<String> names;
    for (int i = 0; i < 8; ++i)
        names.Add(String("first"));
    ASSERT_EQ(names.GetCount(), names.GetCapacity());
    names.Add(names[0]);
    EXPECT_STREQ(names[8].GetText(), "first");
}

TEST(Array, StringElementsAreConstructedAndCarriedOver)
{
    Array<String> names;
    String& empty = names.AddEmpty();
    EXPECT_EQ(empty.GetHash(), 0u); // a default String
    empty = String("zero");
    for (int i = 1; i < 20; ++i)
        names.Add(String(std::to_string(i).c_str()));

    ASSERT_EQ(names.GetCount(), 20u);
    EXPECT_EQ(names.GetCapacity(), 27u);
    EXPECT_STREQ(names[0].GetText(), "zero");
    for (uint32_t i = 1; i < 20; ++i)
    {
        EXPECT_EQ(std::string(names[i].GetText()), std::to_string(i));
        EXPECT_EQ(names[i].GetHash(), String(std::to_string(i).c_str()).GetHash());
    }

    // The copy holds its own strings and only as many slots as elements.
    Array<String> copy(names);
    EXPECT_EQ(copy.GetCapacity(), 20u);
    names[3] = String("changed");
    EXPECT_STREQ(copy[3].GetText(), "3");
}

TEST(Array, ExtensionsReturnTheirIndex)
{
    Array<StaticString<10>> extensions;
    EXPECT_EQ(extensions.Add(StaticString<10>("png")), 0u);
    EXPECT_EQ(extensions.Add(StaticString<10>("jpg")), 1u);
    EXPECT_STREQ(extensions[1].GetText(), "jpg");
}

TEST(Array, ContainsIgnoresTheCaseOfAToZ)
{
    Array<String> names;
    names.Add(String("Alpha"));
    names.Add(String("beta"));
    names.Add(String("\xC9t\xC9"));

    struct Case
    {
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"Alpha", true},   {"alpha", true},  {"ALPHA", true}, {"BeTa", true},
        {"alph", false},   {"gamma", false}, {"", false},     {"\xC9T\xC9", true},
        {"\xE9t\xE9", false}, // bytes above 0x7F are not lowered
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(names.Contains(String(c.name)), c.expected);
    }
    EXPECT_FALSE(Array<String>().Contains(String("Alpha")));
}

// A block as large as a few petabytes is never had: malloc answers null.
struct Megabyte
{
    uint8_t bytes[1 << 20];
};

// An element whose nothrow array allocation fails on demand.
struct Refused
{
    static bool refuse;
    int value = 7;

    static void* operator new[](size_t size, const std::nothrow_t&) noexcept
    {
        return refuse ? nullptr : ::operator new[](size, std::nothrow);
    }
    static void operator delete[](void* block) noexcept { ::operator delete[](block); }
};
bool Refused::refuse = false;

TEST(Array, GrowthWithoutMemoryLeavesTheArrayAsItWas)
{
    LogCapture::Get().Clear();
    {
        Array<Megabyte> blocks;
        EXPECT_FALSE(blocks.Reserve(3000000000u)); // 3 PB
        EXPECT_EQ(blocks.GetCapacity(), 0u);
        EXPECT_EQ(blocks.GetData(), nullptr);
    }

    Refused::refuse = false;
    Array<Refused> elements;
    for (int i = 0; i < 8; ++i)
        elements.Add(Refused{});
    ASSERT_EQ(elements.GetCount(), elements.GetCapacity());
    Refused* const data = elements.GetData();

    Refused::refuse = true;
    EXPECT_EQ(elements.Add(Refused{}), Array<Refused>::NoIndex);
    Refused& scratch = elements.AddEmpty(); // written by its caller, outside the array
    scratch.value = 99;
    EXPECT_FALSE(elements.Reserve(100));
    EXPECT_FALSE(elements.ReserveOneMore());
    const Array<Refused> copy(elements);
    Refused::refuse = false;

    EXPECT_EQ(elements.GetCount(), 8u);
    EXPECT_EQ(elements.GetCapacity(), 8u);
    EXPECT_EQ(elements.GetData(), data);
    for (const Refused& element : elements)
        EXPECT_EQ(element.value, 7);
    EXPECT_EQ(copy.GetCount(), 0u);
    EXPECT_EQ(LogCapture::Get().Lines(3).size(), 6u);

    // Memory is back: growth works again, by the same step through either call.
    EXPECT_TRUE(elements.ReserveOneMore());
    EXPECT_EQ(elements.GetCapacity(), 12u);
    EXPECT_EQ(elements.Add(Refused{}), 8u);
    EXPECT_EQ(elements.GetCapacity(), 12u);
}
} // namespace


// Dictionary: growth with insertion order, overwrite, removal, probing and the case rule.
#include "Base/Dictionary.h"
#include "Base/StaticString.h"
#include "Base/String.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivet::Base::Dictionary;
using Brivet::Base::StaticString;
using Brivet::Base::String;

namespace
{
// prefix followed by n ("key12").
std::string Numbered(const char* prefix, unsigned int n)
{
    std::string text(prefix);
    text += std::to_string(n);
    return text;
}

// Distinct keys of each kind, made from a number.
template <typename K>
K MakeKey(unsigned int n)
{
    return K(Numbered("key", n).c_str());
}

template <>
unsigned int MakeKey<unsigned int>(unsigned int n)
{
    return n * 7 + 1;
}

template <typename K>
std::vector<int> ValuesInOrder(const Dictionary<K, int>& table)
{
    std::vector<int> values;
    for (uint32_t i = 0; i < table.GetCount(); ++i)
        values.push_back(table.GetEntry(i).value);
    return values;
}

template <typename K>
class DictionaryKinds : public testing::Test
{
};

using KeyKinds = testing::Types<String, StaticString<64>, unsigned int>;
TYPED_TEST_SUITE(DictionaryKinds, KeyKinds);

TYPED_TEST(DictionaryKinds, GrowsFromFourToEightKeepingInsertionOrder)
{
    Dictionary<TypeParam, int> table;
    EXPECT_EQ(table.GetCapacity(), 0u);
    EXPECT_FALSE(table.Find(MakeKey<TypeParam>(0)));

    table.Set(MakeKey<TypeParam>(0), 0);
    EXPECT_EQ(table.GetCapacity(), 4u);
    for (unsigned int i = 1; i < 4; ++i)
        table.Set(MakeKey<TypeParam>(i), static_cast<int>(i));
    EXPECT_EQ(table.GetCapacity(), 4u); // completely full is allowed
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{0, 1, 2, 3}));

    table.Set(MakeKey<TypeParam>(4), 4);
    EXPECT_EQ(table.GetCapacity(), 8u);
    EXPECT_EQ(table.GetCount(), 5u);
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{0, 1, 2, 3, 4}));
    for (unsigned int i = 0; i < 5; ++i)
    {
        int* value = nullptr;
        ASSERT_TRUE(table.Find(MakeKey<TypeParam>(i), &value));
        EXPECT_EQ(*value, static_cast<int>(i));
    }
}

TYPED_TEST(DictionaryKinds, OverwriteKeepsTheOrderAndRemoveReaddAppends)
{
    Dictionary<TypeParam, int> table;
    for (unsigned int i = 0; i < 3; ++i)
        table.Set(MakeKey<TypeParam>(i), static_cast<int>(i));

    table.Set(MakeKey<TypeParam>(0), 10);
    EXPECT_EQ(table.GetCount(), 3u);
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{10, 1, 2}));

    EXPECT_TRUE(table.Remove(MakeKey<TypeParam>(1)));
    EXPECT_FALSE(table.Remove(MakeKey<TypeParam>(1)));
    EXPECT_FALSE(table.Find(MakeKey<TypeParam>(1)));
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{10, 2}));

    table.Set(MakeKey<TypeParam>(1), 11);
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{10, 2, 11}));
    int* value = nullptr;
    ASSERT_TRUE(table.Find(MakeKey<TypeParam>(1), &value));
    EXPECT_EQ(*value, 11);
}

TYPED_TEST(DictionaryKinds, GrowthDropsRemovedEntries)
{
    Dictionary<TypeParam, int> table;
    for (unsigned int i = 0; i < 4; ++i)
        table.Set(MakeKey<TypeParam>(i), static_cast<int>(i));
    table.Remove(MakeKey<TypeParam>(0));
    table.Remove(MakeKey<TypeParam>(2));
    for (unsigned int i = 4; i < 7; ++i)
        table.Set(MakeKey<TypeParam>(i), static_cast<int>(i));
    EXPECT_EQ(table.GetCapacity(), 8u);
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{1, 3, 4, 5, 6}));
    EXPECT_FALSE(table.Find(MakeKey<TypeParam>(0)));
    EXPECT_FALSE(table.Find(MakeKey<TypeParam>(2)));

    uint32_t live = 0;
    for (uint32_t i = 0; i < table.GetCapacity(); ++i)
        live += table.GetSlot(i).flags != 0;
    EXPECT_EQ(live, 5u);
}

TEST(Dictionary, UnsignedKeysProbeLinearlyFromTheirValue)
{
    Dictionary<unsigned int, int> table;
    table.Set(1u, 100);
    table.Set(5u, 500); // starts at slot 1 as well
    ASSERT_EQ(table.GetCapacity(), 4u);
    EXPECT_TRUE(table.GetSlot(1).IsLive());
    EXPECT_EQ(table.GetSlot(1).key, 1u);
    EXPECT_TRUE(table.GetSlot(2).IsLive());
    EXPECT_EQ(table.GetSlot(2).key, 5u);

    table.Set(3u, 300);
    table.Set(7u, 700); // slots 1, 2, 3 taken: wraps to slot 0
    EXPECT_EQ(table.GetSlot(0).key, 7u);
    EXPECT_EQ(table.GetCapacity(), 4u);
}

TEST(Dictionary, SetAfterRemoveDoesNotStoreAKeyTwice)
{
    Dictionary<unsigned int, int> table;
    table.Set(1u, 100);
    table.Set(5u, 500); // slot 2, behind 1
    ASSERT_TRUE(table.Remove(1u));

    // The removed slot 1 comes first on 5's path, but 5 lives further on.
    table.Set(5u, 555);
    EXPECT_EQ(table.GetCount(), 1u);
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{555}));
    EXPECT_FALSE(table.GetSlot(1).IsLive());
    int* value = nullptr;
    ASSERT_TRUE(table.Find(5u, &value));
    EXPECT_EQ(*value, 555);

    // A new key still takes the first removed slot of its path.
    table.Set(9u, 900);
    EXPECT_TRUE(table.GetSlot(1).IsLive());
    EXPECT_EQ(table.GetSlot(1).key, 9u);
    EXPECT_EQ(ValuesInOrder(table), (std::vector<int>{555, 900}));
}

TEST(Dictionary, FindInAFullTableStopsAfterCapacityProbes)
{
    Dictionary<unsigned int, int> table;
    for (unsigned int key = 0; key < 4; ++key)
        table.Set(key, static_cast<int>(key));
    ASSERT_EQ(table.GetCount(), table.GetCapacity());
    EXPECT_FALSE(table.Find(8u));
    EXPECT_FALSE(table.Remove(9u));

    // Every slot removed: no unused slot ends the probe either.
    for (unsigned int key = 0; key < 4; ++key)
        ASSERT_TRUE(table.Remove(key));
    EXPECT_FALSE(table.Find(8u));
    EXPECT_EQ(table.GetCount(), 0u);
    table.Set(8u, 8);
    EXPECT_TRUE(table.Find(8u));
    EXPECT_EQ(table.GetCapacity(), 4u);
}

TEST(Dictionary, StringKeysMatchTheLowerCaseHashOnTheirProbePath)
{
    Dictionary<String, int> table;
    table.Set(String("Speed"), 1);
    table.Set(String("Name"), 2);

    // At small capacities the case of a letter never moves the start slot.
    int* value = nullptr;
    ASSERT_TRUE(table.Find(String("speed"), &value));
    EXPECT_EQ(*value, 1);
    table.Set(String("NAME"), 20); // overwrites the entry spelled "Name"
    EXPECT_EQ(table.GetCount(), 2u);
    EXPECT_STREQ(table.GetEntry(1).key.GetText(), "Name");
    EXPECT_EQ(table.GetEntry(1).value, 20);


    // At 64 slots a case change moves the start slot. "name" and "NAME" start away
    // from "Name" and meet an unused slot first; "texture" starts at slot 10, and the
    // used slots 10 to 42 lead it to "Texture".
    Dictionary<String, int> large;
    large.Set(String("Name"), 1);
    large.Set(String("Texture"), 2);
    for (unsigned int i = 0; i < 40; ++i)
        large.Set(String(Numbered("Key", i).c_str()), 100);
    ASSERT_EQ(large.GetCapacity(), 64u);
    EXPECT_TRUE(large.Find(String("Name")));
    EXPECT_FALSE(large.Find(String("name")));
    EXPECT_FALSE(large.Find(String("NAME")));
    ASSERT_TRUE(large.Find(String("texture"), &value));
    EXPECT_EQ(*value, 2);

    // Set follows the same path: "name" becomes a second entry, "texture" overwrites.
    large.Set(String("name"), 3);
    large.Set(String("texture"), 4);
    EXPECT_EQ(large.GetCount(), 43u);
    ASSERT_TRUE(large.Find(String("Texture"), &value));
    EXPECT_EQ(*value, 4);
    ASSERT_TRUE(large.Find(String("Name"), &value));
    EXPECT_EQ(*value, 1);
}

TEST(Dictionary, OwnsStringValuesAndLeavesPointersAlone)
{
    Dictionary<StaticString<64>, String> names;
    for (unsigned int i = 0; i < 20; ++i)
        names.Set(StaticString<64>(Numbered("k", i).c_str()), String(Numbered("value", i).c_str()));
    names.Set(StaticString<64>("k3"), names.GetEntry(3).value); // a value from the table itself
    const String* found = nullptr;
    const Dictionary<StaticString<64>, String>& view = names;
    ASSERT_TRUE(view.Find(StaticString<64>("k19"), &found));
    EXPECT_STREQ(found->GetText(), "value19");

    int target = 5;
    Dictionary<unsigned int, int*> pointers;
    pointers.Set(1u, &target);
    int** slot = nullptr;
    ASSERT_TRUE(pointers.Find(1u, &slot));
    EXPECT_EQ(*slot, &target);
}
} // namespace

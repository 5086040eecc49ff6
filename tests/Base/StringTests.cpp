// Name hashes, String and StaticString: assignment rules, exact growth, Format and Scan.
#include "Base/Hash.h"
#include "Base/StaticString.h"
#include "Base/String.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using Brivet::Base::NameHash;
using Brivet::Base::NameHashLower;
using Brivet::Base::NameHashOffsetBasis;
using Brivet::Base::StaticString;
using Brivet::Base::String;

namespace
{
struct HashCase
{
    const char* text;
    uint64_t hash;
    uint64_t hashLower;
};

const HashCase hashCases[] = {
    {"", 0xcbf29ce484222325ull, 0xcbf29ce484222325ull},
    {"abc", 0xd8dcca186bafadcbull, 0xd8dcca186bafadcbull},
    {"Abc", 0xd86fca186b52dbabull, 0xd8dcca186bafadcbull},
    {"\xE9", 0x509c42b379fe4836ull, 0x509c42b379fe4836ull}, // signed byte: upper bits flipped
    {"\xC9", 0x509c42b379fe4816ull, 0x509c42b379fe4816ull}, // only A-Z are lowered
};

TEST(NameHash, KnownVectorsForEveryStringType)
{
    for (const HashCase& c : hashCases)
    {
        SCOPED_TRACE(c.text);
        const uint32_t length = static_cast<uint32_t>(std::char_traits<char>::length(c.text));
        EXPECT_EQ(NameHash(c.text, length), c.hash);
        EXPECT_EQ(NameHashLower(c.text, length), c.hashLower);

        const String heap(c.text);
        EXPECT_EQ(heap.GetHash(), c.hash);
        EXPECT_EQ(heap.GetHashLower(), c.hashLower);

        const StaticString<64> name(c.text);
        EXPECT_EQ(name.GetHash(), c.hash);
        EXPECT_EQ(name.GetHashLower(), c.hashLower);

        const StaticString<10> extension(c.text);
        EXPECT_EQ(extension.GetHash(), c.hash);
        EXPECT_EQ(extension.GetHashLower(), c.hashLower);
    }
}

TEST(NameHash, NeverAssignedIsZeroEmptyAndNullAreOffsetBasis)
{
    const String never;
    EXPECT_EQ(never.GetHash(), 0u);
    EXPECT_EQ(never.GetHashLower(), 0u);
    EXPECT_STREQ(never.GetText(), "");

    const String fromNull(static_cast<const char*>(nullptr));
    EXPECT_EQ(fromNull.GetHash(), NameHashOffsetBasis);
    EXPECT_EQ(fromNull.GetHashLower(), NameHashOffsetBasis);
    EXPECT_EQ(fromNull.GetCapacity(), 0u); // no buffer
    ASSERT_NE(fromNull.GetText(), nullptr);
    EXPECT_STREQ(fromNull.GetText(), "");

    const String empty("");
    EXPECT_EQ(empty.GetHash(), NameHashOffsetBasis);
    EXPECT_EQ(empty.GetCapacity(), 1u);

    const StaticString<64> neverStatic;
    EXPECT_EQ(neverStatic.GetHash(), 0u);
    EXPECT_EQ(neverStatic.GetHashLower(), 0u);
    const StaticString<64> nullStatic(nullptr);
    EXPECT_EQ(nullStatic.GetHash(), NameHashOffsetBasis);
    EXPECT_EQ(nullStatic.GetHashLower(), NameHashOffsetBasis);
}

// ---- String ----

TEST(String, ConstructorsSizeTheBufferExactly)
{
    const String text("hello");
    EXPECT_STREQ(text.GetText(), "hello");
    EXPECT_EQ(text.GetLength(), 5u);
    EXPECT_EQ(text.GetCapacity(), 6u);

    const String bytes("abcdef", 3);
    EXPECT_STREQ(bytes.GetText(), "abc");
    EXPECT_EQ(bytes.GetLength(), 3u);
    EXPECT_EQ(bytes.GetCapacity(), 4u);
    EXPECT_EQ(bytes.GetHash(), String("abc").GetHash());

    const String nullBytes(nullptr, 5);
    EXPECT_EQ(nullBytes.GetLength(), 0u);
    EXPECT_EQ(nullBytes.GetHash(), NameHashOffsetBasis);
}

TEST(String, AssignmentOfAnEqualHashChangesNothing)
{
    String source("abcdefgh");
    source = String("abc"); // "abc" in a 9-byte buffer
    ASSERT_EQ(source.GetCapacity(), 9u);

    String target("abc");
    const char* buffer = target.GetText();
    target = source;
    EXPECT_EQ(target.GetText(), buffer);
    EXPECT_EQ(target.GetCapacity(), 4u);

    target = target; // self-assignment is the same case
    EXPECT_STREQ(target.GetText(), "abc");
}

struct AssignCase
{
    const char* name;
    String source;
    const char* text;
    uint32_t capacity;
    uint64_t hash;
};

TEST(String, AssignmentIntoAbc)
{
    const AssignCase cases[] = {
        {"empty", String(""), "", 4, NameHashOffsetBasis},
        {"null", String(static_cast<const char*>(nullptr)), "", 4, NameHashOffsetBasis},
        {"never assigned", String(), "", 4, NameHashOffsetBasis},
        {"shorter", String("x"), "x", 4, NameHash("x", 1)},
        {"same length", String("xyz"), "xyz", 4, NameHash("xyz", 3)},
        {"longer grows exactly", String("abcdefg"), "abcdefg", 8, NameHash("abcdefg", 7)},
    };
    for (const AssignCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        String target("abc");
        target = c.source;
        EXPECT_STREQ(target.GetText(), c.text);
        EXPECT_EQ(target.GetLength(), std::char_traits<char>::length(c.text));
        EXPECT_EQ(target.GetCapacity(), c.capacity);
        EXPECT_EQ(target.GetHash(), c.hash);
        EXPECT_EQ(target.GetHashLower(), NameHashLower(c.text, target.GetLength()));
    }
}

TEST(String, CopyOfNeverAssignedIsNeverAssigned)
{
    const String never;
    const String copy(never);
    EXPECT_EQ(copy.GetHash(), 0u);
    EXPECT_EQ(copy.GetCapacity(), 0u);

    const String abc("Abc");
    const String copyAbc(abc);
    EXPECT_STREQ(copyAbc.GetText(), "Abc");
    EXPECT_NE(copyAbc.GetText(), abc.GetText());
    EXPECT_EQ(copyAbc.GetHashLower(), NameHash("abc", 3));
}

TEST(String, AppendGrowsExactlyAndRehashes)
{
    String text("ab");
    text.Append(String("cde"));
    EXPECT_STREQ(text.GetText(), "abcde");
    EXPECT_EQ(text.GetCapacity(), 6u);
    EXPECT_EQ(text.GetHash(), NameHash("abcde", 5));

    text = String("a"); // fits: capacity stays 6
    text.Append("XYZzy", 3);
    EXPECT_STREQ(text.GetText(), "aXYZ");
    EXPECT_EQ(text.GetCapacity(), 6u);
    EXPECT_EQ(text.GetHashLower(), NameHash("axyz", 4));

    String never;
    never.Append(String(""));
    EXPECT_EQ(never.GetCapacity(), 1u);
    EXPECT_EQ(never.GetHash(), NameHashOffsetBasis);
}

TEST(String, AppendOfItselfSurvivesTheGrowth)
{
    String text("abc");
    text.Append(text);
    EXPECT_STREQ(text.GetText(), "abcabc");
    text.Append(text.GetText() + 1, 2);
    EXPECT_STREQ(text.GetText(), "abcabcbc");
    EXPECT_EQ(text.GetCapacity(), 9u);
}

TEST(String, FormatGrowsToExactlyTheFormattedSize)
{
    String text;
    text.Format("%d-%s", 42, "x");
    EXPECT_STREQ(text.GetText(), "42-x");
    EXPECT_EQ(text.GetLength(), 4u);
    EXPECT_EQ(text.GetCapacity(), 5u);
    EXPECT_EQ(text.GetHash(), NameHash("42-x", 4));

    text.Format("%d", 7); // shorter: no reallocation
    EXPECT_STREQ(text.GetText(), "7");
    EXPECT_EQ(text.GetLength(), 1u);
    EXPECT_EQ(text.GetCapacity(), 5u);

    const std::string longText(300, 'q');
    text.Format("<%s>", longText.c_str());
    EXPECT_EQ(text.GetLength(), 302u);
    EXPECT_EQ(text.GetCapacity(), 303u);
    EXPECT_EQ(std::string(text.GetText()), "<" + longText + ">");

    text.Format("%s", "");
    EXPECT_EQ(text.GetLength(), 0u);
    EXPECT_EQ(text.GetHash(), NameHashOffsetBasis);
}

TEST(String, FormatOfItsOwnTextWhileGrowing)
{
    String text("abc");
    text.Format("%s/%s", text.GetText(), text.GetText());
    EXPECT_STREQ(text.GetText(), "abc/abc");
}

TEST(String, FormatterErrorLeavesTheEmptyText)
{
    // A wide character the C locale cannot convert makes the formatter fail.
    const wchar_t euro[] = {0x20AC, 0};
    if (snprintf(nullptr, 0, "%ls", euro) >= 0)
        GTEST_SKIP() << "this runtime converts the character";

    String text("abc");
    text.Format("%ls", euro);
    EXPECT_STREQ(text.GetText(), "");
    EXPECT_EQ(text.GetLength(), 0u);
    EXPECT_EQ(text.GetCapacity(), 4u);
    EXPECT_EQ(text.GetHash(), NameHashOffsetBasis);

    String never;
    never.Format("%ls", euro);
    EXPECT_EQ(never.GetLength(), 0u);
    EXPECT_EQ(never.GetHash(), NameHashOffsetBasis);

    StaticString<64> name("abc");
    name.Format("%ls", euro);
    EXPECT_STREQ(name.GetText(), "");
    EXPECT_EQ(name.GetHash(), NameHashOffsetBasis);
}

// ---- String::Scan ----

TEST(StringScan, NumbersAndLiterals)
{
    struct Case
    {
        const char* text;
        int result;
        float a;
        float b;
    };
    const Case cases[] = {
        {"16:9", 2, 16.0f, 9.0f},
        {"4:3 trailing", 2, 4.0f, 3.0f},
        {"  2.5 : 1", 1, 2.5f, -1.0f}, // ' ' before ':' does not match the literal
        {"21", 1, 21.0f, -1.0f},
        {"wide", 0, -1.0f, -1.0f},
        {"", EOF, -1.0f, -1.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        float a = -1.0f;
        float b = -1.0f;
        EXPECT_EQ(String(c.text).Scan("%g:%g", &a, &b), c.result);
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(b, c.b);
    }

    int value = 0;
    unsigned count = 0;
    EXPECT_EQ(String("50% of 7").Scan("%d%% of %u", &value, &count), 2);
    EXPECT_EQ(value, 50);
    EXPECT_EQ(count, 7u);

    int skipped = 0;
    int position = -1;
    EXPECT_EQ(String("1; 2; 3").Scan("%*d; %d;%n", &skipped, &position), 1);
    EXPECT_EQ(skipped, 2);
    EXPECT_EQ(position, 5);

    EXPECT_EQ(String().Scan("%d", &value), EOF);
}

TEST(StringScan, TextFieldsTakeTheirBufferSize)
{
    char word[8] = "unset";
    int number = 0;
    EXPECT_EQ(String("12 hello").Scan("%d %s", &number, word, unsigned(sizeof(word))), 2);
    EXPECT_EQ(number, 12);
    EXPECT_STREQ(word, "hello");

    // Seven characters fit a buffer of 8; eight do not: the buffer is emptied and the scan ends.
    EXPECT_EQ(String("1234567 9").Scan("%s %d", word, unsigned(sizeof(word)), &number), 2);
    EXPECT_STREQ(word, "1234567");
    number = 0;
    EXPECT_EQ(String("12345678 9").Scan("%s %d", word, unsigned(sizeof(word)), &number), 0);
    EXPECT_STREQ(word, "");
    EXPECT_EQ(number, 0);

    // A width that fits the buffer cuts the field as scanf does.
    char small[4] = "";
    char rest[8] = "";
    EXPECT_EQ(String("abcdef").Scan("%3s%s", small, unsigned(sizeof(small)), rest, unsigned(sizeof(rest))), 2);
    EXPECT_STREQ(small, "abc");
    EXPECT_STREQ(rest, "def");

    char set[8] = "";
    EXPECT_EQ(String("abc123").Scan("%[a-z]%d", set, unsigned(sizeof(set)), &number), 2);
    EXPECT_STREQ(set, "abc");
    EXPECT_EQ(number, 123);

    char letters[2] = {'-', '-'};
    EXPECT_EQ(String("xy").Scan("%2c", letters, 2u), 1);
    EXPECT_EQ(letters[0], 'x');
    EXPECT_EQ(letters[1], 'y');
    EXPECT_EQ(String("xyz").Scan("%3c", letters, 2u), 0); // wider than the buffer

    EXPECT_EQ(String("abc").Scan("%s", word, 0u), 0);
}

// ---- StaticString ----

TEST(StaticString, FormatCutsAtSixtyThreeCharacters)
{
    const std::string seventy(70, 'x');
    StaticString<64> name;
    name.Format("%s", seventy.c_str());
    EXPECT_EQ(name.GetLength(), 63u);
    EXPECT_EQ(std::string(name.GetText()), seventy.substr(0, 63));
    EXPECT_EQ(name.GetHash(), NameHash(seventy.c_str(), 63));

    name.Format("%s", seventy.substr(0, 63).c_str());
    EXPECT_EQ(name.GetLength(), 63u);

    name.Format("%d", 12);
    EXPECT_STREQ(name.GetText(), "12");
    EXPECT_EQ(name.GetLength(), 2u);
    EXPECT_EQ(name.GetHash(), NameHash("12", 2));

    name.Format("%s", "");
    EXPECT_EQ(name.GetLength(), 0u);
    EXPECT_EQ(name.GetHash(), NameHashOffsetBasis);
    EXPECT_EQ(name.GetHashLower(), NameHashOffsetBasis);
}

TEST(StaticString, ConstructorCutsLongTextsToTheBuffer)
{
    const std::string hundred(100, 'n');
    const StaticString<64> name(hundred.c_str());
    EXPECT_EQ(name.GetLength(), 63u);
    EXPECT_EQ(std::string(name.GetText()), hundred.substr(0, 63));
    EXPECT_EQ(name.GetHash(), NameHash(hundred.c_str(), 63));

    const StaticString<10> extension("abcdefghijkl");
    EXPECT_STREQ(extension.GetText(), "abcdefghi");
    EXPECT_EQ(extension.GetLength(), 9u);

    const StaticString<10> exact("abcdefghi");
    EXPECT_STREQ(exact.GetText(), "abcdefghi");
}

TEST(StaticString, AssignmentRules)
{
    StaticString<64> target("abc");
    target = StaticString<64>("xyzw");
    EXPECT_STREQ(target.GetText(), "xyzw");
    EXPECT_EQ(target.GetLength(), 4u);
    EXPECT_EQ(target.GetHash(), NameHash("xyzw", 4));

    target = StaticString<64>("");
    EXPECT_STREQ(target.GetText(), "");
    EXPECT_EQ(target.GetHash(), NameHashOffsetBasis);

    target = StaticString<64>("abc");
    target = StaticString<64>(); // never assigned: length 0, hashes 0
    EXPECT_STREQ(target.GetText(), "");
    EXPECT_EQ(target.GetLength(), 0u);
    EXPECT_EQ(target.GetHash(), 0u);
    EXPECT_EQ(target.GetHashLower(), 0u);

    const StaticString<64> source("Type");
    const StaticString<64> copy(source);
    EXPECT_STREQ(copy.GetText(), "Type");
    EXPECT_EQ(copy.GetHash(), source.GetHash());
    EXPECT_EQ(copy.GetHashLower(), NameHash("type", 4));
}
} // namespace

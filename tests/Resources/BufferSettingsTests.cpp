// The buffer's description: the element count read from "buffer" "size", its range, and
// the written element read back.
#include "repository/Resources/BufferSettings.h"

#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <string>

using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace
{
// What CreateDynamic reads from a node description (the text of its element).
uint32_t CountOf(const std::string& xml)
{
    Document document;
    EXPECT_TRUE(document.Load(xml.c_str())) << xml;
    const Node element(document.GetHandle()->document_element(), &document);
    uint32_t count = BufferSettings::DefaultCount;
    BufferSettings::Read(&element, count);
    return count;
}
} // namespace

TEST(BufferSettings, SizeOfTheFirstBufferElement)
{
    uint32_t count = BufferSettings::DefaultCount;
    BufferSettings::Read(nullptr, count);
    EXPECT_EQ(count, 100u);

    const struct
    {
        const char* xml;
        uint32_t count;
    } cases[] = {
        {"<resource><buffer size=\"256\"/></resource>", 256},
        {"<resource><buffer size=\"7\"/><buffer size=\"9\"/></resource>", 7},
        {"<resource><buffer/></resource>", 100},               // no "size"
        {"<resource><buffer size=\"many\"/></resource>", 100}, // not a number
        {"<resource><buffer Size=\"5\"/></resource>", 100},    // attribute names are exact
        {"<resource><rendertarget/></resource>", 100},
        {"<resource><buffer size=\"0\"/></resource>", 0},
        {"<resource><buffer size=\"4294967295\"/></resource>", 0xFFFFFFFFu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountOf(c.xml), c.count) << c.xml;
}

TEST(BufferSettings, CountsThatCanBeCreated)
{
    // 4 × count must stay within 32 bits: 2^30 floats would make a buffer of 0 bytes.
    EXPECT_FALSE(BufferSettings::IsValidCount(0));
    EXPECT_TRUE(BufferSettings::IsValidCount(1));
    EXPECT_TRUE(BufferSettings::IsValidCount(BufferSettings::MaxCount));
    EXPECT_FALSE(BufferSettings::IsValidCount(BufferSettings::MaxCount + 1));
    EXPECT_FALSE(BufferSettings::IsValidCount(1u << 30));
    EXPECT_FALSE(BufferSettings::IsValidCount(0xFFFFFFFFu));
    EXPECT_LE(uint64_t(BufferSettings::MaxCount) * 4, uint64_t(0xFFFFFFFFu));
}

TEST(BufferSettings, WrittenElementReadsBack)
{
    Document document;
    ASSERT_TRUE(document.Load("<resource/>"));
    const Node element(document.GetHandle()->document_element(), &document);
    ASSERT_TRUE(BufferSettings::Write(element, 4096));
    EXPECT_STREQ(element.GetHandle().child("buffer").attribute("size").value(), "4096");

    uint32_t count = 1;
    BufferSettings::Read(&element, count);
    EXPECT_EQ(count, 4096u);
    EXPECT_FALSE(BufferSettings::Write(Node(), 1));
}

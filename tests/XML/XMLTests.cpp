// XML access layer: child iteration, attribute lookup, loading and printing.
#include "Base/Hash.h"
#include "Base/String.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using Brivet::Base::String;
using Brivet::Utility::XML::ChildIterator;
using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace
{

Node Root(Document& document)
{
    return Node(document.GetHandle()->document_element(), &document);
}

// "name#id" of every child the iteration yields.
std::vector<std::string> Walk(const Node& parent, const char* name)
{
    ChildIterator iterator = name ? ChildIterator(name) : ChildIterator();
    std::vector<std::string> seen;
    while (iterator.Next(parent))
    {
        Node child = iterator.GetCurrent();
        EXPECT_EQ(child.GetDocument(), parent.GetDocument());
        seen.push_back(std::string(child.GetHandle().name()) + "#" + child.GetHandle().attribute("id").value());
    }
    // Once done, it stays done.
    EXPECT_FALSE(iterator.Next(parent));
    EXPECT_FALSE(iterator.GetCurrent().GetHandle());
    return seen;
}

using Names = std::vector<std::string>;

} // namespace

TEST(XMLChildIterator, AllChildrenAndChildrenOfOneName)
{
    Document document;
    ASSERT_TRUE(document.Load("<r><a id='1'/><b id='2'/><a id='3'/></r>"));
    Node root = Root(document);

    EXPECT_EQ(Walk(root, nullptr), (Names{"a#1", "b#2", "a#3"}));
    EXPECT_EQ(Walk(root, "a"), (Names{"a#1", "a#3"}));
    EXPECT_EQ(Walk(root, "b"), (Names{"b#2"}));
    // Element names compare exactly.
    EXPECT_EQ(Walk(root, "A"), Names{});
    EXPECT_EQ(Walk(root, "a "), Names{});
    EXPECT_EQ(Walk(root, ""), Names{});
}

TEST(XMLChildIterator, OnlyElementChildrenCount)
{
    Document document;
    ASSERT_TRUE(document.Load("<r>text<a id='1'>inner<a id='x'/></a>more<![CDATA[data]]><b id='2'/>tail</r>"));
    Node root = Root(document);
    EXPECT_EQ(Walk(root, nullptr), (Names{"a#1", "b#2"}));
    EXPECT_EQ(Walk(root, "a"), (Names{"a#1"}));
}

TEST(XMLChildIterator, NoChildren)
{
    Document document;
    ASSERT_TRUE(document.Load("<r><empty/><text>only text</text></r>"));
    Node root = Root(document);
    for (const char* name : {"empty", "text"})
    {
        Node element(root.GetHandle().child(name), &document);
        EXPECT_EQ(Walk(element, nullptr), Names{}) << name;
        EXPECT_EQ(Walk(element, "a"), Names{}) << name;
    }
    EXPECT_EQ(Walk(Node(), nullptr), Names{});
    EXPECT_EQ(Walk(Node(), "a"), Names{});
}

TEST(XMLNode, GetAttribute)
{
    Document document;
    ASSERT_TRUE(document.Load("<e name='exact' empty='' Name='upper' twice='first' twice='second'/>"));
    Node element = Root(document);

    String value;
    EXPECT_TRUE(element.GetAttribute("name", value));
    EXPECT_STREQ(value.GetText(), "exact");
    EXPECT_TRUE(element.GetAttribute("Name", value));
    EXPECT_STREQ(value.GetText(), "upper");

    // An empty value is an assigned empty text, not a never-assigned String.
    String empty;
    EXPECT_TRUE(element.GetAttribute("empty", empty));
    EXPECT_EQ(empty.GetLength(), 0u);
    EXPECT_EQ(empty.GetHash(), Brivet::Base::NameHashOffsetBasis);

    // The first attribute of a name counts.
    EXPECT_TRUE(element.GetAttribute("twice", value));
    EXPECT_STREQ(value.GetText(), "first");

    // Missing names (including other cases) give false and leave out alone.
    String kept("kept");
    const uint64_t keptHash = kept.GetHash();
    for (const char* missing : {"NAME", "nam", "names", "", "other"})
    {
        EXPECT_FALSE(element.GetAttribute(missing, kept)) << missing;
        EXPECT_STREQ(kept.GetText(), "kept");
        EXPECT_EQ(kept.GetHash(), keptHash);
    }
    EXPECT_FALSE(element.GetAttribute(nullptr, kept));
    EXPECT_FALSE(Node().GetAttribute("name", kept));
    EXPECT_STREQ(kept.GetText(), "kept");
}

TEST(XMLDocument, LoadsTextFromMemory)
{
    Document document;
    ASSERT_TRUE(document.Load("<?xml version='1.0'?>\n<brivet><properties name='x'/></brivet>"));
    EXPECT_STREQ(document.GetHandle()->document_element().name(), "brivet");

    // Each load starts from an empty document.
    ASSERT_TRUE(document.Load("<other/>"));
    EXPECT_STREQ(document.GetHandle()->document_element().name(), "other");
    EXPECT_FALSE(document.GetHandle()->child("brivet"));

    for (const char* bad : {"", "   ", "<open>", "<a></b>", "<a b='1' b></a>", "text only"})
    {
        EXPECT_FALSE(document.Load(bad)) << bad;
    }
    EXPECT_FALSE(document.Load(nullptr));
    EXPECT_FALSE(document.GetHandle()->document_element());
}

TEST(XMLWriter, PrintsANodeIntoItsString)
{
    Document document;
    ASSERT_TRUE(document.Load(
        "<graph><parameter name='fAmount' kind=\"a&amp;b\"><value type='constant'/></parameter></graph>"));
    pugi::xml_node parameter = document.GetHandle()->document_element().first_child();

    Document::Writer writer;
    parameter.print(writer);
    EXPECT_STREQ(writer.GetText().GetText(),
                 "<parameter name=\"fAmount\" kind=\"a&amp;b\">\n\t<value type=\"constant\" />\n</parameter>\n");

    // A printed text parses back to the same element.
    Document again;
    ASSERT_TRUE(again.Load(writer.GetText().GetText()));
    EXPECT_STREQ(again.GetHandle()->document_element().attribute("name").value(), "fAmount");
}

TEST(XMLWriter, ConcatenatesEveryWrite)
{
    // Large enough that pugixml hands its text over in several writes.
    std::string source = "<r>";
    for (int i = 0; i < 2000; ++i)
        source += "<child index='" + std::to_string(i) + "' text='some longer attribute text'/>";
    source += "</r>";
    Document document;
    ASSERT_TRUE(document.Load(source.c_str()));

    struct Counting : Document::Writer
    {
        void write(const void* data, size_t size) override
        {
            ++calls;
            Document::Writer::write(data, size);
        }
        int calls = 0;
    } writer;
    document.GetHandle()->document_element().print(writer);

    std::ostringstream expected;
    document.GetHandle()->document_element().print(expected);
    EXPECT_GT(writer.calls, 1);
    EXPECT_EQ(std::string(writer.GetText().GetText(), writer.GetText().GetLength()), expected.str());
}

TEST(XMLWriter, ZeroBytesAppendNothing)
{
    Document::Writer writer;
    writer.write("", 0);
    EXPECT_EQ(writer.GetText().GetHash(), 0u); // never assigned
    writer.write("ab", 2);
    writer.write("cde", 3);
    writer.write("xyz", 0);
    EXPECT_STREQ(writer.GetText().GetText(), "abcde");
    EXPECT_EQ(writer.GetText().GetLength(), 5u);
}

// The parameter XML: "value", "constant", "clip" and "key" read and written by Load and Save.
#include "Parameters/Parameter.h"

#include "LogCapture.h"
#include "Utility/XML/Document.h"
#include "Utility/XML/Node.h"

#include <gtest/gtest.h>

#include <string>

using namespace Brivet::Parameters;
using Brivet::Base::String;
using Brivet::Utility::XML::Document;
using Brivet::Utility::XML::Node;

namespace {

// A parsed document and its root element.
struct Xml
{
    explicit Xml(const std::string& text)
    {
        EXPECT_TRUE(document.Load(text.c_str())) << text;
        root = Node(document.GetHandle()->document_element(), &document);
    }

    Document document;
    Node root;
};

std::string Print(const Node& node)
{
    Document::Writer writer;
    node.GetHandle().print(writer, "", pugi::format_raw);
    return writer.GetText().GetText();
}

std::string ConstantXml(const char* type, const char* text)
{
    return std::string("<parameter><value type=\"") + type + "\"><constant value=\"" + text + "\"/></value></parameter>";
}

// A value as up to four numbers and a text, so that one table covers all eight types.
struct Sample
{
    double c[4] = { 0, 0, 0, 0 };
    std::string text;
};

Sample ToSample(bool v) { Sample s; s.c[0] = v ? 1 : 0; return s; }
Sample ToSample(int v) { Sample s; s.c[0] = v; return s; }
Sample ToSample(unsigned int v) { Sample s; s.c[0] = v; return s; }
Sample ToSample(float v) { Sample s; s.c[0] = v; return s; }
Sample ToSample(const D3DXVECTOR2& v) { Sample s; s.c[0] = v.x; s.c[1] = v.y; return s; }
Sample ToSample(const D3DXVECTOR3& v) { Sample s; s.c[0] = v.x; s.c[1] = v.y; s.c[2] = v.z; return s; }
Sample ToSample(const D3DXVECTOR4& v) { Sample s; s.c[0] = v.x; s.c[1] = v.y; s.c[2] = v.z; s.c[3] = v.w; return s; }
Sample ToSample(const String& v) { Sample s; s.text = v.GetText(); return s; }

// Loads the XML into a parameter of the type whose default is not zero, samples it at time 0.
template <typename T>
Sample LoadAs(const std::string& xml, const T& defaultValue, bool& loaded)
{
    Xml document(xml);
    Parameter<T> parameter(defaultValue);
    loaded = parameter.Load(document.root);
    return ToSample(parameter.GetValue(0.0f));
}

Sample LoadAs(Type type, const std::string& xml, bool& loaded)
{
    switch (type)
    {
    case Type::Bool: return LoadAs<bool>(xml, true, loaded);
    case Type::Int: return LoadAs<int>(xml, 77, loaded);
    case Type::UInt: return LoadAs<unsigned int>(xml, 77u, loaded);
    case Type::Float: return LoadAs<float>(xml, 77.0f, loaded);
    case Type::Vector2: return LoadAs<D3DXVECTOR2>(xml, D3DXVECTOR2(7, 7), loaded);
    case Type::Vector3: return LoadAs<D3DXVECTOR3>(xml, D3DXVECTOR3(7, 7, 7), loaded);
    case Type::Vector4: return LoadAs<D3DXVECTOR4>(xml, D3DXVECTOR4(7, 7, 7, 7), loaded);
    case Type::String: return LoadAs<String>(xml, String("default"), loaded);
    default: ADD_FAILURE(); return Sample();
    }
}

} // namespace

TEST(ParameterXML, ConstantTextFormsOfEveryType)
{
    struct Case { Type type; const char* text; Sample expected; };
    const Case cases[] = {
        { Type::Float, "2.5", { { 2.5 } } },
        { Type::Float, "", { { 0 } } },
        { Type::Float, "abc", { { 0 } } },
        { Type::Float, "1.5kg", { { 1.5 } } },
        { Type::Float, "  -3e2", { { -300 } } },
        { Type::Int, "3.7", { { 3 } } },
        { Type::Int, "-12", { { -12 } } },
        { Type::Int, "x1", { { 0 } } },
        { Type::UInt, "4294967295", { { 4294967295.0 } } },
        { Type::UInt, "7", { { 7 } } },
        { Type::Vector2, "1;2", { { 1, 2 } } },
        { Type::Vector2, "1; 2", { { 1, 2 } } },
        { Type::Vector2, "1;   2", { { 1, 2 } } },
        { Type::Vector2, "1 ; 2", { { 1, 0 } } },
        { Type::Vector2, "1,2", { { 1, 0 } } },
        { Type::Vector2, "", { { 0, 0 } } },
        { Type::Vector3, "1; 2", { { 1, 2, 0 } } },
        { Type::Vector3, "0.5;-1;2e1", { { 0.5, -1, 20 } } },
        { Type::Vector4, "1; 2; 3", { { 1, 2, 3, 0 } } },
        { Type::Vector4, "1; 2; 3; 4", { { 1, 2, 3, 4 } } },
        { Type::Bool, "true", { { 1 } } },
        { Type::Bool, "True", { { 0 } } },
        { Type::Bool, "TRUE", { { 0 } } },
        { Type::Bool, "1", { { 0 } } },
        { Type::Bool, "yes", { { 0 } } },
        { Type::Bool, "true ", { { 0 } } },
        { Type::Bool, "", { { 0 } } },
        { Type::String, "Hello, World", { {}, "Hello, World" } },
        { Type::String, "  padded ", { {}, "  padded " } },
        { Type::String, "", { {}, "" } },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "type " << uint32_t(c.type) << " text '" << c.text << "'");
        bool loaded = false;
        const Sample value = LoadAs(c.type, ConstantXml("constant", c.text), loaded);
        EXPECT_TRUE(loaded);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(value.c[i], c.expected.c[i]) << "component " << i;
        EXPECT_EQ(value.text, c.expected.text);
    }
}

TEST(ParameterXML, MissingConstantOrValueAttributeGivesZero)
{
    const char* forms[] = {
        "<parameter><value type=\"constant\"/></parameter>",
        "<parameter><value type=\"constant\"><constant/></value></parameter>",
        "<parameter><value type=\"constant\"><constant Value=\"3\"/></value></parameter>",
        "<parameter><value type=\"constant\"><Constant value=\"3\"/></value></parameter>",
    };
    const Type types[] = { Type::Bool, Type::Int, Type::UInt, Type::Float, Type::Vector2, Type::Vector3, Type::Vector4, Type::String };
    for (const char* form : forms)
    {
        for (Type type : types)
        {
            SCOPED_TRACE(testing::Message() << form << " type " << uint32_t(type));
            bool loaded = false;
            const Sample value = LoadAs(type, form, loaded);
            EXPECT_TRUE(loaded);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(value.c[i], 0.0);
            EXPECT_EQ(value.text, "");
        }
    }
}

TEST(ParameterXML, TypeIgnoresCaseAndElementNamesDoNot)
{
    struct Case { const char* xml; bool loaded; ValueKind kind; };
    const Case cases[] = {
        { "<parameter><value type=\"Constant\"><constant value=\"2\"/></value></parameter>", true, ValueKind::Constant },
        { "<parameter><value type=\"CONSTANT\"><constant value=\"2\"/></value></parameter>", true, ValueKind::Constant },
        { "<parameter><value type=\"SpLiNe\"/></parameter>", true, ValueKind::Spline },
        { "<parameter><value type=\"spline\"/><value type=\"constant\"/></parameter>", true, ValueKind::Spline },
        { "<parameter><other/><value type=\"spline\"/></parameter>", true, ValueKind::Spline },
        { "<parameter><Value type=\"spline\"/></parameter>", false, ValueKind::Constant },
        { "<parameter><value Type=\"spline\"/></parameter>", false, ValueKind::Constant },
        { "<parameter><value type=\"curve\"/></parameter>", false, ValueKind::Constant },
        { "<parameter><value type=\"\"/></parameter>", false, ValueKind::Constant },
        { "<parameter/>", false, ValueKind::Constant },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.xml);
        Xml document(c.xml);
        Parameter<float> parameter(5.0f);
        EXPECT_EQ(parameter.Load(document.root), c.loaded);
        EXPECT_EQ(parameter.GetValueKind(), c.kind);
        EXPECT_EQ(parameter.GetSpline() != nullptr, c.kind == ValueKind::Spline);
    }
}

TEST(ParameterXML, FailedLoadLeavesTheZeroConstant)
{
    const char* malformed[] = {
        nullptr, // no element at all
        "<parameter/>",
        "<parameter><value/></parameter>",
        "<parameter><value type=\"curve\"><constant value=\"3\"/></value></parameter>",
    };
    for (const char* xml : malformed)
    {
        SCOPED_TRACE(xml ? xml : "(no element)");
        Parameter<float> parameter(5.0f);
        Xml spline("<parameter><value type=\"spline\"><clip start=\"0\" length=\"10\"><key value=\"3\"/></clip></value></parameter>");
        ASSERT_TRUE(parameter.Load(spline.root));
        ASSERT_EQ(parameter.GetValueKind(), ValueKind::Spline);

        LogCapture::Get().Clear();
        bool loaded = true;
        if (xml)
        {
            Xml document(xml);
            loaded = parameter.Load(document.root);
        }
        else
        {
            loaded = parameter.Load(Node());
        }
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(LogCapture::Get().Lines().empty()); // the caller reports the failure

        // The spline is gone; the kind names what is held.
        EXPECT_EQ(parameter.GetValueKind(), ValueKind::Constant);
        EXPECT_EQ(parameter.GetSpline(), nullptr);
        EXPECT_EQ(parameter.GetValue(1.0f), 0.0f);
        EXPECT_FALSE(parameter.IsAnimatedAt(1.0f));
        EXPECT_TRUE(parameter.SetValue(1.0f, 2.0f, 0.1f));
        EXPECT_EQ(parameter.GetValue(7.0f), 2.0f);
    }
}

TEST(ParameterXML, ClipAndKeyDefaults)
{
    Xml document(
        "<parameter><value type=\"spline\">"
        "<clip><key/><key time=\"0.5\" interpolation=\"SmoothStep\" factor=\"x\"/></clip>"
        "<clip start=\"abc\" length=\"2.5s\">"
        "<key time=\"-1\" interpolation=\"HOLD\" factor=\"3\" value=\"4\"/><key interpolation=\"bogus\" factor=\"\"/><key interpolation=\"\"/>"
        "<Key time=\"9\"/><note/></clip>"
        "<Clip start=\"7\"/>"
        "</value></parameter>");
    Parameter<float> parameter(1.0f);
    ASSERT_TRUE(parameter.Load(document.root));
    ISpline* spline = parameter.GetSpline();
    ASSERT_NE(spline, nullptr);
    ASSERT_NE(spline->GetClip(1), nullptr);
    EXPECT_EQ(spline->GetClip(2), nullptr);

    const auto& first = *static_cast<Clip<float>*>(spline->GetClip(0));
    EXPECT_EQ(first.GetStart(), 0.0f);
    EXPECT_EQ(first.GetLength(), 1.0f);
    ASSERT_EQ(first.GetKeys().GetCount(), 2u);
    EXPECT_EQ(first.GetKeys()[0].time, 0.0f);
    EXPECT_EQ(first.GetKeys()[0].value, 0.0f);
    EXPECT_EQ(first.GetKeys()[0].interpolation, Interpolation::Linear);
    EXPECT_EQ(first.GetKeys()[0].factor, 1.0f);
    EXPECT_EQ(first.GetKeys()[1].time, 0.5f);
    EXPECT_EQ(first.GetKeys()[1].interpolation, Interpolation::SmoothStep);
    EXPECT_EQ(first.GetKeys()[1].factor, 1.0f);

    // Keys stay in document order and may lie before the clip's start.
    const auto& second = *static_cast<Clip<float>*>(spline->GetClip(1));
    EXPECT_EQ(second.GetStart(), 0.0f);
    EXPECT_EQ(second.GetLength(), 2.5f);
    ASSERT_EQ(second.GetKeys().GetCount(), 3u);
    EXPECT_EQ(second.GetKeys()[0].time, -1.0f);
    EXPECT_EQ(second.GetKeys()[0].interpolation, Interpolation::Hold);
    EXPECT_EQ(second.GetKeys()[0].factor, 3.0f);
    EXPECT_EQ(second.GetKeys()[0].value, 4.0f);
    EXPECT_EQ(second.GetKeys()[1].interpolation, Interpolation::Linear);
    EXPECT_EQ(second.GetKeys()[1].factor, 1.0f);
    EXPECT_EQ(second.GetKeys()[2].interpolation, Interpolation::Linear);
}

TEST(ParameterXML, StringKeyWithoutValueIsTheEmptyText)
{
    Xml document(
        "<parameter><value type=\"spline\"><clip start=\"1\" length=\"2\">"
        "<key interpolation=\"hold\"/><key time=\"1\" value=\"later\"/>"
        "</clip></value></parameter>");
    Parameter<String> parameter(String("default"));
    ASSERT_TRUE(parameter.Load(document.root));
    EXPECT_STREQ(parameter.GetValue(1.5f).GetText(), "");
    EXPECT_STREQ(parameter.GetValue(2.5f).GetText(), "later");
    EXPECT_STREQ(parameter.GetValue(4.0f).GetText(), "");
}

TEST(ParameterXML, SaveSortsClipsAndKeysAndRoundTrips)
{
    Xml source(
        "<parameter name=\"Fade\"><value type=\"Spline\">"
        "<clip start=\"4\" length=\"1\"><key time=\"0.5\" value=\"2\"/>"
        "<key time=\"0\" interpolation=\"SLOWDOWN\" factor=\"2\" value=\"1\"/></clip>"
        "<clip start=\"0\" length=\"2\"><key time=\"1\" interpolation=\"hold\" value=\"3\"/></clip>"
        "</value></parameter>");
    Parameter<float> parameter(0.0f);
    ASSERT_TRUE(parameter.Load(source.root));

    // Loaded in document order: the clip at 4 stands first, so time 1 is turned away.
    EXPECT_EQ(parameter.GetSpline()->GetClip(0)->GetStart(), 4.0f);
    EXPECT_EQ(parameter.GetValue(1.0f), 0.0f);
    EXPECT_FALSE(parameter.IsAnimatedAt(1.0f));

    Xml target("<parameter name=\"Fade\"/>");
    ASSERT_TRUE(parameter.Save(target.root));
    const std::string saved =
        "<parameter name=\"Fade\"><value type=\"spline\">"
        "<clip start=\"0\" length=\"2\"><key time=\"1\" interpolation=\"hold\" factor=\"1\" value=\"3\"/></clip>"
        "<clip start=\"4\" length=\"1\"><key time=\"0\" interpolation=\"slowdown\" factor=\"2\" value=\"1\"/>"
        "<key time=\"0.5\" interpolation=\"linear\" factor=\"1\" value=\"2\"/></clip>"
        "</value></parameter>";
    EXPECT_EQ(Print(target.root), saved);

    // Saving sorted the spline in memory, too.
    EXPECT_EQ(parameter.GetSpline()->GetClip(0)->GetStart(), 0.0f);
    EXPECT_EQ(parameter.GetValue(1.0f), 3.0f);
    EXPECT_EQ(parameter.GetValue(4.25f), 1.75f); // slowdown, factor 2, at f = 0.5

    Parameter<float> reloaded(9.0f);
    ASSERT_TRUE(reloaded.Load(target.root));
    for (float time : { -1.0f, 0.5f, 1.0f, 3.0f, 4.0f, 4.25f, 4.5f, 5.0f, 6.0f })
    {
        EXPECT_EQ(reloaded.GetValue(time), parameter.GetValue(time)) << time;
        EXPECT_EQ(reloaded.IsAnimatedAt(time), parameter.IsAnimatedAt(time)) << time;
    }
    Xml again("<parameter name=\"Fade\"/>");
    ASSERT_TRUE(reloaded.Save(again.root));
    EXPECT_EQ(Print(again.root), saved);
}

TEST(ParameterXML, UnnamedInterpolationIsLeftOutAndReloadsAsLinear)
{
    Parameter<float> parameter(0.0f);
    parameter.MakeSpline();
    parameter.GetSpline()->AddClip(0.0f, 2.0f);
    auto* clip = static_cast<Clip<float>*>(parameter.GetSpline()->GetClip(0));
    clip->AddKey(0.0f, 0.0f, static_cast<Interpolation>(7), 5.0f);
    clip->AddKey(1.0f, 10.0f, Interpolation::Linear, 1.0f);
    EXPECT_EQ(parameter.GetValue(0.5f), 0.0f); // kind 7 eases like Hold

    Xml target("<parameter/>");
    ASSERT_TRUE(parameter.Save(target.root));
    EXPECT_EQ(Print(target.root),
        "<parameter><value type=\"spline\"><clip start=\"0\" length=\"2\">"
        "<key time=\"0\" factor=\"5\" value=\"0\"/><key time=\"1\" interpolation=\"linear\" factor=\"1\" value=\"10\"/>"
        "</clip></value></parameter>");

    Parameter<float> reloaded(0.0f);
    ASSERT_TRUE(reloaded.Load(target.root));
    EXPECT_EQ(reloaded.GetValue(0.5f), 5.0f);
}

TEST(ParameterXML, ConstantsAreWrittenInPrintfForms)
{
    struct Case { std::string saved; std::string expected; };
    auto save = [](auto value) {
        using T = decltype(value);
        Parameter<T> parameter(value);
        Xml target("<parameter/>");
        EXPECT_TRUE(parameter.Save(target.root));
        return Print(target.root);
    };
    auto form = [](const char* text) {
        return std::string("<parameter><value type=\"constant\"><constant value=\"") + text + "\"/></value></parameter>";
    };
    const Case cases[] = {
        { save(3.14159265f), form("3.14159") },
        { save(1234567.0f), form("1.23457e+06") },
        { save(0.0001f), form("0.0001") },
        { save(0.00001f), form("1e-05") },
        { save(-0.0f), form("-0") },
        { save(-7), form("-7") },
        { save(4294967295u), form("4294967295") },
        { save(true), form("true") },
        { save(false), form("false") },
        { save(D3DXVECTOR2(1.0f, 0.5f)), form("1; 0.5") },
        { save(D3DXVECTOR3(1.0f, -2.0f, 3.0f)), form("1; -2; 3") },
        { save(D3DXVECTOR4(1.0f, 2.5f, -3.0f, 0.0f)), form("1; 2.5; -3; 0") },
        { save(String("as is;  1")), form("as is;  1") },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.saved, c.expected);

    // A spline parameter without clips still writes its kind.
    Parameter<int> empty(0);
    empty.MakeSpline();
    Xml target("<parameter/>");
    EXPECT_TRUE(empty.Save(target.root));
    EXPECT_EQ(Print(target.root), "<parameter><value type=\"spline\"/></parameter>");

    EXPECT_FALSE(empty.Save(Node()));
}

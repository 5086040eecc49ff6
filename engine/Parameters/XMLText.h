// Attribute reading and writing of the parameter XML: "%g" numbers and the value text forms.
#pragma once

#include "Base/Hash.h"
#include "Base/String.h"
#include "Parameters/ValueTraits.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

#include <cstring>

namespace Brivet::Parameters {

// Null when parent has no child element of exactly that name.
inline Utility::XML::Node FirstChild(const Utility::XML::Node& parent, const char* name)
{
    Utility::XML::ChildIterator children(name);
    if (!children.Next(parent))
        return Utility::XML::Node();
    return children.GetCurrent();
}

inline Utility::XML::Node AppendChild(const Utility::XML::Node& parent, const char* name)
{
    return Utility::XML::Node(parent.GetHandle().append_child(name), parent.GetDocument());
}

// Compares a keyword value without regard to case (by the lower-case name hash).
inline bool IsKeyword(const Base::String& text, const char* keyword)
{
    return text.GetHashLower() == Base::NameHashLower(keyword, static_cast<uint32_t>(strlen(keyword)));
}

// "%g" into out when the attribute is there and starts with a number; otherwise out stays.
inline void ReadNumber(const Utility::XML::Node& element, const char* name, float& out)
{
    Base::String text;
    float number = 0.0f;
    if (element.GetAttribute(name, text) && text.Scan("%g", &number) == 1)
        out = number;
}

// The value's text form when the attribute is there; otherwise out stays.
template <typename T>
void ReadValue(const Utility::XML::Node& element, const char* name, T& out)
{
    Base::String text;
    if (element.GetAttribute(name, text))
        out = ValueTraits<T>::Read(text);
}

inline void WriteText(const Utility::XML::Node& element, const char* name, const char* text)
{
    element.GetHandle().append_attribute(name).set_value(text);
}

inline void WriteNumber(const Utility::XML::Node& element, const char* name, float number)
{
    Base::String text;
    text.Format("%g", double(number));
    WriteText(element, name, text.GetText());
}

template <typename T>
void WriteValue(const Utility::XML::Node& element, const char* name, const T& value)
{
    Base::String text;
    ValueTraits<T>::Write(value, text);
    WriteText(element, name, text.GetText());
}

} // namespace Brivet::Parameters

// Light value handle on one element of a parsed XML document.
#pragma once

#include <pugixml.hpp>

namespace Brivet::Base
{
class String;
}

namespace Brivet::Utility::XML
{

class Document;

class Node
{
public:
    Node() = default;
    Node(pugi::xml_node handle, Document* document);
    virtual ~Node() = default;

    // False for a null handle or when the element has no attribute of exactly that
    // name (case-sensitive); otherwise the first such attribute's value (empty for an
    // attribute without value) is assigned to out. out is left unchanged on false.
    bool GetAttribute(const char* name, Base::String& out) const;

    pugi::xml_node GetHandle() const { return handle; }
    Document* GetDocument() const { return document; }

private:
    pugi::xml_node handle;
    Document* document = nullptr;
};

} // namespace Brivet::Utility::XML

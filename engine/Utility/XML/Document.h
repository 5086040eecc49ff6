// Owner of one parsed XML document, and the writer that prints a node into a String.
#pragma once

#include "Base/String.h"

#include <pugixml.hpp>

#include <cstddef>

namespace Brivet::Utility::XML
{

class Document
{
public:
    // Appends everything pugixml prints to text: node.print(writer).
    class Writer : public pugi::xml_writer
    {
    public:
        void write(const void* data, size_t size) override;

        const Base::String& GetText() const { return text; }

    private:
        Base::String text;
    };

    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Resets the document and parses a zero-terminated text with pugixml's default
    // options and encoding detection; true when the parse status is ok.
    bool Load(const char* text);

    pugi::xml_document* GetHandle() const { return document; }

private:
    pugi::xml_document* document;
};

} // namespace Brivet::Utility::XML

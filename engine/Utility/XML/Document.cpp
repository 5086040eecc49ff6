// XML document holder and node printer.
#include "Utility/XML/Document.h"

#include <cstring>

namespace Brivet::Utility::XML
{

void Document::Writer::write(const void* data, size_t size)
{
    // pugixml prints in chunks far below 4 GiB.
    if (size != 0)
        text.Append(static_cast<const char*>(data), static_cast<uint32_t>(size));
}

Document::Document() : document(new pugi::xml_document()) {}

Document::~Document()
{
    delete document;
}

bool Document::Load(const char* text)
{
    document->reset();
    if (!text)
        return false;
    pugi::xml_parse_result result = document->load_buffer(text, strlen(text), pugi::parse_default, pugi::encoding_auto);
    return result.status == pugi::status_ok;
}

} // namespace Brivet::Utility::XML

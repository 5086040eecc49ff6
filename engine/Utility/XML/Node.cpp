// XML element handle and attribute lookup.
#include "Utility/XML/Node.h"

#include "Base/String.h"

namespace Brivet::Utility::XML
{

Node::Node(pugi::xml_node elementHandle, Document* ownerDocument) : handle(elementHandle), document(ownerDocument) {}

bool Node::GetAttribute(const char* name, Base::String& out) const
{
    if (!handle || !name)
        return false;
    // pugixml compares attribute names byte for byte and returns the first match.
    pugi::xml_attribute attribute = handle.attribute(name);
    if (!attribute)
        return false;
    out = Base::String(attribute.value());
    return true;
}

} // namespace Brivet::Utility::XML

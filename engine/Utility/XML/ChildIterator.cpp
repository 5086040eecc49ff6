// Child iteration over an XML element.
#include "Utility/XML/ChildIterator.h"

#include <cstring>

namespace Brivet::Utility::XML
{

ChildIterator::ChildIterator() : named(0), started(0), document(nullptr) {}

ChildIterator::ChildIterator(const char* filterName)
    : named(filterName ? 1 : 0), started(0), name(filterName), document(nullptr)
{
}

bool ChildIterator::Next(const Node& parent)
{
    document = parent.GetDocument();

    pugi::xml_node child;
    if (!started)
    {
        child = parent.GetHandle().first_child();
        started = 1;
    }
    else if (current)
    {
        child = current.next_sibling();
    }

    // Text and other non-element nodes are passed over; names compare byte for byte.
    while (child && (child.type() != pugi::node_element || (named && strcmp(child.name(), name.GetText()) != 0)))
        child = child.next_sibling();

    current = child;
    return bool(current);
}

} // namespace Brivet::Utility::XML

// Iteration over the element children of a Node, all of them or those of one name.
#pragma once

#include "Base/String.h"
#include "Utility/XML/Node.h"

#include <cstdint>

namespace Brivet::Utility::XML
{

class Document;

// Usage: ChildIterator it("clip"); while (it.Next(parent)) { Node child = it.GetCurrent(); ... }
class ChildIterator
{
public:
    // All element children.
    ChildIterator();
    // Only the children whose element name equals name exactly; null means all.
    explicit ChildIterator(const char* name);

    // Advances to the next matching child of parent; true while one is current.
    bool Next(const Node& parent);

    // The current child, null before the first Next and after the last.
    Node GetCurrent() const { return Node(current, document); }

private:
    uint8_t named;
    uint8_t started;
    Base::String name;
    pugi::xml_node current;
    Document* document;
};

} // namespace Brivet::Utility::XML

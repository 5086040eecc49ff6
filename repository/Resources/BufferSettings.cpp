// The "buffer" element of a buffer resource's description.
#include "repository/Resources/BufferSettings.h"

#include "Base/String.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

void BufferSettings::Read(const Brivet::Utility::XML::Node* description, uint32_t& count)
{
    if (!description)
        return;
    Brivet::Utility::XML::ChildIterator it("buffer");
    if (!it.Next(*description))
        return;
    Brivet::Base::String text;
    uint32_t value = 0;
    if (it.GetCurrent().GetAttribute("size", text) && text.Scan("%u", &value) == 1)
        count = value;
}

bool BufferSettings::Write(const Brivet::Utility::XML::Node& element, uint32_t count)
{
    if (!element.GetHandle())
        return false;
    Brivet::Base::String text;
    text.Format("%u", count);
    element.GetHandle().append_child("buffer").append_attribute("size").set_value(text.GetText());
    return true;
}

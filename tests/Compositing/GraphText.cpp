// The text of "graph" element pieces.
#include "GraphText.h"

#include <cstdio>

namespace GraphText
{
std::string Animated(const char* name, float start, float length)
{
    char text[256];
    snprintf(text, sizeof(text),
             "<parameter name='%s'><value type='spline'><clip start='%g' length='%g'><key value='1'/></clip></value>"
             "</parameter>",
             name, start, length);
    return text;
}

std::string Constant(const char* name, float value)
{
    char text[256];
    snprintf(text, sizeof(text), "<parameter name='%s'><value type='constant'><constant value='%g'/></value></parameter>",
             name, value);
    return text;
}

std::string Effect(uint32_t id, const char* name, const std::string& parameters)
{
    return "<node id='" + std::to_string(id) + "' type='effect' name='" + name + "'><effect type='Probe'>" +
           parameters + "</effect></node>";
}

std::string Link(uint32_t source, uint32_t target, const char* slot)
{
    return "<connection source='" + std::to_string(source) + "' target='" + std::to_string(target) + "' slot='" + slot +
           "'/>";
}
} // namespace GraphText

// The text of "graph" element pieces the graph tests write inline.
#pragma once

#include <cstdint>
#include <string>

namespace GraphText
{
// "parameter" elements: animated over [start, start + length) with the value 1, and constant.
std::string Animated(const char* name, float start, float length);
std::string Constant(const char* name, float value);
// A "node" element of a "Probe" effect with those parameter elements.
std::string Effect(uint32_t id, const char* name, const std::string& parameters = "");
// A "connection" element.
std::string Link(uint32_t source, uint32_t target, const char* slot = "Input");
} // namespace GraphText

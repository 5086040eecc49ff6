// The built-in loading-bar shader, used when the description names no "loadingShader".
#pragma once

#include <cstdint>

// A bar two thirds of the screen wide and 2/19 high, centred: white left of the
// progress fraction, grey right of it, black around it.
extern const char g_LoadingShader[];
extern const uint32_t g_LoadingShaderLength; // 436 bytes, no terminator counted

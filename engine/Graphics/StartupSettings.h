// What the shell and the start-up dialog choose before the systems start; read
// by the graphics start (System::Init) and by the demo's system start.
#pragma once

#include <cstdint>

struct HWND__; // Win32 window handle, without <windows.h>
struct _GUID;

namespace Brivet
{

struct StartupSettings
{
    uint32_t width = 0;   // back-buffer and window client size in pixels
    uint32_t height = 0;
    uint32_t windowMode = 2;        // 0 windowed, 1 fullscreen, 2 borderless
    bool vsync = true;              // present with sync interval 1, refresh rate from the display modes
    HWND__* externalWindow = nullptr; // render into this window instead of creating one; null: create
    uint32_t noAudio = 0;             // non-zero makes the audio start fail
    const _GUID* audioDevice = nullptr; // DirectSound output device; null: the default device
    uint32_t sampleRate = 44100;
};

} // namespace Brivet

// Entry point: finds the demo archive, runs the start-up sequence, plays the
// demo with the music as the clock and shuts down in order.
#include <windows.h>

#include "Base/String.h"
#include "Utility/Log.h"
#include "ErrorConsumer.h"

using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{

// A failed start-up: every collected warning and error in one box.
void ShowErrorBox()
{
    String text = g_ErrorConsumer.GetText();
    MessageBoxA(nullptr, text.GetText(), "BRIVET ERROR", MB_ICONERROR | MB_OK);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // 1. DPI awareness
    SetProcessDPIAware();

    // 2. From here every warning and error reaches the error text.
    Log::Instance().AddConsumer(&g_ErrorConsumer, 2);

    // 3. The first "*.vqz" of the working folder
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA("*.vqz", &found);
    if (search == INVALID_HANDLE_VALUE)
    {
        MessageBoxA(nullptr, "No VQZ found! Did you unpack the ZIP correctly?", nullptr, MB_ICONERROR);
        return 0;
    }
    FindClose(search);
    String archiveName(found.cFileName);

    Log::Error("The demo runtime cannot open '%s' yet: the archive reader is not part of this build", archiveName.GetText());
    ShowErrorBox();
    return -5;
}

// The start-up dialog (dialog resource 101): resolution and window style.
#pragma once

#include <windows.h>

#include "SetupDialogModes.h"

namespace Brivet { struct StartupSettings; }

namespace SetupDialog
{

struct Params
{
    Brivet::StartupSettings* settings;               // the record Run fills in
    Brivet::Base::Array<Resolution> resolutions;
    Brivet::Base::String name;               // the demo's name, UTF-8
    HFONT titleFont;
};

// Dialog procedure for DialogBoxParamW; WM_INITDIALOG's lParam is the Params.
INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace SetupDialog

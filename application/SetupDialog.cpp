// The start-up dialog's procedure: the heading, the resolution and window-style
// lists, and Run or Cancel as the dialog's result.
#include "SetupDialog.h"

#include "resource.h"
#include "Graphics/StartupSettings.h"

#include <cstdlib>
#include <cstring>

namespace SetupDialog
{

namespace
{

Params* g_Params = nullptr;

// A name longer than 255 UTF-16 units is cut there (never inside a surrogate
// pair); the heading's text is always terminated.
void SetHeading(HWND dialog, const Brivet::Base::String& name)
{
    constexpr int Capacity = 256;
    const int needed = MultiByteToWideChar(CP_UTF8, 0, name.GetText(), -1, nullptr, 0); // terminator included
    if (needed <= 0)
        return;

    WCHAR heading[Capacity] = {};
    if (needed <= Capacity)
    {
        MultiByteToWideChar(CP_UTF8, 0, name.GetText(), -1, heading, Capacity);
    }
    else
    {
        WCHAR* whole = (WCHAR*)calloc((size_t)needed, sizeof(WCHAR));
        if (!whole)
            return;
        MultiByteToWideChar(CP_UTF8, 0, name.GetText(), -1, whole, needed);
        int keep = Capacity - 1;
        if (whole[keep - 1] >= 0xD800 && whole[keep - 1] <= 0xDBFF)
            keep--;
        memcpy(heading, whole, (size_t)keep * sizeof(WCHAR));
        free(whole);
    }
    SetWindowTextW(GetDlgItem(dialog, IDC_TITLE), heading);
}

void InitDialog(HWND dialog, Params* params)
{
    g_Params = params;

    // Title font
    params->titleFont = CreateFontA(24, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, "Segoe UI");
    if (params->titleFont)
        SendDlgItemMessageA(dialog, IDC_TITLE, WM_SETFONT, (WPARAM)params->titleFont, TRUE);

    // Heading: the demo's UTF-8 name
    if (params->name.GetLength() > 0)
        SetHeading(dialog, params->name);

    // Display modes of the desktop
    for (DWORD index = 0;; index++)
    {
        DEVMODEW mode = {};
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsW(nullptr, index, &mode))
            break;
        AddMode(params->resolutions, mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
    }
    SortResolutions(params->resolutions);

    HWND resolutionList = GetDlgItem(dialog, IDC_RESOLUTION);
    for (uint32_t i = 0; i < params->resolutions.GetCount(); i++)
    {
        Brivet::Base::String label = Label(params->resolutions[i]);
        SendMessageA(resolutionList, CB_ADDSTRING, 0, (LPARAM)label.GetText());
    }
    int selected = PreselectedIndex(params->resolutions, params->settings->width, params->settings->height);
    if (selected >= 0)
        SendMessageA(resolutionList, CB_SETCURSEL, (WPARAM)selected, 0);

    // Window styles: an entry's index is the window mode
    HWND styleList = GetDlgItem(dialog, IDC_WINDOWSTYLE);
    SendMessageA(styleList, CB_ADDSTRING, 0, (LPARAM) "Windowed");
    SendMessageA(styleList, CB_ADDSTRING, 0, (LPARAM) "Fullscreen");
    SendMessageA(styleList, CB_ADDSTRING, 0, (LPARAM) "Borderless");
    SendMessageA(styleList, CB_SETCURSEL, (WPARAM)params->settings->windowMode, 0);
}

void EndWith(HWND dialog, INT_PTR result)
{
    EndDialog(dialog, result);
    if (g_Params && g_Params->titleFont)
    {
        DeleteObject(g_Params->titleFont);
        g_Params->titleFont = nullptr;
    }
}

} // namespace

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        InitDialog(dialog, (Params*)lParam);
        return TRUE;

    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:
        {
            // With no 32-bit display mode the list is empty: keep the settings' size.
            LRESULT index = SendDlgItemMessageA(dialog, IDC_RESOLUTION, CB_GETCURSEL, 0, 0);
            if (index >= 0 && (uint32_t)index < g_Params->resolutions.GetCount())
            {
                g_Params->settings->width = g_Params->resolutions[index].width;
                g_Params->settings->height = g_Params->resolutions[index].height;
            }
            LRESULT style = SendDlgItemMessageA(dialog, IDC_WINDOWSTYLE, CB_GETCURSEL, 0, 0);
            if (style >= 0 && style <= 2)
                g_Params->settings->windowMode = (uint32_t)style;
            EndWith(dialog, 1);
            break;
        }
        case IDCANCEL:
            EndWith(dialog, 0);
            break;
        }
        break;
    }
    return FALSE;
}

} // namespace SetupDialog

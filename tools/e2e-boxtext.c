/* Prints the caption and the whole text of every visible message box of the
 * desktop, as UTF-8: caption, 0x1F, text, 0x1E for each box. Used by
 * tools/e2e.py when Wine's trace of a box text was cut short. */
#include <windows.h>

static HANDLE out;

static void put(const WCHAR *text, int length)
{
    if (length <= 0)
        return;
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, NULL, 0, NULL, NULL);
    char *bytes = HeapAlloc(GetProcessHeap(), 0, size > 0 ? size : 1);
    if (!bytes)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, size, NULL, NULL);
    DWORD written;
    WriteFile(out, bytes, size, &written, NULL);
    HeapFree(GetProcessHeap(), 0, bytes);
}

/* Text of a window of another process, or NULL; the caller frees it. */
static WCHAR *window_text(HWND window, int *length)
{
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &count))
        return NULL;
    WCHAR *text = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (count + 1) * sizeof(WCHAR));
    if (!text)
        return NULL;
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, count + 1, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &copied)) {
        HeapFree(GetProcessHeap(), 0, text);
        return NULL;
    }
    *length = (int)copied;
    return text;
}

struct longest {
    WCHAR *text;
    int length;
};

/* The box's message is its static control with the longest text (the icon's has none). */
static BOOL CALLBACK visit_child(HWND child, LPARAM param)
{
    struct longest *best = (struct longest *)param;
    WCHAR class_name[16];
    if (!GetClassNameW(child, class_name, 16) || lstrcmpiW(class_name, L"Static"))
        return TRUE;
    int length = 0;
    WCHAR *text = window_text(child, &length);
    if (text && length > best->length) {
        if (best->text)
            HeapFree(GetProcessHeap(), 0, best->text);
        best->text = text;
        best->length = length;
    } else if (text) {
        HeapFree(GetProcessHeap(), 0, text);
    }
    return TRUE;
}

static BOOL CALLBACK visit_top(HWND window, LPARAM param)
{
    WCHAR class_name[16];
    if (!GetClassNameW(window, class_name, 16) || lstrcmpW(class_name, L"#32770") || !IsWindowVisible(window))
        return TRUE;
    struct longest best = {NULL, 0};
    EnumChildWindows(window, visit_child, (LPARAM)&best);
    if (!best.text)
        return TRUE;
    WCHAR caption[512];
    int caption_length = GetWindowTextW(window, caption, 512);
    put(caption, caption_length);
    put(L"\x1f", 1);
    put(best.text, best.length);
    put(L"\x1e", 1);
    HeapFree(GetProcessHeap(), 0, best.text);
    return TRUE;
}

int main(void)
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    EnumWindows(visit_top, 0);
    return 0;
}

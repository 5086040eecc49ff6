// Entry point: finds the demo archive, runs the start-up sequence, plays the
// demo with the music as the clock and shuts down in order.
#include <windows.h>
#include <d3d11.h>
#include <dxgi.h>

#include <cstdlib>
#include <new>

#include "Audio/IBackend.h"
#include "Base/String.h"
#include "Graphics/StartupSettings.h"
#include "Utility/Archive/EntryBytes.h"
#include "Utility/Archive/VQZ.h"
#include "Utility/FileSystem/Local/LocalFile.h"
#include "Utility/Log.h"
#include "repository/RegisterRepository.h"

#include "ErrorConsumer.h"
#include "LoadingShader.h"
#include "SetupDialog.h"
#include "TovrelDemo.h"
#include "resource.h"

using Brivet::Base::String;
using Brivet::Utility::Log;

namespace
{

enum ExitCode : int
{
    ExitOk = 0,
    ExitLoadFailed = -1,      // preload, loading program or description load
    ExitRegistration = -2,
    ExitSystems = -3,
    ExitArchiveFile = -4,
    ExitArchiveInvalid = -5,
    ExitDialogCancelled = -8,
};

// A failed start-up: every collected warning and error in one box.
void ShowErrorBox()
{
    String text = g_ErrorConsumer.GetText();
    MessageBoxA(nullptr, text.GetText(), "BRIVET ERROR", MB_ICONERROR | MB_OK);
}

void Present(Brivet::Graphics::System& system)
{
    system.GetSwapChain()->Present(system.GetVsync() ? 1 : 0, 0);
}

void BlackFrames(Brivet::Graphics::System& system, DWORD sleepMilliseconds)
{
    for (int i = 0; i < 10; i++)
    {
        system.BeginFrame();
        Present(system);
        Sleep(sleepMilliseconds);
    }
}

// The loading program from the description's "loadingShader" entry, or the
// built-in bar when it names none. False on any failure.
bool CompileLoadingProgram(TovrelDemo& demo, Brivet::Utility::Archive::IArchive& archive)
{
    const char* path = demo.loadingShader.GetText();
    if (demo.loadingShader.GetLength() == 0)
        return demo.loadingProgram.Compile(g_LoadingShader, g_LoadingShaderLength, 3);

    uint32_t size = 0;
    uint8_t* text = Brivet::Utility::Archive::ReadEntryBytes(archive, path, &size);
    if (!text)
        return false;
    const bool compiled = demo.loadingProgram.Compile(reinterpret_cast<const char*>(text), size, 3);
    delete[] text;
    return compiled;
}

// The objects of one run, owned by the entry point. Destroy releases them in
// the clean-up order on every exit after the archive was constructed.
struct Run
{
    String archiveName;
    Brivet::Utility::FileSystem::Local::LocalFile* file = nullptr;
    Brivet::Utility::Archive::VQZ* archive = nullptr;
    TovrelDemo* demo = nullptr; // on zero-filled memory
    Brivet::StartupSettings settings;
    SetupDialog::Params* dialog = nullptr;

    // Closes the archive file (the shutdown's own step; also on a failed start-up).
    void CloseFile()
    {
        delete file;
        file = nullptr;
    }

    void Destroy()
    {
        CloseFile();
        delete dialog;
        dialog = nullptr;
        if (demo)
        {
            demo->~TovrelDemo();
            free(demo);
            demo = nullptr;
        }
        delete archive;
        archive = nullptr;
    }

    int Fail(int code)
    {
        ShowErrorBox();
        Destroy();
        return code;
    }
};

int Play(HINSTANCE instance, Run& run)
{
    // 6. The demo object, built on zero-filled memory
    void* memory = calloc(1, sizeof(TovrelDemo));
    if (!memory)
        return run.Fail(ExitLoadFailed);
    run.demo = new (memory) TovrelDemo();
    TovrelDemo& demo = *run.demo;

    // 7. Name and loading shader of the description
    if (!demo.Preload(run.archive))
    {
        Log::Error("Demo preload failed");
        return run.Fail(ExitLoadFailed);
    }

    // 8. Start-up dialog
    run.settings.width = (uint32_t)GetSystemMetrics(SM_CXSCREEN);
    run.settings.height = (uint32_t)GetSystemMetrics(SM_CYSCREEN);
    run.dialog = new SetupDialog::Params();
    run.dialog->settings = &run.settings;
    run.dialog->name = demo.name;
    run.dialog->titleFont = nullptr;
    const INT_PTR choice = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETUP), (HWND)run.settings.externalWindow,
                                           SetupDialog::Proc, (LPARAM)run.dialog);
    if (choice == 0)
    {
        run.Destroy();
        return ExitDialogCancelled;
    }

    // 9. Graphics and audio
    if (!demo.StartSystems(run.settings))
    {
        Log::Error("System start failed");
        return run.Fail(ExitSystems);
    }

    // 10. Ten black frames
    BlackFrames(demo.system, 10);

    // 11. The repository's resource and effect factories
    if (!Brivet::RegisterRepository(&demo))
    {
        Log::Error("Repository load failed");
        return run.Fail(ExitRegistration);
    }

    // 12. The loading program; 13. its quad (results ignored)
    if (!CompileLoadingProgram(demo, *run.archive))
    {
        Log::Error("Loading shader load failed (oh the irony)");
        return run.Fail(ExitLoadFailed);
    }
    demo.loadingQuad.CreateInputLayout(demo.loadingProgram.GetVertexShader());
    demo.loadingQuad.CreateBuffers();

    // 14. The whole description, with the loading bar
    if (!demo.Load(run.archive))
    {
        Log::Error("Demo load failed");
        return run.Fail(ExitLoadFailed);
    }

    // 15. Preheat: every graph once per preheat time, nothing presented
    for (float time : demo.preheatTimes)
        demo.Render(time);

    // 16. Ten black frames
    BlackFrames(demo.system, 1);

    // 17.-20. Length, start position, clips to the start, audio thread
    const float length = demo.GetLength();
    demo.renderer.framesMixed = 0;
    demo.renderer.startFrame = (uint32_t)(0.0f * (float)demo.renderer.sampleRate);
    demo.renderer.Seek(demo.renderer.startFrame);
    // Without playback the clock would stand at 0 until Escape.
    if (!demo.backend->Start())
    {
        Log::Error("System start failed");
        return run.Fail(ExitSystems);
    }
    g_ErrorConsumer.StopCollecting();

    // Main loop: the music is the clock
    while (!demo.system.IsQuitRequested())
    {
        const uint32_t frame = demo.backend->GetPosition() + demo.renderer.startFrame;
        const float time = (float)frame / (float)demo.backend->GetSampleRate();
        if (time > length)
            break;
        demo.system.BeginFrame();
        demo.Render(time);
        Present(demo.system);
    }

    // Shutdown: what it reports is collected, never shown
    demo.StopSystems();
    run.CloseFile();
    run.Destroy();
    return ExitOk;
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
        return ExitOk;
    }
    FindClose(search);

    Run run;
    run.archiveName = String(found.cFileName);

    // 4. The archive file
    HANDLE handle = CreateFileA(run.archiveName.GetText(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
    {
        Log::Error("Error opening file '%s'", run.archiveName.GetText());
        return run.Fail(ExitArchiveFile);
    }

    // 5. The archive over it
    run.file = new Brivet::Utility::FileSystem::Local::LocalFile(handle);
    run.archive = new Brivet::Utility::Archive::VQZ();
    if (!run.archive->Open(run.file))
    {
        Log::Error("Error opening archive '%s'", run.archiveName.GetText());
        return run.Fail(ExitArchiveInvalid);
    }

    return Play(instance, run);
}

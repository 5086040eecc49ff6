// Plays one clip through the DirectSound backend for a while (the recording test runs
// it while it records the output): TonePlayer CLIP SECONDS [float|short].
#include "Audio/BackendDirectSound.h"
#include "Audio/Renderer.h"

#include "MemoryArchive.h"
#include "Utility/Log.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using Brivet::Utility::Log;

namespace
{
class StderrConsumer : public Log::ILogConsumer
{
public:
    void Write(int32_t level, const char* text) override { fprintf(stderr, "[%d] %s\n", level, text); }
};
StderrConsumer consumer;
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        fprintf(stderr, "usage: TonePlayer CLIP SECONDS [float|short]\n");
        return 2;
    }
    Log::Instance().AddConsumer(&consumer, Log::LevelInfo);
    const double seconds = atof(argv[2]);
    const bool floatOutput = argc < 4 || strcmp(argv[3], "short") != 0;

    MemoryArchive archive;
    if (!archive.AddFile("clip", argv[1]))
    {
        fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    HWND window = CreateWindowExA(0, "STATIC", "tone", WS_OVERLAPPED, 0, 0, 64, 64, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);

    Brivet::Audio::Renderer renderer;
    renderer.sampleRate = 44100;
    if (!renderer.LoadClip(&archive, Brivet::Base::String("clip"), 0.0f))
        return 1;
    renderer.Seek(0);

    Brivet::Audio::BackendDirectSound backend(&renderer);
    backend.floatOutput = floatOutput;
    if (!backend.Init(44100, window, nullptr) || !backend.Start())
        return 1;
    Sleep(static_cast<DWORD>(seconds * 1000.0));
    const uint32_t played = backend.GetPosition();
    backend.Stop();
    backend.Shutdown();
    renderer.Unload();
    DestroyWindow(window);
    printf("played %u frames\n", played);
    return 0;
}

// Device pieces shared by the Windows test fixtures: a hidden window of the test's own
// (so the System claims no window class and no window procedure), the System started in
// it, pixel read-back and the shutdown of the shared device after the last test.
#pragma once

#include <cstdint>
#include <vector>

struct HWND__;
struct ID3D11Buffer;
struct ID3D11Texture2D;

namespace Brivet::Graphics
{
class System;
}

namespace testing
{
class Environment;
}

namespace WindowsTest
{

// A hidden pop-up window of a class of the test's own, destroyed with the object.
class TestWindow
{
public:
    TestWindow(const char* className, const char* title, uint32_t width, uint32_t height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // Starts system in this window at its size, windowed and without vsync; false
    // when the window or the device could not be made.
    bool StartSystem(Brivet::Graphics::System& system) const;

    HWND__* handle = nullptr;
    uint32_t width;
    uint32_t height;
};

// The first subresource of a texture as 0xAABBGGRR words (R8G8B8A8_UNORM), row by row,
// through a staging copy; empty when texture is null or the copy could not be made.
std::vector<uint32_t> ReadPixels(Brivet::Graphics::System& system, ID3D11Texture2D* texture);
std::vector<uint32_t> ReadBackBuffer(Brivet::Graphics::System& system);
// One subresource of a 2D or cube texture (level l of face f is f × levels + l) as bytes,
// rows packed at texelBytes × the level's width; empty when it could not be read.
std::vector<uint8_t> ReadSubresource(Brivet::Graphics::System& system, ID3D11Texture2D* texture,
                                     uint32_t subresource, uint32_t texelBytes);
// A buffer's contents as 32-bit floats (bytes beyond the last whole float dropped), through
// a staging copy; empty when buffer is null or the copy could not be made.
std::vector<float> ReadFloats(Brivet::Graphics::System& system, ID3D11Buffer* buffer);

// Registers an environment that calls shutdown after the last test, while the runtime is
// whole (static destructors run too late for the device).
::testing::Environment* ShutDownAfterLastTest(void (*shutdown)());

// A fixture's shared state: one T, made on first use and deleted after the last test.
template <typename T>
class SharedInstance
{
public:
    static T& Get()
    {
        (void)environment; // instantiates the registration below
        if (!instance)
            instance = new T;
        return *instance;
    }

private:
    static void Delete()
    {
        delete instance;
        instance = nullptr;
    }

    static inline T* instance = nullptr;
    static inline ::testing::Environment* const environment = ShutDownAfterLastTest(&Delete);
};

} // namespace WindowsTest

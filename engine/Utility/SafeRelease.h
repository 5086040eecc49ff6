// The one release-and-null helper for COM objects (Direct3D, DXGI, DirectSound):
// safe on a half-built object, so a Create may start by calling its teardown.
#pragma once

namespace Brivet::Utility
{
template <typename T>
void SafeRelease(T*& object)
{
    if (object)
    {
        object->Release();
        object = nullptr;
    }
}
} // namespace Brivet::Utility

// Sampler state holder.
#include "Graphics/Sampler.h"

#include <d3d11.h>

#include "Graphics/System.h"
#include "Utility/Log.h"
#include "Utility/SafeRelease.h"

using Brivet::Utility::Log;

namespace Brivet::Graphics
{

Sampler::Sampler(System* system)
    : system(system), state(nullptr)
{
}

Sampler::~Sampler()
{
    Utility::SafeRelease(state);
}

bool Sampler::Create(const D3D11_SAMPLER_DESC& desc)
{
    Utility::SafeRelease(state);
    HRESULT hr = system->GetDevice()->CreateSamplerState(&desc, &state);
    if (FAILED(hr))
    {
        Log::Error("[graphics] Failed to create sampler state: %08X", (unsigned)hr);
        return false;
    }
    return true;
}

} // namespace Brivet::Graphics

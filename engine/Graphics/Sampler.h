// Holder of one sampler state, bound to shader stages by name.
#pragma once

struct ID3D11SamplerState;
struct D3D11_SAMPLER_DESC;

namespace Brivet::Graphics
{

class System;

class Sampler
{
public:
    explicit Sampler(System* system);
    virtual ~Sampler(); // releases the state

    // Creates the state from desc (an earlier one is released). Logs and
    // returns false on failure.
    bool Create(const D3D11_SAMPLER_DESC& desc);

    ID3D11SamplerState* GetState() const { return state; }

private:
    Sampler(const Sampler&) = delete;
    Sampler& operator=(const Sampler&) = delete;

    System* system;
    ID3D11SamplerState* state;
};

} // namespace Brivet::Graphics

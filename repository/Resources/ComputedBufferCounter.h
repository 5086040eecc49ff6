// A 4-byte raw buffer that compute passes use as an atomic counter ("gCounter"), with its
// unordered-access view. Every Buffer carries one; the computed-geometry effect has its own.
#pragma once

#include "Graphics/IComputable.h"

struct ID3D11Buffer;

namespace Brivet::Graphics
{
class System;
}

class ComputedBufferCounter : public Brivet::Graphics::IComputable
{
public:
    explicit ComputedBufferCounter(Brivet::Graphics::System* system); // nothing created yet
    virtual ~ComputedBufferCounter();                                 // Release

    ID3D11Resource* GetResource() const override;
    ID3D11UnorderedAccessView* GetUnorderedAccessView() const override { return view; }
    uint32_t GetWidth() const override { return 1; }
    uint32_t GetHeight() const override { return 1; }
    uint32_t GetDepth() const override { return 1; }

    // The buffer (unordered access, raw views allowed) and its raw R32_TYPELESS view of one
    // element; what was there is released first. False when either creation fails.
    bool Create();
    void Release();

    ID3D11Buffer* GetBuffer() const { return buffer; }

private:
    ComputedBufferCounter(const ComputedBufferCounter&) = delete;
    ComputedBufferCounter& operator=(const ComputedBufferCounter&) = delete;

    Brivet::Graphics::System* system;
    ID3D11Buffer* buffer;
    ID3D11UnorderedAccessView* view;
};

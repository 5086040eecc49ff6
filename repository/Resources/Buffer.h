// The resource of type "buffer": a buffer of 32-bit floats that a compute pass writes
// through its unordered-access view and later shaders read through its shader-resource
// view, with a compute counter beside it. Created from a description ("buffer" with
// "size"); it has no file form.
#pragma once

#include "Graphics/IComputable.h"
#include "repository/Resources/ComputedBufferCounter.h"
#include "repository/Resources/ShaderResource.h"

#include <cstdint>

struct ID3D11Buffer;

class Buffer : public ShaderResource, public Brivet::Graphics::IComputable
{
public:
    // Count 100, compute size 1 × 1 × 1, nothing created; graph may be null.
    explicit Buffer(Brivet::Compositing::Graph* graph);
    ~Buffer() override; // Unload

    void GetTypeName(Brivet::Base::StaticString<64>& type) const override; // "buffer"
    // "buffer", and "shaderresource" (compared without regard to case).
    bool IsCompatible(const Brivet::Base::StaticString<64>& type) const override;
    // Reads "size" from the description (may be null), then creates the buffer, its
    // R32_FLOAT views over all elements and the counter, failing at the first error
    // (logged). A count of 0 or above BufferSettings::MaxCount fails.
    bool CreateDynamic(const Brivet::Utility::XML::Node* xml) override;
    // Appends the "buffer" element that CreateDynamic reads.
    bool WriteXml(const Brivet::Utility::XML::Node& xml) override;
    // Releases the buffer, both views and the counter's buffer and view.
    void Unload() override;

    // Compute face: the buffer, its unordered-access view and the thread counts the
    // computing effect set.
    ID3D11Resource* GetResource() const override;
    ID3D11UnorderedAccessView* GetUnorderedAccessView() const override { return unorderedAccessView; }
    uint32_t GetWidth() const override { return width; }
    uint32_t GetHeight() const override { return height; }
    uint32_t GetDepth() const override { return depth; }
    void SetComputeSize(uint32_t x, uint32_t y, uint32_t z)
    {
        width = x;
        height = y;
        depth = z;
    }

    ID3D11Buffer* GetBuffer() const { return buffer; }
    uint32_t GetCount() const { return count; }
    ComputedBufferCounter& GetCounter() { return counter; }

private:
    ID3D11Buffer* buffer;
    uint32_t count; // float elements
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    ID3D11UnorderedAccessView* unorderedAccessView;
    ComputedBufferCounter counter;
};

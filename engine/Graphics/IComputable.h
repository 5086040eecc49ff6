// What a compute pass reads or writes: a resource, its unordered-access view and its sizes.
#pragma once

#include <cstdint>

struct ID3D11Resource;
struct ID3D11UnorderedAccessView;

namespace Brivet::Graphics
{

class IComputable
{
public:
    virtual ID3D11Resource* GetResource() const = 0;
    virtual ID3D11UnorderedAccessView* GetUnorderedAccessView() const = 0; // null when there is none
    virtual uint32_t GetWidth() const = 0;
    virtual uint32_t GetHeight() const = 0;
    virtual uint32_t GetDepth() const = 0;

protected:
    ~IComputable() = default; // not deleted through this interface
};

} // namespace Brivet::Graphics

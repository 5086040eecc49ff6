// Value source of a Parameter<T>: a constant or a spline.
#pragma once

namespace Brivet::Utility::XML { class Node; }

namespace Brivet::Parameters {

template <typename T>
class IValue
{
public:
    virtual ~IValue() = default;

    virtual T GetValue(float time) const = 0;
    // Writes value at time; a spline matches an existing key within tolerance seconds.
    virtual bool SetValue(float time, const T& value, float tolerance) = 0;
    virtual bool IsAnimatedAt(float time) const = 0;
    // Read and write below the "value" element.
    virtual bool Load(Utility::XML::Node valueElement) = 0;
    virtual bool Save(Utility::XML::Node valueElement) = 0;
};

} // namespace Brivet::Parameters

// Untyped interface of an animatable parameter, the value-type codes and the value-source kinds.
#pragma once

#include <cstdint>

namespace Brivet::Parameters {

class ISpline;

// Value type of a Parameter<T>. Float and the float vectors run consecutively:
// a float vector of n components (1 to 4) has code n + 1.
enum class Type : uint32_t
{
    None = 0,
    Bool = 1,
    Float = 2,
    Vector2 = 3,
    Vector3 = 4,
    Vector4 = 5,
    Int = 6,
    UInt = 7,
    String = 8,
};

// What a parameter currently holds: a Constant<T> or a Spline<T>.
enum class ValueKind : uint32_t
{
    Constant = 0,
    Spline = 1,
};

class IParameter
{
public:
    virtual ~IParameter() = default;

    virtual ValueKind GetValueKind() const = 0;
    // The spline of a parameter that holds one; null for a constant.
    virtual ISpline* GetSpline() = 0;
    // Replace the value source with the zero constant / an empty spline.
    virtual void MakeConstant() = 0;
    virtual void MakeSpline() = 0;
    virtual bool IsAnimatedAt(float time) const = 0;
    virtual void SetFlagA(bool flag) = 0;
    virtual void SetNotifyOnChange(bool notify) = 0;
    virtual bool GetFlagA() const = 0;
    virtual bool GetNotifyOnChange() const = 0;
};

} // namespace Brivet::Parameters

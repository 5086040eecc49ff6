// Value source that gives one value at every time.
#pragma once

#include "Parameters/IValue.h"
#include "Parameters/ValueTraits.h"

namespace Brivet::Parameters {

template <typename T>
class Constant : public IValue<T>
{
public:
    explicit Constant(const T& held) : value(held) {}
    ~Constant() override = default;

    T GetValue(float) const override { return value; }
    bool SetValue(float, const T& newValue, float) override
    {
        value = newValue;
        return true;
    }
    bool IsAnimatedAt(float) const override { return false; }
    // The "value" attribute of the first "constant" child; the zero value when either is missing.
    bool Load(Utility::XML::Node valueElement) override;
    bool Save(Utility::XML::Node valueElement) override;

private:
    T value;
};

extern template class Constant<bool>;
extern template class Constant<int>;
extern template class Constant<unsigned int>;
extern template class Constant<float>;
extern template class Constant<D3DXVECTOR2>;
extern template class Constant<D3DXVECTOR3>;
extern template class Constant<D3DXVECTOR4>;
extern template class Constant<Base::String>;

} // namespace Brivet::Parameters

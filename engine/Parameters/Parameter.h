// Typed animatable parameter: owns one value source, a Constant<T> or a Spline<T>.
#pragma once

#include "Parameters/Constant.h"
#include "Parameters/IParameter.h"
#include "Parameters/IValue.h"
#include "Parameters/Spline.h"
#include "Parameters/ValueTraits.h"

namespace Brivet::Parameters {

// T is bool, int, unsigned int, float, D3DXVECTOR2/3/4 or Base::String. The value source
// is never null and always of the kind GetValueKind names. Not copyable: it owns the source.
template <typename T>
class Parameter : public IParameter
{
public:
    explicit Parameter(const T& defaultValue);
    ~Parameter() override;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    ValueKind GetValueKind() const override { return kind; }
    ISpline* GetSpline() override;
    void MakeConstant() override;
    void MakeSpline() override;
    bool IsAnimatedAt(float time) const override { return value->IsAnimatedAt(time); }
    void SetFlagA(bool flag) override { flagA = flag; }
    void SetNotifyOnChange(bool notify) override { notifyOnChange = notify; }
    bool GetFlagA() const override { return flagA; }
    bool GetNotifyOnChange() const override { return notifyOnChange; }

    virtual T GetValue(float time) const { return value->GetValue(time); }
    virtual bool SetValue(float time, const T& newValue, float tolerance) { return value->SetValue(time, newValue, tolerance); }
    // Borrowed; good until the next MakeConstant, MakeSpline or Load.
    virtual IValue<T>* GetValueObject() { return value; }
    // Replaces the value source from the "value" child of the "parameter" element. On a
    // missing element, a "value" child without "type" or with an unknown type: false,
    // and the parameter holds the zero constant.
    virtual bool Load(Utility::XML::Node parameterElement);
    // Appends a "value" child describing the value source (sorting a spline's clips and keys).
    virtual bool Save(Utility::XML::Node parameterElement);

private:
    ValueKind kind;
    IValue<T>* value;
    bool flagA;
    bool notifyOnChange;
};

extern template class Parameter<bool>;
extern template class Parameter<int>;
extern template class Parameter<unsigned int>;
extern template class Parameter<float>;
extern template class Parameter<D3DXVECTOR2>;
extern template class Parameter<D3DXVECTOR3>;
extern template class Parameter<D3DXVECTOR4>;
extern template class Parameter<Base::String>;

} // namespace Brivet::Parameters

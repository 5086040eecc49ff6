// Parameter value-source replacement and the "value" child of a "parameter" element.
#include "Parameters/Parameter.h"

#include "Parameters/XMLText.h"
#include "Utility/XML/Node.h"

namespace Brivet::Parameters {

template <typename T>
Parameter<T>::Parameter(const T& defaultValue)
    : kind(ValueKind::Constant)
    , value(new Constant<T>(defaultValue))
    , flagA(true)
    , notifyOnChange(false)
{
}

template <typename T>
Parameter<T>::~Parameter()
{
    delete value;
}

template <typename T>
ISpline* Parameter<T>::GetSpline()
{
    // The kind always matches the value source, so the cast is safe exactly for splines.
    return kind == ValueKind::Spline ? static_cast<Spline<T>*>(value) : nullptr;
}

template <typename T>
void Parameter<T>::MakeConstant()
{
    delete value;
    value = nullptr;
    kind = ValueKind::Constant;
    value = new Constant<T>(ValueTraits<T>::Zero());
}

template <typename T>
void Parameter<T>::MakeSpline()
{
    delete value;
    value = nullptr;
    kind = ValueKind::Spline;
    value = new Spline<T>();
}

template <typename T>
bool Parameter<T>::Load(Utility::XML::Node parameterElement)
{
    // Whatever the element holds, the old source goes and the parameter keeps a source
    // of the kind it names: the zero constant unless a spline loads.
    const Utility::XML::Node valueElement = FirstChild(parameterElement, "value");
    Base::String type;
    const bool hasType = valueElement.GetAttribute("type", type);
    if (hasType && IsKeyword(type, "spline"))
        MakeSpline();
    else
        MakeConstant();

    // No "value", no "type" or an unknown type: false without a line of its own (the
    // caller that stops on it reports the failure).
    if (!hasType || (kind == ValueKind::Constant && !IsKeyword(type, "constant")))
        return false;
    return value->Load(valueElement);
}

template <typename T>
bool Parameter<T>::Save(Utility::XML::Node parameterElement)
{
    if (!parameterElement.GetHandle())
        return false;
    const Utility::XML::Node valueElement = AppendChild(parameterElement, "value");
    WriteText(valueElement, "type", kind == ValueKind::Spline ? "spline" : "constant");
    return value->Save(valueElement);
}

template class Parameter<bool>;
template class Parameter<int>;
template class Parameter<unsigned int>;
template class Parameter<float>;
template class Parameter<D3DXVECTOR2>;
template class Parameter<D3DXVECTOR3>;
template class Parameter<D3DXVECTOR4>;
template class Parameter<Base::String>;

} // namespace Brivet::Parameters

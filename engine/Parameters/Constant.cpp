// The "constant" child of a "value" element.
#include "Parameters/Constant.h"

#include "Parameters/XMLText.h"
#include "Utility/XML/Node.h"

namespace Brivet::Parameters {

template <typename T>
bool Constant<T>::Load(Utility::XML::Node valueElement)
{
    value = ValueTraits<T>::Zero();
    ReadValue(FirstChild(valueElement, "constant"), "value", value);
    return true;
}

template <typename T>
bool Constant<T>::Save(Utility::XML::Node valueElement)
{
    if (!valueElement.GetHandle())
        return false;
    WriteValue(AppendChild(valueElement, "constant"), "value", value);
    return true;
}

template class Constant<bool>;
template class Constant<int>;
template class Constant<unsigned int>;
template class Constant<float>;
template class Constant<D3DXVECTOR2>;
template class Constant<D3DXVECTOR3>;
template class Constant<D3DXVECTOR4>;
template class Constant<Base::String>;

} // namespace Brivet::Parameters

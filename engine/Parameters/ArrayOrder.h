// Order-keeping removal and the bubble sort shared by the key and clip lists.
#pragma once

#include "Base/Array.h"

#include <cstdint>

namespace Brivet::Parameters {

// Removes the element at index; an index at or past the last element removes the last
// one, and an empty array stays as it is.
template <typename E>
void RemoveAt(Base::Array<E>& array, uint32_t index)
{
    const uint32_t count = array.GetCount();
    if (count == 0)
        return;
    if (index > count - 1)
        index = count - 1;

    // Array cannot lower its count: rebuild it without the element.
    Base::Array<E> kept;
    if (count > 1)
        kept.Reserve(count - 1);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (i != index)
            kept.Add(array[i]);
    }
    array = kept;
}

// Bubble sort by key(element), ascending: pass k compares the neighbours (i, i + 1) for
// i = 0 .. n - k - 1 and swaps them unless the second key is greater, so equal keys trade
// places on every pass that reaches them. Ends after a pass without a swap.
template <typename E, typename KeyOf>
void BubbleSort(Base::Array<E>& array, KeyOf key)
{
    const uint32_t count = array.GetCount();
    if (count < 2)
        return;
    for (uint32_t pass = 1;; ++pass)
    {
        bool swapped = false;
        for (uint32_t i = 0; i + pass < count; ++i)
        {
            if (!(key(array[i + 1]) > key(array[i])))
            {
                E held = array[i];
                array[i] = array[i + 1];
                array[i + 1] = held;
                swapped = true;
            }
        }
        if (!swapped)
            break;
    }
}

} // namespace Brivet::Parameters

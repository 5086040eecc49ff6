// Growable array: data, count and capacity; grows by 1.5 with a floor of 8, never shrinks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace Brivet::Base
{
template <typename T>
class Array
{
    // Plain element types (numbers, pointers, plain records) live in raw storage and
    // are copied bytewise; others in a block that constructs every element of the
    // capacity, carried over by assignment.
    static constexpr bool IsRaw = std::is_trivial_v<T>;

public:
    Array()
        : data(nullptr), count(0), capacity(0)
    {
    }

    // The copy's capacity is the source's count.
    Array(const Array& other)
        : Array()
    {
        CopyFrom(other);
    }

    Array& operator=(const Array& other)
    {
        if (this != &other)
        {
            Release();
            CopyFrom(other);
        }
        return *this;
    }

    virtual ~Array()
    {
        Release();
    }

    // Appends a copy of element (which may be an element of this array); returns its index.
    uint32_t Add(const T& element)
    {
        T* old = nullptr;
        if (count == capacity)
            old = Reallocate(NextCapacity());
        data[count] = element;
        FreeBlock(old);
        return count++;
    }

    // Appends one element for the caller to fill: default-constructed, or zeroed raw storage.
    T& AddEmpty()
    {
        if (count == capacity)
            FreeBlock(Reallocate(NextCapacity()));
        if constexpr (IsRaw)
            memset(static_cast<void*>(data + count), 0, sizeof(T));
        return data[count++];
    }

    // Count 0, the block and its capacity kept for the next appends. Elements of types
    // with a constructor stay constructed in the block until they are overwritten.
    void Empty()
    {
        count = 0;
    }

    // Reallocates to exactly newCapacity (never below the count).
    void Reserve(uint32_t newCapacity)
    {
        if (newCapacity < count)
            newCapacity = count;
        if (newCapacity == 0)
        {
            Release();
            return;
        }
        FreeBlock(Reallocate(newCapacity));
    }

    // For string elements: true when an element's lower-case hash equals value's
    // (a match that ignores the case of A to Z).
    bool Contains(const T& value) const
    {
        for (uint32_t i = 0; i < count; ++i)
        {
            if (data[i].GetHashLower() == value.GetHashLower())
                return true;
        }
        return false;
    }

    T& operator[](uint32_t index) { return data[index]; }
    const T& operator[](uint32_t index) const { return data[index]; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }

    T* GetData() { return data; }
    const T* GetData() const { return data; }
    uint32_t GetCount() const { return count; }
    uint32_t GetCapacity() const { return capacity; }

private:
    uint32_t NextCapacity() const
    {
        const uint32_t grown = static_cast<uint32_t>(static_cast<double>(capacity) * 1.5);
        return grown > 8 ? grown : 8;
    }

    static T* AllocateBlock(uint32_t size)
    {
        if constexpr (IsRaw)
            return static_cast<T*>(malloc(sizeof(T) * size));
        else
            return new T[size];
    }

    static void FreeBlock(T* block)
    {
        if constexpr (IsRaw)
            free(block);
        else
            delete[] block;
    }

    // Moves the elements into a new block of newCapacity and returns the old block,
    // which the caller frees once it no longer reads from it.
    T* Reallocate(uint32_t newCapacity)
    {
        T* block = AllocateBlock(newCapacity);
        if constexpr (IsRaw)
        {
            if (count)
                memcpy(static_cast<void*>(block), data, sizeof(T) * count);
        }
        else
        {
            for (uint32_t i = 0; i < count; ++i)
                block[i] = data[i];
        }
        T* old = data;
        data = block;
        capacity = newCapacity;
        return old;
    }

    void CopyFrom(const Array& other)
    {
        if (other.count == 0)
            return;
        data = AllocateBlock(other.count);
        capacity = other.count;
        if constexpr (IsRaw)
        {
            memcpy(static_cast<void*>(data), other.data, sizeof(T) * other.count);
        }
        else
        {
            for (uint32_t i = 0; i < other.count; ++i)
                data[i] = other.data[i];
        }
        count = other.count;
    }

    void Release()
    {
        FreeBlock(data);
        data = nullptr;
        count = 0;
        capacity = 0;
    }

    T* data;
    uint32_t count;
    uint32_t capacity;
};
} // namespace Brivet::Base

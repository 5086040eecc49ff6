// Open-addressing hash table with linear probing; iteration follows insertion order.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace Brivet::Base
{
namespace DictionaryKey
{
// String keys (String, StaticString<N>) start probing at the case-sensitive hash and
// match on the lower-case hash; unsigned int keys start at and match their own value.
template <typename K>
struct Traits
{
    static uint64_t Start(const K& key) { return key.GetHash(); }
    static bool Matches(const K& stored, const K& key) { return stored.GetHashLower() == key.GetHashLower(); }
};

template <>
struct Traits<unsigned int>
{
    static uint64_t Start(unsigned int key) { return key; }
    static bool Matches(unsigned int stored, unsigned int key) { return stored == key; }
};
} // namespace DictionaryKey

// Capacity is 0 until the first Set, then 4, 8, 16...; the table may become full and
// grows at the next Set. Owners iterate with i from 0 to GetCount() - 1 over GetEntry(i).
template <typename K, typename V>
class Dictionary
{
    using Traits = DictionaryKey::Traits<K>;

public:
    struct Slot
    {
        enum : uint8_t
        {
            Used = 1,
            Removed = 2, // a removed slot keeps Used, so it reads 3
        };

        uint8_t flags = 0;
        K key{};
        V value{};

        bool IsLive() const { return flags == Used; }
    };

    Dictionary()
        : slots(nullptr), order(nullptr), count(0), capacity(0)
    {
    }

    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    // Destroys keys and values; pointer values are not deleted (their owners do that).
    virtual ~Dictionary()
    {
        delete[] slots;
        delete[] order;
    }

    // Insert or overwrite. A live entry that matches anywhere on the key's probe path
    // (up to the first unused slot) is overwritten; otherwise the key goes into the
    // first unused or removed slot of the path and is appended to the order.
    void Set(const K& key, const V& value)
    {
        if (count == capacity)
        {
            // key or value may live in the slots that Grow destroys.
            const K keyCopy(key);
            const V valueCopy(value);
            Grow();
            Insert(keyCopy, valueCopy);
            return;
        }
        Insert(key, value);
    }

    // value may be null; on success it receives the address of the stored value.
    bool Find(const K& key, V** value = nullptr)
    {
        const int32_t index = Search(key);
        if (index < 0)
            return false;
        if (value)
            *value = &slots[index].value;
        return true;
    }

    bool Find(const K& key, const V** value = nullptr) const
    {
        const int32_t index = Search(key);
        if (index < 0)
            return false;
        if (value)
            *value = &slots[index].value;
        return true;
    }

    // The slot stays used with the removed flag; key and value stay until it is reused.
    bool Remove(const K& key)
    {
        const int32_t index = Search(key);
        if (index < 0)
            return false;
        slots[index].flags |= Slot::Removed;
        for (uint32_t i = 0; i < count; ++i)
        {
            if (order[i] == static_cast<uint32_t>(index))
            {
                memmove(order + i, order + i + 1, sizeof(uint32_t) * (count - i - 1));
                break;
            }
        }
        --count;
        return true;
    }

    // Every slot becomes unused (keys and values reset to their defaults) and the count 0;
    // the capacity stays. Pointer values are not deleted.
    void Clear()
    {
        for (uint32_t i = 0; i < capacity; ++i)
            slots[i] = Slot();
        count = 0;
    }

    uint32_t GetCount() const { return count; }
    uint32_t GetCapacity() const { return capacity; }

    // The i-th live entry in insertion order (i < GetCount()).
    Slot& GetEntry(uint32_t i) { return slots[order[i]]; }
    const Slot& GetEntry(uint32_t i) const { return slots[order[i]]; }

    // Slot by index in slot order (index < GetCapacity()); check IsLive.
    Slot& GetSlot(uint32_t index) { return slots[index]; }
    const Slot& GetSlot(uint32_t index) const { return slots[index]; }

private:
    uint32_t StartSlot(const K& key) const
    {
        return static_cast<uint32_t>(Traits::Start(key) & (capacity - 1));
    }

    // count < capacity here, so the path holds an unused or removed slot.
    void Insert(const K& key, const V& value)
    {
        const uint32_t mask = capacity - 1;
        const uint32_t start = StartSlot(key);
        int64_t freeSlot = -1;
        for (uint32_t i = 0; i < capacity; ++i)
        {
            Slot& slot = slots[(start + i) & mask];
            if (slot.flags == 0)
            {
                if (freeSlot < 0)
                    freeSlot = (start + i) & mask;
                break;
            }
            if (slot.flags & Slot::Removed)
            {
                if (freeSlot < 0)
                    freeSlot = (start + i) & mask;
                continue;
            }
            if (Traits::Matches(slot.key, key))
            {
                slot.value = value;
                return;
            }
        }

        Slot& slot = slots[freeSlot];
        slot.flags = Slot::Used;
        slot.key = key;
        slot.value = value;
        order[count++] = static_cast<uint32_t>(freeSlot);
    }

    // Index of the live slot matching key, or -1. An unused slot ends the search, and
    // so does a matching removed slot; after capacity probes the key is absent.
    int32_t Search(const K& key) const
    {
        if (capacity == 0)
            return -1;
        const uint32_t mask = capacity - 1;
        const uint32_t start = StartSlot(key);
        for (uint32_t i = 0; i < capacity; ++i)
        {
            const uint32_t index = (start + i) & mask;
            const Slot& slot = slots[index];
            if (slot.flags == 0)
                return -1;
            if (Traits::Matches(slot.key, key))
                return (slot.flags & Slot::Removed) ? -1 : static_cast<int32_t>(index);
        }
        return -1;
    }

    // Doubles the capacity (at least 4) and re-inserts the live entries in their order;
    // removed slots vanish.
    void Grow()
    {
        Slot* oldSlots = slots;
        uint32_t* oldOrder = order;
        const uint32_t oldCount = count;

        capacity = capacity * 2 > 4 ? capacity * 2 : 4;
        slots = new Slot[capacity];
        order = new uint32_t[capacity];
        count = 0;
        if (oldSlots)
        {
            for (uint32_t i = 0; i < oldCount; ++i)
            {
                const Slot& old = oldSlots[oldOrder[i]];
                Insert(old.key, old.value);
            }
        }
        delete[] oldSlots;
        delete[] oldOrder;
    }

    Slot* slots;
    uint32_t* order;
    uint32_t count;
    uint32_t capacity;
};
} // namespace Brivet::Base

// What the parameter code needs to know of each of the eight value types: its type code,
// its zero value, how keys blend, and its text form in the parameter XML.
#pragma once

#include "Base/Hash.h"
#include "Base/String.h"
#include "Parameters/IParameter.h"
#include "Rendering/D3DX10Math.h"

namespace Brivet::Parameters {

// Eases: float and the float vectors interpolate between keys; the other types step
// from key to key. Read: the value starts as zero and each component the scan does
// not reach stays 0.
template <typename T>
struct ValueTraits;

template <>
struct ValueTraits<bool>
{
    static constexpr Type Code = Type::Bool;
    static constexpr bool Eases = false;
    static bool Zero() { return false; }
    // True only for exactly "true", compared by the case-sensitive name hash.
    static bool Read(const Base::String& text) { return text.GetHash() == Base::NameHash("true", 4); }
    static void Write(bool value, Base::String& text) { text = Base::String(value ? "true" : "false"); }
};

template <>
struct ValueTraits<int>
{
    static constexpr Type Code = Type::Int;
    static constexpr bool Eases = false;
    static int Zero() { return 0; }
    static int Read(const Base::String& text)
    {
        int value = 0;
        text.Scan("%d", &value);
        return value;
    }
    static void Write(int value, Base::String& text) { text.Format("%d", value); }
};

template <>
struct ValueTraits<unsigned int>
{
    static constexpr Type Code = Type::UInt;
    static constexpr bool Eases = false;
    static unsigned int Zero() { return 0; }
    static unsigned int Read(const Base::String& text)
    {
        unsigned int value = 0;
        text.Scan("%u", &value);
        return value;
    }
    static void Write(unsigned int value, Base::String& text) { text.Format("%u", value); }
};

template <>
struct ValueTraits<float>
{
    static constexpr Type Code = Type::Float;
    static constexpr bool Eases = true;
    static float Zero() { return 0.0f; }
    static float Blend(float a, float b, float e) { return a + e * (b - a); }
    static float Read(const Base::String& text)
    {
        float value = 0.0f;
        text.Scan("%g", &value);
        return value;
    }
    static void Write(float value, Base::String& text) { text.Format("%g", double(value)); }
};

template <>
struct ValueTraits<D3DXVECTOR2>
{
    static constexpr Type Code = Type::Vector2;
    static constexpr bool Eases = true;
    static D3DXVECTOR2 Zero() { return D3DXVECTOR2(0.0f, 0.0f); }
    static D3DXVECTOR2 Blend(const D3DXVECTOR2& a, const D3DXVECTOR2& b, float e)
    {
        return D3DXVECTOR2(a.x + e * (b.x - a.x), a.y + e * (b.y - a.y));
    }
    static D3DXVECTOR2 Read(const Base::String& text)
    {
        D3DXVECTOR2 value = Zero();
        text.Scan("%g; %g", &value.x, &value.y);
        return value;
    }
    static void Write(const D3DXVECTOR2& value, Base::String& text)
    {
        text.Format("%g; %g", double(value.x), double(value.y));
    }
};

template <>
struct ValueTraits<D3DXVECTOR3>
{
    static constexpr Type Code = Type::Vector3;
    static constexpr bool Eases = true;
    static D3DXVECTOR3 Zero() { return D3DXVECTOR3(0.0f, 0.0f, 0.0f); }
    static D3DXVECTOR3 Blend(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float e)
    {
        return D3DXVECTOR3(a.x + e * (b.x - a.x), a.y + e * (b.y - a.y), a.z + e * (b.z - a.z));
    }
    static D3DXVECTOR3 Read(const Base::String& text)
    {
        D3DXVECTOR3 value = Zero();
        text.Scan("%g; %g; %g", &value.x, &value.y, &value.z);
        return value;
    }
    static void Write(const D3DXVECTOR3& value, Base::String& text)
    {
        text.Format("%g; %g; %g", double(value.x), double(value.y), double(value.z));
    }
};

template <>
struct ValueTraits<D3DXVECTOR4>
{
    static constexpr Type Code = Type::Vector4;
    static constexpr bool Eases = true;
    static D3DXVECTOR4 Zero() { return D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f); }
    static D3DXVECTOR4 Blend(const D3DXVECTOR4& a, const D3DXVECTOR4& b, float e)
    {
        return D3DXVECTOR4(a.x + e * (b.x - a.x), a.y + e * (b.y - a.y), a.z + e * (b.z - a.z), a.w + e * (b.w - a.w));
    }
    static D3DXVECTOR4 Read(const Base::String& text)
    {
        D3DXVECTOR4 value = Zero();
        text.Scan("%g; %g; %g; %g", &value.x, &value.y, &value.z, &value.w);
        return value;
    }
    static void Write(const D3DXVECTOR4& value, Base::String& text)
    {
        text.Format("%g; %g; %g; %g", double(value.x), double(value.y), double(value.z), double(value.w));
    }
};

template <>
struct ValueTraits<Base::String>
{
    static constexpr Type Code = Type::String;
    static constexpr bool Eases = false;
    static Base::String Zero() { return Base::String(""); } // the empty text, not a never-assigned String
    static Base::String Read(const Base::String& text) { return text; }
    static void Write(const Base::String& value, Base::String& text) { text = value; }
};

} // namespace Brivet::Parameters

#include "SceneFileBuilder.h"

#include <cstring>

namespace
{
void Append32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

void AppendFloat(std::string& out, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, 4);
    Append32(out, bits);
}
} // namespace

IqmFile::IqmFile()
{
    bytes.assign("INTERQUAKEMODEL\0", 16);
    Append32(bytes, 2); // version
    bytes.resize(124, '\0');
    mesh = bytes.size();
    for (uint32_t value : {0u, 1u, 0u, 3u, 0u, 1u}) // name, material, first/count vertices, triangles
        Append32(bytes, value);
    array = bytes.size();
    const uint32_t positions = uint32_t(array + 20);
    for (uint32_t value : {0u, 0u, 7u, 3u, positions}) // position, flags, float, 3 components
        Append32(bytes, value);
    for (float value : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f})
        AppendFloat(bytes, value);
    triangle = bytes.size();
    for (uint32_t value : {0u, 1u, 2u})
        Append32(bytes, value);
    const size_t text = bytes.size();
    bytes.append("\0mat\0", 5);
    bytes.resize((bytes.size() + 3) & ~size_t(3), '\0');
    Set(NumText, uint32_t(bytes.size() - text));
    Set(OfsText, uint32_t(text));
    Set(NumMeshes, 1);
    Set(OfsMeshes, uint32_t(mesh));
    Set(NumVertexArrays, 1);
    Set(NumVertexes, 3);
    Set(OfsVertexArrays, uint32_t(array));
    Set(NumTriangles, 1);
    Set(OfsTriangles, uint32_t(triangle));
    Set(FileSize, uint32_t(bytes.size()));
}

uint32_t IqmFile::Get(size_t at) const
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | uint8_t(bytes[at + i]);
    return value;
}

void IqmFile::Set(size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

AssbinWriter::AssbinWriter()
{
    bytes = "ASSIMP.binary-dump.";
    bytes.resize(44, '\0');
    U32(1).U32(0).U32(0).U32(0); // version 1.0, revision, compile flags
    U16(0).U16(0);               // not shortened, not compressed
    bytes.resize(bytes.size() + 256 + 128 + 64, '\0');
}

AssbinWriter& AssbinWriter::U32(uint32_t value)
{
    Append32(bytes, value);
    return *this;
}

AssbinWriter& AssbinWriter::U16(uint16_t value)
{
    bytes += char(value & 0xFF);
    bytes += char(value >> 8);
    return *this;
}

AssbinWriter& AssbinWriter::F32(float value)
{
    AppendFloat(bytes, value);
    return *this;
}

AssbinWriter& AssbinWriter::Bytes(const std::string& more)
{
    bytes += more;
    return *this;
}

AssbinWriter& AssbinWriter::Identity()
{
    for (int i = 0; i < 16; ++i)
        F32(i % 5 == 0 ? 1.0f : 0.0f);
    return *this;
}

AssbinWriter& AssbinWriter::LeafNode(const std::string& name)
{
    return Chunk(Node).String(name).Identity().U32(0).U32(0).U32(0);
}

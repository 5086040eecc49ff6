// Small binary scene files built in memory for the import tests and the scene fuzzer's
// seeds: an IQM model of one triangle, and Assimp binary dumps written field by field.
#pragma once

#include <cstdint>
#include <string>

// An IQM (version 2) file: header, one mesh of one triangle with float positions, and
// its text ("\0mat\0") at the end. The header fields sit at the offsets below.
struct IqmFile
{
    enum : size_t
    {
        FileSize = 20,
        NumText = 28,
        OfsText = 32,
        NumMeshes = 36,
        OfsMeshes = 40,
        NumVertexArrays = 44,
        NumVertexes = 48,
        OfsVertexArrays = 52,
        NumTriangles = 56,
        OfsTriangles = 60,
    };
    std::string bytes;
    size_t mesh = 0;     // offset of the mesh record
    size_t array = 0;    // offset of the position array record
    size_t triangle = 0; // offset of the triangle

    IqmFile();
    uint32_t Get(size_t at) const;
    void Set(size_t at, uint32_t value);
};

// An Assimp binary dump, uncompressed, written field by field: the file header, then
// chunks whose fields the caller appends (chunk sizes are not read by the importer).
class AssbinWriter
{
public:
    AssbinWriter(); // the header
    AssbinWriter& U32(uint32_t value);
    AssbinWriter& U16(uint16_t value);
    AssbinWriter& F32(float value);
    AssbinWriter& Bytes(const std::string& bytes);
    AssbinWriter& String(const std::string& text) { return U32(uint32_t(text.size())).Bytes(text); }
    AssbinWriter& Chunk(uint32_t magic) { return U32(magic).U32(0); }
    AssbinWriter& Identity();
    // A node chunk without children, meshes or metadata.
    AssbinWriter& LeafNode(const std::string& name);
    const std::string& File() const { return bytes; }

    static constexpr uint32_t Scene = 0x1239, Node = 0x123c, Mesh = 0x1237, Bone = 0x123a, Material = 0x123d,
                              MaterialProperty = 0x123e;

private:
    std::string bytes;
};

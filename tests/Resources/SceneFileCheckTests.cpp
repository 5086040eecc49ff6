// What reaches Assimp and what its importers refuse: only names with a scene extension
// are imported (any other would let the file's content pick the importer), and damaged
// IQM, Assimp binary and Collada files give no scene instead of reads and writes past
// their tables, wild frees or index lists read out of range.
#include "repository/Resources/SceneData.h"
#include "repository/Resources/SceneFileCheck.h"

#include "MemoryArchive.h"
#include "SceneFileBuilder.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
const aiScene* Import(Assimp::Importer& importer, const std::string& path, const std::string& file)
{
    static MemoryArchive archive;
    archive.entries.clear();
    archive.entries[path] = file;
    return SceneData::Import(importer, &archive, path.c_str());
}

const char* const CubeObj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n";

// A Collada file of one mesh: positions (a float array and its accessor) and the
// primitive element given.
std::string Collada(const std::string& primitive, const std::string& accessorParams = "<param name='X' type='float'/>"
                                                                                      "<param name='Y' type='float'/>"
                                                                                      "<param name='Z' type='float'/>",
                    int stride = 3)
{
    return "<?xml version='1.0'?><COLLADA xmlns='http://www.collada.org/2005/11/COLLADASchema' version='1.4.1'>"
           "<library_geometries><geometry id='g'><mesh>"
           "<source id='p'><float_array id='pa' count='9'>0 0 0 1 0 0 0 1 0</float_array>"
           "<technique_common><accessor source='#pa' count='" +
           std::to_string(9 / stride) + "' stride='" + std::to_string(stride) + "'>" + accessorParams +
           "</accessor></technique_common></source>"
           "<vertices id='v'><input semantic='POSITION' source='#p'/></vertices>" +
           primitive +
           "</mesh></geometry></library_geometries>"
           "<library_visual_scenes><visual_scene id='s'><node id='n'><instance_geometry url='#g'/></node>"
           "</visual_scene></library_visual_scenes><scene><instance_visual_scene url='#s'/></scene></COLLADA>";
}

// The triangle of Collada() skinned to the joints named (one bind matrix, for the first):
// the vertex weights' count, vcount and pairs as given.
std::string SkinnedCollada(int count, const std::string& vcount, const std::string& pairs,
                           const std::string& joints = "J", int jointCount = 1)
{
    std::string file =
        Collada("<triangles count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>0 1 2</p></triangles>");
    const std::string controller =
        "<library_controllers><controller id='c'><skin source='#g'>"
        "<source id='j'><Name_array id='ja' count='" +
        std::to_string(jointCount) + "'>" + joints + "</Name_array><technique_common><accessor source='#ja' count='" +
        std::to_string(jointCount) +
        "' stride='1'><param name='JOINT' type='name'/></accessor>"
        "</technique_common></source>"
        "<source id='m'><float_array id='ma' count='16'>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</float_array>"
        "<technique_common><accessor source='#ma' count='1' stride='16'><param name='TRANSFORM' type='float4x4'/>"
        "</accessor></technique_common></source>"
        "<source id='w'><float_array id='wa' count='1'>1</float_array><technique_common>"
        "<accessor source='#wa' count='1' stride='1'><param name='WEIGHT' type='float'/></accessor>"
        "</technique_common></source>"
        "<joints><input semantic='JOINT' source='#j'/><input semantic='INV_BIND_MATRIX' source='#m'/></joints>"
        "<vertex_weights count='" +
        std::to_string(count) +
        "'><input semantic='JOINT' source='#j' offset='0'/><input semantic='WEIGHT' source='#w' offset='1'/>"
        "<vcount>" +
        vcount + "</vcount><v>" + pairs + "</v></vertex_weights></skin></controller></library_controllers>";
    file.insert(file.find("<library_visual_scenes>"), controller);
    const std::string node = "<node id='n'><instance_geometry url='#g'/></node>";
    file.replace(file.find(node), node.size(),
                 "<node id='J' sid='J' type='JOINT'/><node id='n'><instance_controller url='#c'>"
                 "<skeleton>#J</skeleton></instance_controller></node>");
    return file;
}

// A scene of one triangle mesh and one named material; the bone and property parts can
// be damaged by the caller.
struct AssbinScene
{
    std::string rootName = "Root";
    uint32_t bones = 0;
    bool damagedBone = false;
    uint32_t properties = 1;
    bool damagedProperty = false;

    std::string File() const
    {
        AssbinWriter w;
        w.Chunk(AssbinWriter::Scene).U32(0).U32(1).U32(1).U32(0).U32(0).U32(0).U32(0);
        w.Chunk(AssbinWriter::Node).String(rootName).Identity().U32(0).U32(1).U32(0).U32(0);
        w.Chunk(AssbinWriter::Mesh).U32(4).U32(3).U32(1).U32(bones).U32(0).U32(1);
        for (float v : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f})
            w.F32(v);
        w.U16(3).U16(0).U16(1).U16(2);
        for (uint32_t b = 0; b < bones; ++b)
        {
            w.U32(damagedBone && b == 0 ? 0xDEAD : AssbinWriter::Bone).U32(0).String("Root").U32(1).Identity();
            w.U32(0).F32(1.0f);
        }
        w.Chunk(AssbinWriter::Material).U32(properties);
        for (uint32_t p = 0; p < properties; ++p)
        {
            if (damagedProperty && p == 0)
            {
                w.U32(AssbinWriter::MaterialProperty).U32(0).String("?mat.name").U32(0).U32(0).U32(100).U32(3);
                return w.File(); // the data the property declares is missing
            }
            w.U32(AssbinWriter::MaterialProperty).U32(0).String("?mat.name").U32(0).U32(0).U32(8).U32(3);
            w.U32(3).Bytes(std::string("mat\0", 4));
        }
        return w.File();
    }
};
} // namespace

TEST(SceneFileCheck, OnlyScenesExtensionsAreImported)
{
    struct Case
    {
        const char* path;
        bool scene;
    };
    const Case cases[] = {
        {"a.dae", true},        {"models/A.DAE", true}, {"walk.assbin", true}, {"walk.assbin.fbx", true},
        {"box.glb", true},      {"box.gltf", true},     {"cube.obj", true},    {"model.iqm", true},
        {"cube.txt", false},    {"cube", false},        {"cube.", false},      {"dir.obj/cube", false},
        {"cube.objx", false},   {"cube.ob", false},     {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SceneFileCheck::HasSceneExtension(c.path), c.scene) << c.path;
    EXPECT_FALSE(SceneFileCheck::HasSceneExtension(nullptr));

    // Under another name the same file is not handed to Assimp, which would pick the
    // importer by the content.
    Assimp::Importer importer;
    EXPECT_NE(Import(importer, "cube.obj", CubeObj), nullptr) << importer.GetErrorString();
    EXPECT_EQ(Import(importer, "cube.txt", CubeObj), nullptr);
    EXPECT_EQ(Import(importer, "model.bin", IqmFile().bytes), nullptr);
    EXPECT_NE(Import(importer, "model.iqm", IqmFile().bytes), nullptr) << importer.GetErrorString();
}

TEST(SceneFileCheck, IqmTablesOutsideTheFileAreRefused)
{
    struct Case
    {
        const char* what;
        size_t field; // an offset into the file
        uint32_t value;
    };
    const IqmFile valid;
    const uint32_t size = uint32_t(valid.bytes.size());
    const Case cases[] = {
        {"text past the end", IqmFile::OfsText, size + 16},
        {"text longer than the file", IqmFile::NumText, size},
        {"meshes far outside", IqmFile::OfsMeshes, 0x7FFFFFF0},
        {"meshes at an odd offset", IqmFile::OfsMeshes, uint32_t(valid.mesh + 1)},
        {"more meshes than fit", IqmFile::NumMeshes, 0x10000000},
        {"vertex arrays outside", IqmFile::OfsVertexArrays, size},
        {"triangles outside", IqmFile::OfsTriangles, size - 4},
        {"material name outside the text", valid.mesh + 4, 1000},
        {"mesh vertices beyond the header's", valid.mesh + 12, 4},
        {"mesh triangles beyond the table", valid.mesh + 16, 1},
        {"positions past the end", valid.array + 16, size - 8},
        {"positions of many components", valid.array + 12, 0x40000000},
        {"a corner outside the mesh", valid.triangle + 8, 7},
    };
    Assimp::Importer importer;
    for (const Case& c : cases)
    {
        IqmFile file;
        file.Set(c.field, c.value);
        EXPECT_EQ(Import(importer, "model.iqm", file.bytes), nullptr) << c.what;
    }

    // Text without its closing NUL at the end of the file: the name would be read past it.
    IqmFile open;
    std::fill(open.bytes.end() - 4, open.bytes.end(), 'm');
    EXPECT_EQ(Import(importer, "model.iqm", open.bytes), nullptr);
}

TEST(SceneFileCheck, AssbinStringsCountsAndPartialRecordsAreRefused)
{
    Assimp::Importer importer;
    EXPECT_NE(Import(importer, "scene.assbin", AssbinScene().File()), nullptr) << importer.GetErrorString();

    struct Case
    {
        const char* what;
        AssbinScene scene;
    };
    AssbinScene longName; // 1400 bytes for a 1024-byte string
    longName.rootName = std::string(1400, 'n');
    AssbinScene bone; // two bones, the first damaged: the second's pointer was never set
    bone.bones = 2;
    bone.damagedBone = true;
    AssbinScene property; // two properties, the first cut short
    property.properties = 2;
    property.damagedProperty = true;
    const Case cases[] = {{"long name", longName}, {"damaged bone", bone}, {"damaged property", property}};
    for (const Case& c : cases)
        EXPECT_EQ(Import(importer, "scene.assbin", c.scene.File()), nullptr) << c.what;

    // Lengths and counts beyond the bytes left, each written into the valid file.
    const std::string valid = AssbinScene().File();
    const size_t scene = valid.find(std::string("\x39\x12\0\0", 4));
    const size_t root = scene + 8 + 28 + 8; // the root node's name length
    const size_t mesh = valid.find(std::string("\x37\x12\0\0", 4));
    struct Field
    {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Field fields[] = {
        {"name longer than the file", root, 1000},
        {"meshes", scene + 12, 0x10000000},
        {"vertices", mesh + 12, 0x20000000},
        {"faces", mesh + 16, 0x40000000},
        {"bones", mesh + 20, 0x30000000},
        // the material's own list was freed before the check and freed again with the scene
        {"material properties", valid.find(std::string("\x3d\x12\0\0", 4)) + 8, 0x30000000},
    };
    for (const Field& f : fields)
    {
        std::string file = valid;
        for (int i = 0; i < 4; ++i)
            file[f.at + i] = char((f.value >> (8 * i)) & 0xFF);
        EXPECT_EQ(Import(importer, "scene.assbin", file), nullptr) << f.what;
    }
}

TEST(SceneFileCheck, ColladaIndexListsAndAccessorsOutOfRangeAreRefused)
{
    Assimp::Importer importer;
    const std::string triangle = "<triangles count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>0 1 2</p>"
                                 "</triangles>";
    ASSERT_NE(Import(importer, "scene.dae", Collada(triangle)), nullptr) << importer.GetErrorString();

    struct Case
    {
        const char* what;
        std::string file;
    };
    const Case cases[] = {
        {"a polylist without vcount",
         Collada("<polylist count='2'><input semantic='VERTEX' source='#v' offset='0'/><p>0 1 2</p></polylist>")},
        {"no vertex input (an index before the list)",
         Collada("<triangles count='1'><input semantic='NORMAL' source='#p' offset='0'/><p>0 1 2</p></triangles>")},
        {"an accessor's components past its array",
         Collada("<triangles count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>6 7 8</p></triangles>",
                 "<param name='X'/><param name='Y'/><param name='Z'/>", 1)},
        {"a count for a billion polygons",
         Collada("<polylist count='1000000000'><input semantic='VERTEX' source='#v' offset='0'/><vcount>3</vcount>"
                 "<p>0 1 2</p></polylist>")},
        // Characters that are not numbers were read as 0 without moving on, up to the count
        // given or, in an index list, until memory ran out.
        {"a character that is not a number in an index list",
         Collada("<triangles count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>0 1 ~2</p></triangles>")},
        {"a character that is not a number in a vcount",
         Collada("<polylist count='1000000000'><input semantic='VERTEX' source='#v' offset='0'/><vcount>~</vcount>"
                 "<p>0 1 2</p></polylist>")},
        {"a form feed in a name array of four billion",
         Collada("<triangles count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>0 1 2</p></triangles>"
                 "<source id='names'><Name_array id='na' count='4000000000'>\f</Name_array></source>")},
        {"a float array of four billion",
         Collada("<triangles count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>0 1 2</p></triangles>"
                 "<source id='f'><float_array id='fa' count='4000000000'>1</float_array></source>")},
        // Skins: a joint past the joint list was written past the bones' table, a vertex
        // past the weight counts read past them.
        {"a vertex weight of joint 5 of 1", SkinnedCollada(3, "1 1 1", "0 0 5 0 0 0")},
        {"weight counts for one vertex of three", SkinnedCollada(1, "1", "0 0")},
        {"weight counts of two billion vertices", SkinnedCollada(2000000000, "1 1 1", "0 0 0 0 0 0")},
        // the bones not yet made when a read failed were deleted unset
        {"a second joint without its bind matrix", SkinnedCollada(3, "1 1 1", "0 0 1 0 0 0", "J K", 2)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Import(importer, "scene.dae", c.file), nullptr) << c.what;

    // A skinned triangle imports with its bone.
    const aiScene* skinned = Import(importer, "scene.dae", SkinnedCollada(3, "1 1 1", "0 0 0 0 0 0"));
    ASSERT_NE(skinned, nullptr) << importer.GetErrorString();
    ASSERT_EQ(skinned->mNumMeshes, 1u);
    EXPECT_EQ(skinned->mMeshes[0]->mNumBones, 1u);

    // An embedded (hex) image of Collada 1.5 was read as four times its text.
    std::string image = Collada(triangle);
    image.replace(image.find("version='1.4.1'"), 15, "version='1.5.0'");
    image.insert(image.find("<library_geometries>"),
                 "<library_images><image id='i'><init_from><hex format='png'>" + std::string(64, 'A') +
                     "</hex></init_from></image></library_images>");
    EXPECT_NE(Import(importer, "scene.dae", image), nullptr) << importer.GetErrorString();

    // A strip of one vertex: its triangle count no longer wraps round (reading indices far
    // past the list); whatever scene comes back refers to its own vertices only.
    const aiScene* strip = Import(
        importer, "scene.dae",
        Collada("<tristrips count='1'><input semantic='VERTEX' source='#v' offset='0'/><p>0</p></tristrips>"));
    for (uint32_t m = 0; strip && m < strip->mNumMeshes; ++m)
    {
        const aiMesh* mesh = strip->mMeshes[m];
        for (uint32_t f = 0; f < mesh->mNumFaces; ++f)
            for (uint32_t i = 0; i < mesh->mFaces[f].mNumIndices; ++i)
                EXPECT_LT(mesh->mFaces[f].mIndices[i], mesh->mNumVertices);
    }
}

TEST(SceneFileCheck, GltfEmbeddedImagesOfBadBase64OrATypeWithoutSlash)
{
    // A character of the base64 text that is not one threw after the image's buffer was
    // made, and the buffer was lost (the leak check at exit shows it); a media type without
    // '/' was read from one past a null pointer.
    const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0},"material":0}]}],
        "materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],
        "textures":[{"source":0}],"images":[{"uri":"data:image/png;base64,AAAA\u00e9AA"}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","max":[1,1,0],"min":[0,0,0]}],
        "bufferViews":[{"buffer":0,"byteLength":36}],
        "buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})";
    Assimp::Importer importer;
    std::string valid = gltf;
    valid.replace(valid.find("AAAA\\u00e9AA"), 12, "AAAAAAAA");
    EXPECT_NE(Import(importer, "scene.gltf", valid), nullptr) << importer.GetErrorString();
    EXPECT_EQ(Import(importer, "scene.gltf", gltf), nullptr);

    std::string noSlash = valid;
    noSlash.replace(noSlash.find("image/png"), 9, "png");
    const aiScene* scene = Import(importer, "scene.gltf", noSlash);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    EXPECT_EQ(scene->mNumTextures, 1u);
}

TEST(SceneFileCheck, GltfSkinsWithoutJointSetsOrBindMatricesImport)
{
    // A triangle skinned to one joint. A second weight set without a joint set was read
    // through a joint table of one set; a skin without its (optional) bind matrices was
    // read through a null accessor.
    const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
        "nodes":[{"mesh":0,"skin":0},{"name":"J"}],"skins":[{"joints":[1],"inverseBindMatrices":3}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0,"WEIGHTS_0":1,"JOINTS_0":2}}]}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","max":[1,1,0],"min":[0,0,0]},
            {"bufferView":1,"componentType":5126,"count":3,"type":"VEC4"},
            {"bufferView":2,"componentType":5121,"count":3,"type":"VEC4"},
            {"bufferView":3,"componentType":5126,"count":1,"type":"MAT4"}],
        "bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":48},
            {"buffer":0,"byteOffset":84,"byteLength":12},{"buffer":0,"byteOffset":96,"byteLength":64}],
        "buffers":[{"byteLength":160,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAAAAAACAPw=="}]})";
    std::string twoWeightSets = gltf;
    twoWeightSets.insert(twoWeightSets.find("\"JOINTS_0\""), "\"WEIGHTS_1\":1,");
    std::string noBindMatrices = gltf;
    noBindMatrices.erase(noBindMatrices.find(",\"inverseBindMatrices\":3"), 24);
    for (const std::string& file : {gltf, twoWeightSets, noBindMatrices})
    {
        Assimp::Importer importer;
        const aiScene* scene = Import(importer, "scene.gltf", file);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        ASSERT_EQ(scene->mNumMeshes, 1u);
        ASSERT_EQ(scene->mMeshes[0]->mNumBones, 1u);
        EXPECT_EQ(scene->mMeshes[0]->mBones[0]->mNumWeights, 3u);
        EXPECT_TRUE(scene->mMeshes[0]->mBones[0]->mOffsetMatrix.IsIdentity());
    }
}

TEST(SceneFileCheck, AMeshWhoseOnlyUvChannelIsTheSecondBuildsWithoutIt)
{
    // Assimp 6 counts every UV channel that is set, so a count of one no longer means
    // that the first channel exists.
    aiMesh mesh;
    mesh.mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh.mNumVertices = 3;
    mesh.mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.mTextureCoords[1] = new aiVector3D[3]{{0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}};
    mesh.mNumFaces = 1;
    mesh.mFaces = new aiFace[1];
    mesh.mFaces[0].mNumIndices = 3;
    mesh.mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    SceneData data;
    SceneData::MeshData out;
    ASSERT_TRUE(data.BuildMeshData(&mesh, 0, out));
    EXPECT_EQ(out.vertexCount, 3u);
}

namespace
{
// A glTF 2.0 triangle (three positions in an embedded buffer) with a textured material;
// the cases below damage one value of it.
const char* const GltfTriangle = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
    "meshes":[{"primitives":[{"attributes":{"POSITION":0},"material":0,"mode":4}]}],
    "materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],
    "textures":[{"source":0,"sampler":0}],"images":[{"uri":"wood.png"}],
    "samplers":[{"magFilter":9729,"minFilter":9987,"wrapS":10497,"wrapT":33071}],
    "accessors":[{"bufferView":0,"byteOffset":0,"componentType":5126,"count":3,"type":"VEC3","max":[1,1,0],"min":[0,0,0]}],
    "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36}],
    "buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]})";

std::string Replaced(std::string file, const std::string& from, const std::string& to)
{
    const size_t at = file.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? file : file.replace(at, from.size(), to);
}
} // namespace

TEST(SceneFileCheck, GltfIntegersThatAreNoValueOfTheirPropertyAreRefused)
{
    // Each was loaded as an enumeration it is no value of (undefined behaviour, and a mode
    // or component type that the importer's switches do not know).
    Assimp::Importer importer;
    ASSERT_NE(Import(importer, "scene.gltf", GltfTriangle), nullptr) << importer.GetErrorString();
    const struct
    {
        const char *from, *to;
    } cases[] = {
        {"\"mode\":4", "\"mode\":8"},
        {"\"componentType\":5126", "\"componentType\":9054"},
        {"\"magFilter\":9729", "\"magFilter\":1"},
        {"\"minFilter\":9987", "\"minFilter\":9988"},
        {"\"wrapS\":10497", "\"wrapS\":-1"},
        {"\"wrapT\":33071", "\"wrapT\":33072"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.to);
        EXPECT_EQ(Import(importer, "scene.gltf", Replaced(GltfTriangle, c.from, c.to)), nullptr);
    }
}

TEST(SceneFileCheck, GltfRangesWhoseSumWrapsRoundAreRefused)
{
    // An offset near 2^64 plus a length wrapped round to a small sum that passed the range
    // checks, and the positions were read far outside the buffer.
    const struct
    {
        const char *from, *to;
    } cases[] = {
        {"\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0", "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":18446744073709551600"},
        {"\"bufferView\":0,\"byteOffset\":0", "\"bufferView\":0,\"byteOffset\":18446744073709551600"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.to);
        Assimp::Importer importer;
        EXPECT_EQ(Import(importer, "scene.gltf", Replaced(GltfTriangle, c.from, c.to)), nullptr);
    }
}

TEST(SceneFileCheck, GltfOneFilesFindNoImporter)
{
    // The glTF 1.0 reader is not built (it read its accessors and a binary file's body past
    // their buffers); a file of that version, as text or binary, gives no scene.
    const std::string json =
        R"({"asset":{"version":"1.0"},"scene":"s","scenes":{"s":{"nodes":["n"]}},"nodes":{"n":{"meshes":["m"]}},
        "meshes":{"m":{"primitives":[{"attributes":{"POSITION":"a"},"mode":4}]}},
        "accessors":{"a":{"bufferView":"v","byteOffset":0,"componentType":5126,"count":3,"type":"VEC3"}},
        "bufferViews":{"v":{"buffer":"b","byteOffset":0,"byteLength":36}},
        "buffers":{"b":{"byteLength":36,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}}})";
    std::string glb = "glTF";
    for (uint32_t word : {1u, static_cast<uint32_t>(20 + json.size()), static_cast<uint32_t>(json.size()), 0u})
        glb.append(reinterpret_cast<const char*>(&word), 4);
    glb += json;
    for (const auto& [path, file] : {std::pair<std::string, std::string>{"scene.gltf", json}, {"scene.glb", glb}})
    {
        SCOPED_TRACE(path);
        Assimp::Importer importer;
        EXPECT_EQ(Import(importer, path, file), nullptr);
    }
}

TEST(SceneFileCheck, GltfStripsLoopsAndFansOfTooFewCornersAreRefused)
{
    // The triangle's corners indexed by bytes 9 1 2 0 (9 is no vertex), as many as given
    // from the offset given. A strip or fan of fewer corners than its first face read past
    // its indices and wrote past a face list sized by a count that wrapped round; a loop
    // whose faces were all dropped (index 9) was closed through a null index list.
    const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"mode":MODE}]}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","max":[1,1,0],"min":[0,0,0]},
            {"bufferView":1,"byteOffset":OFFSET,"componentType":5121,"count":COUNT,"type":"SCALAR"}],
        "bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":4}],
        "buffers":[{"byteLength":40,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAACQECAA=="}]})";
    const struct
    {
        const char *mode, *offset, *count;
        bool imports;
    } cases[] = {
        {"2", "0", "3", true},  // a loop 9 1 2: the line 1 2 is left
        {"2", "0", "2", false}, // a loop 9 1: no line is left to close it from
        {"3", "1", "1", false}, // a line strip of one corner
        {"6", "1", "2", false}, // a fan of two
        {"5", "2", "1", false}, // a triangle strip of one
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("mode ") + c.mode + ", " + c.count + " corners");
        const std::string file =
            Replaced(Replaced(Replaced(gltf, "MODE", c.mode), "OFFSET", c.offset), "COUNT", c.count);
        Assimp::Importer importer;
        const aiScene* scene = Import(importer, "scene.gltf", file);
        EXPECT_EQ(scene != nullptr, c.imports) << importer.GetErrorString();
        for (uint32_t m = 0; scene && m < scene->mNumMeshes; ++m)
            for (uint32_t f = 0; f < scene->mMeshes[m]->mNumFaces; ++f)
                for (uint32_t i = 0; i < scene->mMeshes[m]->mFaces[f].mNumIndices; ++i)
                    EXPECT_LT(scene->mMeshes[m]->mFaces[f].mIndices[i], scene->mMeshes[m]->mNumVertices);
    }
}

TEST(SceneFileCheck, PolygonsWithCornersThatAreNotFiniteAreDropped)
{
    // The triangulation turned the pentagon's projected corners into integers, undefined
    // for the infinity 1e39 reads as; the pentagon is dropped and the triangle stays.
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0.5 2 0\nv 1e39 1 0\nv 0 0 1\nv 1 0 1\nv 0 1 1\n"
                            "f 1 2 3 4 5\nf 6 7 8\n";
    Assimp::Importer importer;
    const aiScene* scene = Import(importer, "scene.obj", obj);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    uint32_t faces = 0;
    for (uint32_t m = 0; m < scene->mNumMeshes; ++m)
    {
        const aiMesh* mesh = scene->mMeshes[m];
        faces += mesh->mNumFaces;
        for (uint32_t f = 0; f < mesh->mNumFaces; ++f)
            for (uint32_t i = 0; i < mesh->mFaces[f].mNumIndices; ++i)
                EXPECT_TRUE(std::isfinite(mesh->mVertices[mesh->mFaces[f].mIndices[i]].x));
    }
    EXPECT_EQ(faces, 1u);
}

TEST(SceneFileCheck, FbxEmbeddedContentShorterThanItClaimsIsIgnored)
{
    // An orphaned texture with its video's embedded content. A text token shorter than
    // its two quotes made a length that wrapped round (a read before the token and an
    // allocation of 2^62 bytes or more); the content is ignored and the scene imports.
    const std::string fbx = "; FBX 7.4.0 project file\n"
                            "FBXHeaderExtension:  {\n\tFBXHeaderVersion: 1003\n\tFBXVersion: 7400\n}\n"
                            "Objects:  {\n"
                            "\tModel: 3, \"Model::m\", \"Null\" {\n\t\tVersion: 232\n\t}\n"
                            "\tVideo: 1, \"Video::v\", \"Clip\" {\n\t\tType: \"Clip\"\n\t\tContent: CONTENT\n\t}\n"
                            "\tTexture: 2, \"Texture::t\", \"\" {\n\t\tType: \"TextureVideoClip\"\n\t}\n"
                            "}\n"
                            "Connections:  {\n\tC: \"OO\",3,0\n\tC: \"OO\",1,2\n}\n";
    for (const char* content : {"\"QUJD\"", "\"QUJD\",x"})
    {
        SCOPED_TRACE(content);
        Assimp::Importer importer;
        const aiScene* scene = Import(importer, "scene.fbx", Replaced(fbx, "CONTENT", content));
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        EXPECT_EQ(scene->mNumTextures, content[6] == ',' ? 0u : 1u);
    }
}

TEST(SceneFileCheck, MorphTargetsWithoutPositionsImport)
{
    // A triangle with a morph target of normals alone: the left-handed conversion mirrored
    // the target's positions through a null array.
    const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1},"targets":[{"NORMAL":1}]}]}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","max":[1,1,0],"min":[0,0,0]},
            {"bufferView":1,"componentType":5126,"count":3,"type":"VEC3"}],
        "bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":36}],
        "buffers":[{"byteLength":72,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/"}]})";
    Assimp::Importer importer;
    const aiScene* scene = Import(importer, "scene.gltf", gltf);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    ASSERT_EQ(scene->mMeshes[0]->mNumAnimMeshes, 1u);
    EXPECT_FALSE(scene->mMeshes[0]->mAnimMeshes[0]->HasPositions());
}

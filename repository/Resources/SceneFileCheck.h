// Which archive entries the scene import hands to Assimp: only names ending in an
// extension of the scene factory's list. Given any other name, Assimp picks an importer
// by the file's content, so the archive would choose which importer runs.
#pragma once

namespace SceneFileCheck
{
// The scene factory's extensions, in its order; the linked importers read those of them
// that Assimp::Importer::IsExtensionSupported answers for.
inline constexpr const char* Extensions[] = {"dae", "3ds", "lwo", "fbx", "assbin", "blend", "glb", "gltf",
                                             // Beyond the list: the linked OBJ and IQM importers would
                                             // otherwise be reached only by content.
                                             "obj", "iqm"};

// True when path's extension (after its last '.', in any case) is one of Extensions.
bool HasSceneExtension(const char* path);
} // namespace SceneFileCheck

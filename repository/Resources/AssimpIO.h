// The scene importer's file access over the demo archive: the IO system hands Assimp the
// archive's entries (the scene file and every file it names beside it), each read whole
// and served by a stream (from a VQZ the block the archive keeps, without a copy). Nothing
// is read from the disk.
#pragma once

#include "Base/String.h"
#include "Utility/Archive/EntryBytes.h"

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>

#include <cstdint>

// One entry's bytes. Reads are clamped to whole elements before the end; the position
// may be sought past the end, where reads give nothing.
class AssimpIOStream : public Assimp::IOStream
{
public:
    // Reads the whole entry; IsOpen is false when the archive lacks it or cannot read it.
    AssimpIOStream(Brivet::Utility::Archive::IArchive* archive, const char* name);
    ~AssimpIOStream() override;

    bool IsOpen() const { return entry.GetData() != nullptr; }

    // Whole elements from the position, at most as many as remain; 0 past the end or for
    // an element size of 0.
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override; // 0: read-only
    // Origin set, current or end; any other origin leaves the position. Always success.
    aiReturn Seek(size_t offset, aiOrigin origin) override;
    size_t Tell() const override;
    size_t FileSize() const override;
    void Flush() override;

private:
    Brivet::Utility::Archive::IArchive* archive; // not owned
    Brivet::Base::String name;
    Brivet::Utility::Archive::EntryBytes entry; // no data when the entry could not be read
    uint64_t position;
};

// Created for one import and handed to the importer, which owns and deletes it.
class AssimpIOSystem : public Assimp::IOSystem
{
public:
    explicit AssimpIOSystem(Brivet::Utility::Archive::IArchive* archive);
    ~AssimpIOSystem() override;

    bool Exists(const char* name) const override;
    char getOsSeparator() const override; // '/'
    // A stream over the whole entry, or null when the archive does not hold it (the
    // importer reports such a file as one it cannot open). The mode is ignored.
    Assimp::IOStream* Open(const char* name, const char* mode = "rb") override;
    void Close(Assimp::IOStream* stream) override; // deletes it; null does nothing

private:
    Brivet::Utility::Archive::IArchive* archive; // not owned
};

// The clips made by make-fixtures.sh, and adding them to a test archive.
#pragma once

#include "MemoryArchive.h"

#include <string>

// The path of a generated clip (in the folder BRIVET_AUDIO_FIXTURES names).
std::string FixturePath(const std::string& name);

// Adds a fixture clip under its own name; false when it cannot be read.
inline bool AddFixture(MemoryArchive& archive, const std::string& name)
{
    return archive.AddFile(name, FixturePath(name));
}

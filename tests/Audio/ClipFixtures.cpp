// The folder of the generated audio clips.
#include "ClipFixtures.h"

#include <cstdlib>

std::string FixturePath(const std::string& name)
{
    const char* folder = getenv("BRIVET_AUDIO_FIXTURES");
    return std::string(folder ? folder : ".") + "/" + name;
}

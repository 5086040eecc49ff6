#include "repository/Resources/SceneFileCheck.h"

#include <cstring>

bool SceneFileCheck::HasSceneExtension(const char* path)
{
    const char* dot = path ? strrchr(path, '.') : nullptr;
    if (!dot)
        return false;
    const char* extension = dot + 1;
    for (const char* known : Extensions)
    {
        size_t i = 0;
        for (; known[i] && extension[i]; ++i)
        {
            char c = extension[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != known[i])
                break;
        }
        if (!known[i] && !extension[i])
            return true;
    }
    return false;
}

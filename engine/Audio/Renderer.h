// The demo's music: Ogg Vorbis and MP3 clips from the archive placed on the timeline,
// decoded and mixed into interleaved stereo float frames for the audio backend.
#pragma once

#include "Base/Array.h"
#include "Base/String.h"

#include <cstdint>

namespace Brivet::Utility::Archive { class IArchive; class EntryBytes; }
namespace Brivet::Utility::XML { class Node; }

namespace Brivet::Audio
{
// Load and Seek run on the main thread before the backend starts, Unload after it has
// stopped; in between Mix and framesMixed belong to the audio thread. No lock is used.
class Renderer
{
public:
    struct Clip
    {
        enum : uint32_t
        {
            TypeMP3 = 1,
            TypeVorbis = 2,
        };

        uint32_t type = 0;
        uint32_t startSample = 0; // first timeline frame
        float position = 0.0f; // start in seconds, from the description
        void* decoder = nullptr; // drmp3 (allocated here) or stb_vorbis; owned
        // The whole file, read in place by the decoder: from a VQZ the block the archive
        // keeps (the archive outlives the renderer), else a copy; owned.
        Utility::Archive::EntryBytes* file = nullptr;
        Base::String name; // archive path, for messages
        float duration = 0.0f; // seconds
    };

    // A clip starts at most this many seconds before or after the timeline's start and
    // plays at most this long, so the demo ends: a position of "inf" or a header that
    // claims days of music is cut to it, with a warning.
    static constexpr float MaxClipSeconds = 3600.0f;

    Renderer();
    ~Renderer(); // unloads what is still loaded
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Loads every "clip" child of element in order, stopping at the first failure
    // (clips loaded before it stay). A null element loads nothing and succeeds.
    bool Load(Utility::Archive::IArchive* archive, const Utility::XML::Node& element);
    // Loads one clip starting at position seconds and appends it.
    bool LoadClip(Utility::Archive::IArchive* archive, const Base::String& path, float position);

    // Positions every clip for playback from timeline frame; a clip that starts at or
    // after frame goes to its first frame.
    void Seek(uint32_t frame);

    // Writes frames interleaved stereo frames (frames × 2 floats) at the mixing position
    // startFrame + framesMixed and advances framesMixed. Overlapping clips do not add:
    // the later clip in list order wins for the frames it delivers.
    void Mix(float* destination, uint32_t frames);

    // Closes all decoders, frees the file bytes and empties the list; always true.
    bool Unload();

    uint32_t sampleRate; // output frames per second
    uint32_t startFrame; // timeline frame at which playback begins
    uint32_t framesMixed; // frames produced since playback began
    Base::Array<Clip> clips; // in description order
};
} // namespace Brivet::Audio

// Clip loading through the archive, decoder positioning and mixing of the music clips.
#include "Audio/Renderer.h"

#include "Utility/Archive/EntryBytes.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
#include <dr_mp3.h>

#include <cstdlib>
#include <new>
#include <cstring>

using Brivet::Utility::Log;

namespace Brivet::Audio
{
namespace
{
// stb_vorbis counts the floats of one call in an int; no single decode call may ask
// for more than this many frames.
constexpr uint32_t MaxChunkFrames = 1u << 28;

// sampleRate × position computed in float and truncated; a negative (or NaN) product
// starts at frame 0, one beyond the 32-bit range at the last frame.
uint32_t ToStartSample(uint32_t sampleRate, float position)
{
    const float frame = static_cast<float>(sampleRate) * position;
    if (!(frame > 0.0f))
        return 0;
    if (frame >= 4294967296.0f)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(frame);
}

// value within [low, MaxClipSeconds]; not a number gives 0. what names it in the warning.
float BoundSeconds(const Base::String& path, const char* what, float value, float low)
{
    float bounded = value;
    if (value != value)
        bounded = 0.0f;
    else if (value > Renderer::MaxClipSeconds)
        bounded = Renderer::MaxClipSeconds;
    else if (value < low)
        bounded = low;
    if (bounded != value)
        Log::Warning("[audio][renderer] Clip '%s': %s %g s cut to %g s (at most %g s)", path.GetText(), what, value,
                     bounded, Renderer::MaxClipSeconds);
    return bounded;
}

void CloseDecoder(Renderer::Clip& clip)
{
    if (!clip.decoder)
        return;
    if (clip.type == Renderer::Clip::TypeMP3)
    {
        drmp3* mp3 = static_cast<drmp3*>(clip.decoder);
        drmp3_uninit(mp3);
        free(mp3);
    }
    else
    {
        stb_vorbis_close(static_cast<stb_vorbis*>(clip.decoder));
    }
    clip.decoder = nullptr;
}
} // namespace

Renderer::Renderer()
    : sampleRate(0), startFrame(0), framesMixed(0)
{
}

Renderer::~Renderer()
{
    Unload();
}

bool Renderer::Load(Utility::Archive::IArchive* archive, const Utility::XML::Node& element)
{
    Utility::XML::ChildIterator it("clip");
    while (it.Next(element))
    {
        const Utility::XML::Node child = it.GetCurrent();

        Base::String filename;
        child.GetAttribute("filename", filename);
        float position = 0.0f;
        Base::String positionText;
        if (child.GetAttribute("position", positionText) && positionText.Scan("%g", &position) != 1)
            position = 0.0f;

        if (!LoadClip(archive, filename, position))
        {
            Log::Error("[demo] Unable to load audio clip '%s'", filename.GetText());
            return false;
        }
    }
    return true;
}

bool Renderer::LoadClip(Utility::Archive::IArchive* archive, const Base::String& path, float position)
{
    // Read the whole file
    if (!archive || archive->GetSize(path.GetText()) == 0xFFFFFFFFu)
    {
        Log::Error("[audio][renderer] Unable to find clip '%s'", path.GetText());
        return false;
    }
    auto* file = new (std::nothrow) Utility::Archive::EntryBytes();
    if (!file || !file->Read(*archive, path.GetText()))
    {
        delete file;
        Log::Error("[audio][renderer] Unable to read clip '%s'", path.GetText());
        return false;
    }
    const uint8_t* data = file->GetData();
    const uint32_t size = file->GetSize();

    Clip clip;
    clip.name = path;
    clip.file = file;
    clip.position = BoundSeconds(path, "position", position, -MaxClipSeconds);
    clip.startSample = ToStartSample(sampleRate, clip.position);

    // Anything that does not begin with the Ogg capture pattern is taken as MP3; a file
    // shorter than the pattern cannot hold one.
    clip.type = (size >= 4 && memcmp(data, "OggS", 4) == 0) ? Clip::TypeVorbis : Clip::TypeMP3;

    if (clip.type == Clip::TypeVorbis)
    {
        int error = 0;
        stb_vorbis* vorbis = stb_vorbis_open_memory(data, static_cast<int>(size), &error, nullptr);
        if (!vorbis)
        {
            Log::Error("stb_vorbis_open_memory returned NULL on '%s': %d", path.GetText(), error);
            delete file;
            return false;
        }
        clip.decoder = vorbis;
        const stb_vorbis_info info = stb_vorbis_get_info(vorbis);
        clip.duration = static_cast<float>(stb_vorbis_stream_length_in_samples(vorbis)) / static_cast<float>(info.sample_rate);
    }
    else
    {
        drmp3* mp3 = static_cast<drmp3*>(calloc(1, sizeof(drmp3)));
        if (!mp3 || !drmp3_init_memory(mp3, data, size, nullptr))
        {
            free(mp3);
            delete file;
            return false;
        }
        clip.decoder = mp3;
        // The frame count at the output rate: how long the clip plays. Counting leaves
        // the decoder at its first frame.
        clip.duration = static_cast<float>(drmp3_get_pcm_frame_count(mp3)) / static_cast<float>(sampleRate);
    }

    clip.duration = BoundSeconds(path, "length", clip.duration, 0.0f);

    if (clips.Add(clip) == clips.NoIndex)
    {
        CloseDecoder(clip);
        delete file;
        return false;
    }
    return true;
}

void Renderer::Seek(uint32_t frame)
{
    for (Clip& clip : clips)
    {
        int32_t offset = static_cast<int32_t>(frame - clip.startSample);
        if (offset < 1)
            offset = 0;
        if (clip.type == Clip::TypeMP3)
            drmp3_seek_to_pcm_frame(static_cast<drmp3*>(clip.decoder), static_cast<drmp3_uint64>(offset));
        else
            stb_vorbis_seek(static_cast<stb_vorbis*>(clip.decoder), static_cast<unsigned int>(offset));
    }
}

void Renderer::Mix(float* destination, uint32_t frames)
{
    uint32_t remaining = frames;
    while (remaining > 0)
    {
        // A chunk never runs across the start of a clip.
        const uint32_t position = startFrame + framesMixed;
        uint32_t chunk = remaining < MaxChunkFrames ? remaining : MaxChunkFrames;
        for (const Clip& clip : clips)
        {
            if (clip.startSample > position && clip.startSample - position < chunk)
                chunk = clip.startSample - position;
        }

        // Every started clip decodes over what the clips before it wrote; a clip at its
        // end delivers fewer frames and leaves the rest as it was.
        memset(destination, 0, sizeof(float) * 2 * chunk);
        for (Clip& clip : clips)
        {
            if (clip.startSample > position)
                continue;
            if (clip.type == Clip::TypeMP3)
                drmp3_read_pcm_frames_f32(static_cast<drmp3*>(clip.decoder), chunk, destination);
            else
                stb_vorbis_get_samples_float_interleaved(static_cast<stb_vorbis*>(clip.decoder), 2, destination, static_cast<int>(chunk * 2));
        }

        framesMixed += chunk;
        destination += 2 * chunk;
        remaining -= chunk;
    }
}

bool Renderer::Unload()
{
    for (Clip& clip : clips)
    {
        CloseDecoder(clip);
        delete clip.file;
        clip.file = nullptr;
    }
    clips = Base::Array<Clip>();
    return true;
}
} // namespace Brivet::Audio

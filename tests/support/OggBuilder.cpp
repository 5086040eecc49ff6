#include "OggBuilder.h"

#include <cstring>

uint32_t OggChecksum(const std::string& page)
{
    uint32_t crc = 0;
    for (unsigned char byte : page)
    {
        crc ^= uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

namespace
{
void Put32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

uint32_t Get32(const std::string& in, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | uint8_t(in[at + i]);
    return value;
}
} // namespace

std::string OggPage(const std::vector<std::string>& packets, uint32_t serial, uint32_t sequence, uint8_t flags,
                    uint64_t granule)
{
    std::string lacing;
    std::string body;
    for (const std::string& packet : packets)
    {
        size_t left = packet.size();
        while (left >= 255)
        {
            lacing += char(255);
            left -= 255;
        }
        lacing += char(left);
        body += packet;
    }
    std::string page = "OggS";
    page += char(0);
    page += char(flags);
    for (int i = 0; i < 8; ++i)
        page += char((granule >> (8 * i)) & 0xFF);
    Put32(page, serial);
    Put32(page, sequence);
    Put32(page, 0);
    page += char(lacing.size());
    page += lacing + body;
    const uint32_t crc = OggChecksum(page);
    for (int i = 0; i < 4; ++i)
        page[22 + i] = char((crc >> (8 * i)) & 0xFF);
    return page;
}

OggVorbis OggVorbis::Split(const std::string& file)
{
    OggVorbis parts;
    std::vector<std::string> packets(1);
    size_t at = 0;
    while (at + 27 <= file.size() && memcmp(file.data() + at, "OggS", 4) == 0 && packets.size() <= 3)
    {
        const size_t segments = uint8_t(file[at + 26]);
        if (at + 27 + segments > file.size())
            return {};
        size_t body = at + 27 + segments;
        for (size_t s = 0; s < segments; ++s)
        {
            const size_t length = uint8_t(file[at + 27 + s]);
            if (body + length > file.size())
                return {};
            packets.back().append(file, body, length);
            body += length;
            if (length < 255)
                packets.emplace_back();
        }
        at = body;
        if (packets.size() == 4 && packets.back().empty())
            break;
    }
    if (packets.size() != 4 || !packets.back().empty())
        return {};
    parts.identification = packets[0];
    parts.comment = packets[1];
    parts.setup = packets[2];
    parts.audio = file.substr(at);
    return parts;
}

std::string OggVorbis::Join() const
{
    // The serial of the audio pages, so the stream stays one logical stream.
    const uint32_t serial = audio.size() >= 18 ? Get32(audio, 14) : 1;
    return OggPage({identification}, serial, 0, 0x02, 0) + OggPage({comment, setup}, serial, 1, 0, 0) + audio;
}

std::string VorbisComments::Packet() const
{
    std::string packet = "\x03vorbis";
    Put32(packet, vendorLength);
    packet += vendor;
    Put32(packet, count);
    for (const auto& comment : comments)
    {
        Put32(packet, comment.first);
        packet += comment.second;
    }
    packet += char(1);
    return packet;
}

VorbisBits& VorbisBits::Put(uint32_t value, int bits)
{
    for (int i = 0; i < bits; ++i)
    {
        if (used == 0)
            bytes += char(0);
        if ((value >> i) & 1)
            bytes.back() = char(uint8_t(bytes.back()) | (1u << used));
        used = (used + 1) % 8;
    }
    return *this;
}

std::string VorbisBits::SetupPacket() const
{
    return "\x05vorbis" + bytes;
}

// Ogg Vorbis files rebuilt in memory for the decoder tests and the clip fuzzer's seeds:
// a real file's three header packets read out, any of them replaced (a comment header
// with chosen lengths and count, a set-up header of chosen bits), and the pages written
// again, with the audio pages of the file after them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct OggVorbis
{
    std::string identification;
    std::string comment;
    std::string setup;
    std::string audio; // the pages after the headers, as the file has them

    // The parts of an Ogg Vorbis file whose headers end on a page boundary (as oggenc
    // writes them); empty parts when it is not one.
    static OggVorbis Split(const std::string& file);
    // Page 1 with the identification header, page 2 with the comment and set-up
    // headers, then the audio pages.
    std::string Join() const;
};

// Ogg's page checksum: CRC-32 with polynomial 0x04C11DB7, no reflection, over the page
// with its checksum field zeroed.
uint32_t OggChecksum(const std::string& page);

// One Ogg page (checksum set) holding whole packets.
std::string OggPage(const std::vector<std::string>& packets, uint32_t serial, uint32_t sequence, uint8_t flags,
                    uint64_t granule);

// A comment header as written: the vendor length, the vendor bytes, the comment count and
// each comment as its length and bytes (the numbers need not match the bytes), the
// framing bit.
struct VorbisComments
{
    uint32_t vendorLength = 6;
    std::string vendor = "brivet";
    uint32_t count = 0;
    std::vector<std::pair<uint32_t, std::string>> comments;
    std::string Packet() const;
};

// Bits written least significant first, as Vorbis packs its set-up header.
class VorbisBits
{
public:
    VorbisBits& Put(uint32_t value, int bits);
    // "\x05vorbis" and the bits written so far.
    std::string SetupPacket() const;

private:
    std::string bytes;
    int used = 0; // bits of the last byte in use
};

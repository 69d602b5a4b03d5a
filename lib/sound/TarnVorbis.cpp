/// @file
/// The Ogg Vorbis reader, over stb_vorbis (Debian's libstb-dev, compiled from its own header in
/// TarnVorbisCodec.c): the file is opened from memory, its length taken from the stream, and
/// frames are decoded piece by piece as 16-bit samples. Only mono and stereo at 8000 .. 96000
/// frames a second are taken, as for WAV. The comment header and the setup header's codebooks are
/// checked here first: the decoder trusts their counts.
#include "sound/TarnAudioDecoder.h"

#define STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>

#include "image/TarnByteReader.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The most the three header packets together may take: far more than any encoder writes.
constexpr size_t MAX_HEADERS = size_t(16) << 20;

// The first `count` packets of the stream's first logical stream, reassembled from its Ogg pages
// through the bounded reader (at most `limit` bytes in all); false when the pages are broken.
bool FirstPackets(const std::vector<uint8_t>& bytes, int count, size_t limit,
                  std::vector<std::vector<uint8_t>>* packets) {
    TarnByteReader r(bytes.data(), bytes.size());
    packets->assign(1, {});
    size_t total = 0;
    while (int(packets->size()) <= count) {
        uint8_t magic[4];
        r.Read(magic, 4);
        if (r.Overrun() || std::memcmp(magic, "OggS", 4) != 0) return false;
        r.Skip(22); // version, flags, granule position, serial, sequence, checksum
        int segments = r.U8();
        uint8_t lacing[255];
        r.Read(lacing, size_t(segments));
        for (int i = 0; i < segments; ++i) {
            const uint8_t* body = r.Take(lacing[i]);
            if (!body) return false;
            total += lacing[i];
            if (total > limit) return false;
            packets->back().insert(packets->back().end(), body, body + lacing[i]);
            if (lacing[i] < 255) {
                if (int(packets->size()) == count) return true;
                packets->emplace_back();
            }
        }
    }
    return true;
}

// The comment header (the second packet) must hold what its counts say: every length fits in
// what is left of the packet. The decoder trusts those counts when it allocates and cleans up.
bool CommentHeaderSound(const std::vector<uint8_t>& p) {
    TarnByteReader r(p.data(), p.size());
    uint8_t head[7];
    r.Read(head, 7);
    if (r.Overrun() || head[0] != 3 || std::memcmp(head + 1, "vorbis", 6) != 0) return false;
    uint32_t vendor = r.U32LE();
    if (vendor > r.Remaining()) return false;
    r.Skip(vendor);
    uint32_t comments = r.U32LE();
    if (r.Overrun() || comments > r.Remaining() / 4) return false;
    for (uint32_t i = 0; i < comments; ++i) {
        uint32_t length = r.U32LE();
        if (r.Overrun() || length > r.Remaining()) return false;
        r.Skip(length);
    }
    return !r.Overrun() && r.Remaining() >= 1;
}

// The bits of a Vorbis packet, least significant first, as the format packs them. A read past
// the end gives 0 and sets a flag that stays set.
class PacketBits {
public:
    explicit PacketBits(const std::vector<uint8_t>& packet) : p(packet) {}
    uint32_t Read(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++bit) {
            if (bit >= Total()) {
                over = true;
                return 0;
            }
            value |= uint32_t((p[bit >> 3] >> (bit & 7)) & 1) << i;
        }
        return value;
    }
    uint64_t Left() const { return over ? 0 : Total() - bit; }
    void Skip(uint64_t count) {
        if (count > Left()) over = true;
        bit = over ? Total() : bit + count;
    }
    bool Over() const { return over; }

private:
    uint64_t Total() const { return uint64_t(p.size()) * 8; }
    const std::vector<uint8_t>& p;
    uint64_t bit = 0;
    bool over = false;
};

int BitsFor(uint32_t value) {
    int n = 0;
    for (; value; value >>= 1) ++n;
    return n;
}

// The codebooks of the setup header (the third packet), read as the format lays them out. The
// decoder works out a lattice codebook's size in floating point and converts it to int, and
// multiplies a plain codebook's entries by its dimensions in int: a book whose sizes do not fit
// there is refused here, as is one whose values are not in the packet.
bool CodebooksSound(const std::vector<uint8_t>& p) {
    if (p.size() < 7 || p[0] != 5 || std::memcmp(p.data() + 1, "vorbis", 6) != 0) return false;
    PacketBits bits(p);
    bits.Skip(7 * 8);
    int books = int(bits.Read(8)) + 1;
    for (int b = 0; b < books; ++b) {
        if (bits.Read(24) != 0x564342) return false;
        uint32_t dimensions = bits.Read(16);
        uint32_t entries = bits.Read(24);
        if (bits.Read(1)) { // lengths in ascending runs
            bits.Skip(5);
            for (uint32_t entry = 0; entry < entries && !bits.Over();) {
                uint32_t run = bits.Read(BitsFor(entries - entry));
                if (run > entries - entry) return false;
                entry += run;
            }
        } else {
            bool sparse = bits.Read(1) != 0;
            for (uint32_t entry = 0; entry < entries && !bits.Over(); ++entry)
                if (!sparse || bits.Read(1)) bits.Skip(5);
        }
        uint32_t lookup = bits.Read(4);
        if (lookup > 2) return false;
        if (lookup == 0) continue;
        bits.Skip(64); // minimum and delta
        uint32_t valueBits = bits.Read(4) + 1;
        bits.Skip(1);
        uint64_t values = uint64_t(entries) * dimensions;
        if (lookup == 1) {
            if (dimensions == 0) return false;
            // The largest r with r^dimensions <= entries; the decoder's own estimate may be one
            // more, and it raises that plus one to the power: (r + 2)^dimensions must be an int.
            double r = std::floor(std::pow(double(entries), 1.0 / dimensions));
            while (std::pow(r + 1, dimensions) <= entries) ++r;
            while (r > 0 && std::pow(r, dimensions) > entries) --r;
            if (std::pow(r + 2, dimensions) > INT_MAX) return false;
            values = uint64_t(r);
        }
        if (values > uint64_t(INT_MAX) || values * valueBits > bits.Left()) return false;
        bits.Skip(values * valueBits);
    }
    return !bits.Over();
}

// The headers the decoder trusts, checked before it sees them.
bool HeadersSound(const std::vector<uint8_t>& bytes) {
    std::vector<std::vector<uint8_t>> packets;
    return FirstPackets(bytes, 3, MAX_HEADERS, &packets) && packets.size() == 3 &&
           CommentHeaderSound(packets[1]) && CodebooksSound(packets[2]);
}

class TarnVorbisDecoder final : public TarnAudioDecoder {
public:
    explicit TarnVorbisDecoder(std::vector<uint8_t>&& file) : bytes(std::move(file)) {}
    ~TarnVorbisDecoder() override {
        if (vorbis) stb_vorbis_close(vorbis);
    }

    // 0, or the code of the refusal with its reason in *error.
    int Parse(const char** error) {
        *error = "the Ogg Vorbis stream is broken";
        if (bytes.size() > size_t(INT_MAX) || !HeadersSound(bytes)) return SOUND_BAD_FORMAT;
        if (int opened = OpenInArena(); opened != 0) {
            if (opened == SOUND_NO_MEMORY) *error = "out of memory";
            return opened;
        }
        stb_vorbis_info info = stb_vorbis_get_info(vorbis);
        if (info.channels < 1 || info.channels > SOUND_MAX_CHANNELS) {
            *error = "the Ogg Vorbis stream is neither mono nor stereo";
            return SOUND_BAD_FORMAT;
        }
        if (info.sample_rate < unsigned(SOUND_MIN_RATE) ||
            info.sample_rate > unsigned(SOUND_MAX_RATE)) {
            *error = "the Ogg Vorbis stream's rate is outside 8000 .. 96000";
            return SOUND_BAD_FORMAT;
        }
        channels = info.channels;
        rate = int(info.sample_rate);
        frames = stb_vorbis_stream_length_in_samples(vorbis);
        if (frames == 0) {
            *error = "the Ogg Vorbis stream holds no sound";
            return SOUND_BAD_FORMAT;
        }
        return stb_vorbis_seek_start(vorbis) != 0 ? 0 : SOUND_BAD_FORMAT;
    }

    int Format() const override { return SOUND_FORMAT_VORBIS; }
    int Rate() const override { return rate; }
    int Channels() const override { return channels; }
    uint32_t Frames() const override { return frames; }
    int Read(int16_t* out, int count) override {
        if (!out || count <= 0 || count > INT_MAX / SOUND_MAX_CHANNELS) return 0;
        int n = stb_vorbis_get_samples_short_interleaved(vorbis, channels, out, count * channels);
        return n < 0 ? -1 : n;
    }
    int Rewind() override { return stb_vorbis_seek_start(vorbis) ? 0 : -1; }

private:
    // The decoder works inside an arena of ours rather than on the heap: some of its failure
    // paths for a broken setup header forget what they allocated, and an arena loses nothing.
    // It also bounds what a hostile file can make it take. An arena too small for the stream
    // is doubled, up to MAX_ARENA. 0, SOUND_NO_MEMORY when an arena cannot be had, or
    // SOUND_BAD_FORMAT.
    int OpenInArena() {
        for (size_t size = FIRST_ARENA; size <= MAX_ARENA; size *= 2) {
            arena.reset(new (std::nothrow) char[size]);
            if (!arena) return SOUND_NO_MEMORY;
            stb_vorbis_alloc alloc{arena.get(), int(size)};
            int code = 0;
            vorbis = stb_vorbis_open_memory(bytes.data(), int(bytes.size()), &code, &alloc);
            if (vorbis) return 0;
            if (code != VORBIS_outofmem) break;
        }
        arena.reset();
        return SOUND_BAD_FORMAT;
    }

    static constexpr size_t FIRST_ARENA = size_t(256) << 10;
    static constexpr size_t MAX_ARENA = size_t(64) << 20;

    std::vector<uint8_t> bytes;    // stb_vorbis reads from here while it decodes
    std::unique_ptr<char[]> arena; // everything the decoder allocates; freed after it is closed
    stb_vorbis* vorbis = nullptr;
    int channels = 0;
    int rate = 0;
    uint32_t frames = 0;
};

} // namespace

TarnAudioDecoder* TarnOpenVorbis(std::vector<uint8_t>&& bytes, const char** error, int* code) {
    const char* reason = "out of memory";
    int result = SOUND_NO_MEMORY;
    auto* decoder = new (std::nothrow) TarnVorbisDecoder(std::move(bytes));
    if (decoder) {
        result = decoder->Parse(&reason);
        if (result == 0) {
            if (code) *code = 0;
            return decoder;
        }
        delete decoder;
    }
    if (error) *error = reason;
    if (code) *code = result;
    return nullptr;
}

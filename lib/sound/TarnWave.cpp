/// @file
/// The WAV reader: RIFF WAVE files of PCM (8-bit unsigned, 16, 24 and 32-bit integers, 32-bit
/// float), the same described by WAVE_FORMAT_EXTENSIBLE, and IMA ADPCM; mono or stereo, 8000 to
/// 96000 frames a second. The chunks are walked through the bounds-checked byte reader; every
/// field of the format is checked before anything is decoded, and the data chunk is cut to what
/// the file really holds. IMA ADPCM decodes one block at a time into a small cache.
#include "sound/TarnAudioDecoder.h"

#include "image/TarnByteReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr uint16_t WAVE_PCM = 0x0001;
constexpr uint16_t WAVE_FLOAT = 0x0003;
constexpr uint16_t WAVE_IMA_ADPCM = 0x0011;
constexpr uint16_t WAVE_EXTENSIBLE = 0xFFFE;

// The tail every KSDATAFORMAT_SUBTYPE GUID of a plain wave format shares (bytes 2 .. 15 after
// the format tag): 0000-0010-8000-00AA00389B71.
constexpr uint8_t SUBTYPE_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// IMA ADPCM: the step sizes and how each code moves the index into them.
constexpr int16_t IMA_STEPS[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int8_t IMA_INDEX[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int predictor = 0;
    int index = 0;
    int16_t Next(int code) {
        int step = IMA_STEPS[index];
        int diff = step >> 3;
        if (code & 1) diff += step >> 2;
        if (code & 2) diff += step >> 1;
        if (code & 4) diff += step;
        predictor += (code & 8) ? -diff : diff;
        predictor = std::clamp(predictor, -32768, 32767);
        index = std::clamp(index + IMA_INDEX[code], 0, 88);
        return int16_t(predictor);
    }
};

class TarnWaveDecoder final : public TarnAudioDecoder {
public:
    explicit TarnWaveDecoder(std::vector<uint8_t>&& file) : bytes(std::move(file)) {}

    // Walks the chunks and checks the format; false with *error set when the file is refused.
    bool Parse(const char** error);

    int Format() const override { return format; }
    int Rate() const override { return rate; }
    int Channels() const override { return channels; }
    uint32_t Frames() const override { return frames; }
    int Read(int16_t* out, int count) override;
    int Rewind() override {
        position = 0;
        cachedBlock = UINT32_MAX;
        return 0;
    }

private:
    bool ParseFormat(TarnByteReader& chunk, uint32_t size, const char** error);
    int16_t SampleAt(const uint8_t* p) const;
    bool DecodeBlock(uint32_t block);

    std::vector<uint8_t> bytes;
    int format = 0;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    uint32_t blockAlign = 0;
    uint32_t framesPerBlock = 1; // IMA ADPCM: frames in one block
    size_t dataOffset = 0;
    uint32_t dataBytes = 0;
    uint32_t frames = 0;
    uint32_t position = 0;
    // IMA ADPCM: the one decoded block.
    std::vector<int16_t> blockCache;
    uint32_t cachedBlock = UINT32_MAX;
};

bool TarnWaveDecoder::ParseFormat(TarnByteReader& r, uint32_t size, const char** error) {
    *error = "the WAV format chunk is broken";
    if (size < 16) return false;
    uint16_t tag = r.U16LE();
    channels = r.U16LE();
    uint32_t samplesPerSec = r.U32LE();
    r.U32LE(); // bytes a second: not trusted, computed from the rest
    blockAlign = r.U16LE();
    bits = r.U16LE();
    uint16_t extra = size >= 18 ? r.U16LE() : 0;
    if (extra > size - 18 && size >= 18) return false;
    if (tag == WAVE_EXTENSIBLE) {
        if (extra < 22) return false;
        uint16_t validBits = r.U16LE();
        r.U32LE(); // the speakers' mask: mono and stereo only, so nothing to place
        uint8_t guid[16];
        r.Read(guid, sizeof guid);
        if (std::memcmp(guid + 2, SUBTYPE_TAIL, sizeof SUBTYPE_TAIL) != 0) {
            *error = "the WAV file's sub-format is not one this reader knows";
            return false;
        }
        tag = uint16_t(guid[0] | (guid[1] << 8));
        if (validBits > bits) return false;
    }
    // IMA ADPCM says how many frames a block holds; it must agree with the block's size.
    uint16_t imaFramesPerBlock = tag == WAVE_IMA_ADPCM && extra >= 2 ? r.U16LE() : 0;
    if (r.Overrun()) return false;
    if (channels < 1 || channels > SOUND_MAX_CHANNELS) {
        *error = "the WAV file is neither mono nor stereo";
        return false;
    }
    if (samplesPerSec < uint32_t(SOUND_MIN_RATE) || samplesPerSec > uint32_t(SOUND_MAX_RATE)) {
        *error = "the WAV file's rate is outside 8000 .. 96000";
        return false;
    }
    rate = int(samplesPerSec);
    *error = "the WAV file's encoding is not supported";
    if (tag == WAVE_PCM) {
        switch (bits) {
        case 8:
            format = SOUND_FORMAT_PCM8;
            break;
        case 16:
            format = SOUND_FORMAT_PCM16;
            break;
        case 24:
            format = SOUND_FORMAT_PCM24;
            break;
        case 32:
            format = SOUND_FORMAT_PCM32;
            break;
        default:
            return false;
        }
    } else if (tag == WAVE_FLOAT && bits == 32) {
        format = SOUND_FORMAT_FLOAT32;
    } else if (tag == WAVE_IMA_ADPCM && bits == 4) {
        format = SOUND_FORMAT_IMA_ADPCM;
    } else {
        return false;
    }
    *error = "the WAV format chunk is broken";
    if (format == SOUND_FORMAT_IMA_ADPCM) {
        // A block: a 4-byte header per channel, then 4-byte words of eight codes per channel.
        if (blockAlign < 4u * channels || blockAlign % (4u * channels) != 0) return false;
        framesPerBlock = (blockAlign - 4u * channels) * 2 / channels + 1;
        return imaFramesPerBlock == 0 || imaFramesPerBlock == framesPerBlock;
    }
    return blockAlign == uint32_t(channels) * uint32_t(bits / 8);
}

bool TarnWaveDecoder::Parse(const char** error) {
    TarnByteReader r(bytes.data(), bytes.size());
    r.Skip(12); // RIFF, its size (not trusted: the chunks are walked to the end of the file), WAVE
    bool haveFormat = false;
    while (r.Remaining() >= 8) {
        char id[4];
        r.Read(id, 4);
        uint32_t size = r.U32LE();
        size_t start = r.Position();
        uint32_t inFile = uint32_t(std::min<uint64_t>(size, r.Remaining()));
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (haveFormat) {
                *error = "the WAV file has two format chunks";
                return false;
            }
            if (size > inFile) {
                *error = "the WAV format chunk is cut short";
                return false;
            }
            TarnByteReader chunk(bytes.data() + start, inFile);
            if (!ParseFormat(chunk, size, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFormat) {
                *error = "the WAV data comes before its format";
                return false;
            }
            // A file cut short keeps what it has, in whole blocks.
            dataOffset = start;
            dataBytes = inFile;
            if (format == SOUND_FORMAT_IMA_ADPCM) {
                uint64_t whole = dataBytes / blockAlign;
                uint32_t rest = dataBytes % blockAlign;
                uint64_t n = whole * framesPerBlock;
                if (rest >= 4u * channels) n += (rest - 4u * channels) / (4u * channels) * 8 + 1;
                if (n > UINT32_MAX) n = UINT32_MAX;
                frames = uint32_t(n);
            } else {
                frames = dataBytes / blockAlign;
            }
            if (frames == 0) {
                *error = "the WAV file holds no sound";
                return false;
            }
            return true;
        }
        r.Skip(uint64_t(size) + (size & 1)); // chunks are padded to an even size
    }
    *error = haveFormat ? "the WAV file has no data chunk" : "the WAV file has no format chunk";
    return false;
}

int16_t TarnWaveDecoder::SampleAt(const uint8_t* p) const {
    switch (format) {
    case SOUND_FORMAT_PCM8:
        return int16_t((int(p[0]) - 128) * 256);
    case SOUND_FORMAT_PCM16:
        return int16_t(uint16_t(p[0] | (p[1] << 8)));
    case SOUND_FORMAT_PCM24:
        return int16_t(uint16_t(p[1] | (p[2] << 8)));
    case SOUND_FORMAT_PCM32:
        return int16_t(uint16_t(p[2] | (p[3] << 8)));
    case SOUND_FORMAT_FLOAT32: {
        uint32_t u = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                     (uint32_t(p[3]) << 24);
        float f;
        std::memcpy(&f, &u, 4);
        if (!(f == f)) return 0; // NaN
        float scaled = std::clamp(f, -1.0f, 1.0f) * 32767.0f;
        return int16_t(std::lround(scaled));
    }
    }
    return 0;
}

// Decodes IMA ADPCM block `block` (possibly the short last one) into the cache.
bool TarnWaveDecoder::DecodeBlock(uint32_t block) {
    if (cachedBlock == block) return true;
    size_t offset = size_t(block) * blockAlign;
    size_t size = std::min<size_t>(blockAlign, dataBytes - std::min<size_t>(offset, dataBytes));
    if (size < 4u * channels) return false;
    if (blockCache.size() != size_t(framesPerBlock) * channels)
        blockCache.assign(size_t(framesPerBlock) * channels, 0);
    const uint8_t* p = bytes.data() + dataOffset + offset;
    ImaChannel state[SOUND_MAX_CHANNELS];
    for (int c = 0; c < channels; ++c) {
        state[c].predictor = int16_t(uint16_t(p[c * 4] | (p[c * 4 + 1] << 8)));
        state[c].index = std::min<int>(p[c * 4 + 2], 88);
        blockCache[c] = int16_t(state[c].predictor);
    }
    const uint8_t* codes = p + 4 * channels;
    size_t words = (size - 4u * channels) / (4u * channels); // groups of 8 frames
    for (size_t w = 0; w < words; ++w) {
        for (int c = 0; c < channels; ++c) {
            const uint8_t* word = codes + (w * channels + c) * 4;
            for (int i = 0; i < 8; ++i) {
                int code = (word[i / 2] >> ((i & 1) * 4)) & 0x0F;
                size_t frame = 1 + w * 8 + i;
                blockCache[frame * channels + c] = state[c].Next(code);
            }
        }
    }
    cachedBlock = block;
    return true;
}

int TarnWaveDecoder::Read(int16_t* out, int count) {
    if (!out || count <= 0 || position >= frames) return 0;
    int n = int(std::min<uint32_t>(uint32_t(count), frames - position));
    if (format == SOUND_FORMAT_IMA_ADPCM) {
        for (int i = 0; i < n; ++i) {
            uint32_t frame = position + uint32_t(i);
            if (!DecodeBlock(frame / framesPerBlock)) return -1;
            const int16_t* from = blockCache.data() + size_t(frame % framesPerBlock) * channels;
            for (int c = 0; c < channels; ++c) out[i * channels + c] = from[c];
        }
    } else {
        const uint8_t* p = bytes.data() + dataOffset + size_t(position) * blockAlign;
        const int bytesPerSample = bits / 8;
        for (int i = 0; i < n * channels; ++i) out[i] = SampleAt(p + size_t(i) * bytesPerSample);
    }
    position += uint32_t(n);
    return n;
}

} // namespace

TarnAudioDecoder* TarnOpenWave(std::vector<uint8_t>&& bytes, const char** error, int* code) {
    const char* reason = "out of memory";
    int result = SOUND_NO_MEMORY;
    auto* decoder = new (std::nothrow) TarnWaveDecoder(std::move(bytes));
    if (decoder) {
        if (decoder->Parse(&reason)) {
            if (code) *code = 0;
            return decoder;
        }
        delete decoder;
        result = SOUND_BAD_FORMAT; // every refusal of Parse is the file's
    }
    if (error) *error = reason;
    if (code) *code = result;
    return nullptr;
}

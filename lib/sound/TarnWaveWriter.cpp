/// @file
/// Writing a 16-bit PCM WAV file: the canonical 44-byte header and the samples, little-endian.
#include "sound/TarnAudioDecoder.h"

#include "image/TarnFile.h"

#include <new>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

long TarnSaveWave(const char* fileName, const int16_t* samples, uint32_t frames, int channels,
                  int rate) {
    if (!fileName || (!samples && frames) || channels < 1 || channels > SOUND_MAX_CHANNELS ||
        rate <= 0)
        return E_INVALIDARG;
    uint64_t dataBytes = uint64_t(frames) * uint64_t(channels) * 2;
    if (dataBytes > SOUND_MAX_FILE_BYTES) return E_INVALIDARG;
    std::vector<uint8_t> out;
    try {
        out.reserve(size_t(44 + dataBytes));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put32(out, uint32_t(36 + dataBytes));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, uint32_t(channels));
    Put32(out, uint32_t(rate));
    Put32(out, uint32_t(rate) * uint32_t(channels) * 2);
    Put16(out, uint32_t(channels) * 2);
    Put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put32(out, uint32_t(dataBytes));
    for (uint64_t i = 0; i < uint64_t(frames) * uint64_t(channels); ++i)
        Put16(out, uint16_t(samples[i]));
    return TarnFile::WriteReplacing(fileName, out.data(), DWORD(out.size()));
}

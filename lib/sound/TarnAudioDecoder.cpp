/// @file
/// Choosing a decoder by the file's content, reading a file whole, and decoding a sound whole.
#include "sound/TarnAudioDecoder.h"

#include "image/TarnFile.h"

#include <algorithm>
#include <cstring>
#include <new>

const char* TarnAudioDecoder::FormatName(int format) {
    switch (format) {
    case SOUND_FORMAT_PCM8:
        return "PCM 8-bit";
    case SOUND_FORMAT_PCM16:
        return "PCM 16-bit";
    case SOUND_FORMAT_PCM24:
        return "PCM 24-bit";
    case SOUND_FORMAT_PCM32:
        return "PCM 32-bit";
    case SOUND_FORMAT_FLOAT32:
        return "PCM 32-bit float";
    case SOUND_FORMAT_IMA_ADPCM:
        return "IMA ADPCM";
    case SOUND_FORMAT_VORBIS:
        return "Ogg Vorbis";
    }
    return "unknown";
}

namespace {

// Null, with the reason and its code handed back to whoever asked for them.
TarnAudioDecoder* Refuse(const char** error, int* code, const char* reason, int result) {
    if (error) *error = reason;
    if (code) *code = result;
    return nullptr;
}

} // namespace

TarnAudioDecoder* TarnAudioDecoder::Open(std::vector<uint8_t> bytes, const char** error,
                                         int* code) {
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
        std::memcmp(bytes.data() + 8, "WAVE", 4) == 0)
        return TarnOpenWave(std::move(bytes), error, code);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "OggS", 4) == 0)
        return TarnOpenVorbis(std::move(bytes), error, code);
    return Refuse(error, code, "not a sound file (neither RIFF WAVE nor Ogg Vorbis)",
                  SOUND_BAD_FORMAT);
}

TarnAudioDecoder* TarnAudioDecoder::OpenFile(const char* fileName, const char** error, int* code) {
    TarnFile file;
    if (!fileName || file.OpenRead(fileName) != 0)
        return Refuse(error, code, "cannot open the file", SOUND_FILE_ERROR);
    DWORD size = file.GetSize();
    if (size == INVALID_FILE_SIZE || size > SOUND_MAX_FILE_BYTES)
        return Refuse(error, code, "the file is too large", SOUND_BAD_FORMAT);
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return Refuse(error, code, "out of memory", SOUND_NO_MEMORY);
    }
    if (size > 0 && file.Read(bytes.data(), size) != size)
        return Refuse(error, code, "cannot read the file", SOUND_FILE_ERROR);
    return Open(std::move(bytes), error, code);
}

bool TarnAudioDecoder::DecodeAll(TarnAudioDecoder* decoder, std::vector<int16_t>* samples,
                                 int* code) {
    int ignored = 0;
    if (!code) code = &ignored;
    *code = SOUND_BAD_FORMAT;
    if (!decoder || !samples) return false;
    uint64_t count = uint64_t(decoder->Frames()) * uint64_t(decoder->Channels());
    if (count == 0 || count * 2 > SOUND_MAX_DECODED_BYTES) return false;
    if (decoder->Rewind() != 0) return false;
    try {
        samples->assign(size_t(count), 0);
    } catch (const std::bad_alloc&) {
        *code = SOUND_NO_MEMORY;
        return false;
    }
    uint32_t done = 0;
    const uint32_t frames = decoder->Frames();
    while (done < frames) {
        int n = decoder->Read(samples->data() + size_t(done) * decoder->Channels(),
                              int(std::min<uint32_t>(frames - done, 1u << 16)));
        if (n < 0) return false;
        if (n == 0) break; // shorter than its header said: the rest stays silent
        done += uint32_t(n);
    }
    if (done == 0) return false;
    *code = 0;
    return true;
}

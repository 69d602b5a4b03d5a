// libFuzzer target for the sound readers: the input is a file for the reader chosen at build
// time (TARN_FUZZ_SOUND 0: by content, 1: WAV, 2: Ogg Vorbis), opened, decoded whole and read
// again piece by piece. Any crash, sanitizer report or leak is a finding, and so is a refusal
// without its code and message.
#include "sound/TarnAudioDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    const char* error = nullptr;
    int code = 0;
    std::unique_ptr<TarnAudioDecoder> decoder;
#if TARN_FUZZ_SOUND == 1
    decoder.reset(TarnOpenWave(std::move(bytes), &error, &code));
#elif TARN_FUZZ_SOUND == 2
    decoder.reset(TarnOpenVorbis(std::move(bytes), &error, &code));
#else
    decoder.reset(TarnAudioDecoder::Open(std::move(bytes), &error, &code));
#endif
    if (!decoder) {
        if (code >= 0 || !error) __builtin_trap();
        return 0;
    }
    std::vector<int16_t> all;
    TarnAudioDecoder::DecodeAll(decoder.get(), &all);
    if (decoder->Rewind() == 0) {
        int16_t piece[2 * 333];
        for (int i = 0; i < 64 && decoder->Read(piece, 333) > 0; ++i) {
        }
    }
    return 0;
}

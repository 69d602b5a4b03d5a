/// @file
/// The Ogg Vorbis reader, over stb_vorbis (Debian's libstb-dev, compiled from its own header in
/// TarnVorbisCodec.c): the file is opened from memory, its length taken from the stream, and
/// frames are decoded piece by piece as 16-bit samples. Only mono and stereo at 8000 .. 96000
/// frames a second are taken, as for WAV.
#include "sound/TarnAudioDecoder.h"

#define STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>

#include <climits>

namespace {

class TarnVorbisDecoder final : public TarnAudioDecoder {
public:
    explicit TarnVorbisDecoder(std::vector<uint8_t>&& file) : bytes(std::move(file)) {}
    ~TarnVorbisDecoder() override {
        if (vorbis) stb_vorbis_close(vorbis);
    }

    bool Parse(const char** error) {
        *error = "the Ogg Vorbis stream is broken";
        if (bytes.size() > size_t(INT_MAX)) return false;
        int code = 0;
        vorbis = stb_vorbis_open_memory(bytes.data(), int(bytes.size()), &code, nullptr);
        if (!vorbis) return false;
        stb_vorbis_info info = stb_vorbis_get_info(vorbis);
        if (info.channels < 1 || info.channels > SOUND_MAX_CHANNELS) {
            *error = "the Ogg Vorbis stream is neither mono nor stereo";
            return false;
        }
        if (info.sample_rate < unsigned(SOUND_MIN_RATE) ||
            info.sample_rate > unsigned(SOUND_MAX_RATE)) {
            *error = "the Ogg Vorbis stream's rate is outside 8000 .. 96000";
            return false;
        }
        channels = info.channels;
        rate = int(info.sample_rate);
        frames = stb_vorbis_stream_length_in_samples(vorbis);
        if (frames == 0) {
            *error = "the Ogg Vorbis stream holds no sound";
            return false;
        }
        return stb_vorbis_seek_start(vorbis) != 0;
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
    std::vector<uint8_t> bytes; // stb_vorbis reads from here while it decodes
    stb_vorbis* vorbis = nullptr;
    int channels = 0;
    int rate = 0;
    uint32_t frames = 0;
};

} // namespace

TarnAudioDecoder* TarnOpenVorbis(std::vector<uint8_t>&& bytes, const char** error) {
    auto* decoder = new TarnVorbisDecoder(std::move(bytes));
    if (!decoder->Parse(error)) {
        delete decoder;
        return nullptr;
    }
    return decoder;
}

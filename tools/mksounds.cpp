// Makes the sounds of the sound example and of the tests, from nothing but arithmetic, so they
// are the same on every machine: mksounds OUTDIR writes
//   blip.wav   a short rising blip (16-bit mono, 44.1 kHz)
//   boom.wav   a low thump with a noisy tail (8-bit mono, 22.05 kHz)
//   chime.wav  two bells, one on each side (16-bit stereo, 44.1 kHz)
//   tune.ogg   eight seconds of a looping tune (Ogg Vorbis, stereo, 44.1 kHz)
//   tone.ogg   half a second of 440 Hz (Ogg Vorbis, mono, 22.05 kHz)
// The WAV files are written by hand; the Ogg Vorbis ones through libvorbisenc.
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;

// Writes a PCM WAV file of 8 or 16 bits from samples in -1 .. 1 (interleaved when stereo).
bool WriteWave(const std::string& path, const std::vector<float>& samples, int channels, int rate,
               int bits) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    uint32_t bytesPerSample = uint32_t(bits / 8);
    uint32_t dataBytes = uint32_t(samples.size()) * bytesPerSample;
    auto put16 = [&](uint32_t v) {
        std::fputc(int(v & 0xFF), f);
        std::fputc(int((v >> 8) & 0xFF), f);
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    std::fwrite("RIFF", 1, 4, f);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(uint32_t(channels));
    put32(uint32_t(rate));
    put32(uint32_t(rate) * uint32_t(channels) * bytesPerSample);
    put16(uint32_t(channels) * bytesPerSample);
    put16(uint32_t(bits));
    std::fwrite("data", 1, 4, f);
    put32(dataBytes);
    for (float s : samples) {
        double v = std::fmax(-1.0, std::fmin(1.0, double(s)));
        if (bits == 8)
            std::fputc(int(std::lround(v * 127.0)) + 128, f);
        else
            put16(uint32_t(uint16_t(int16_t(std::lround(v * 32767.0)))));
    }
    return std::fclose(f) == 0;
}

// Encodes samples in -1 .. 1 as Ogg Vorbis (quality 0.4) with a fixed stream serial number.
bool WriteVorbis(const std::string& path, const std::vector<float>& samples, int channels,
                 int rate) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0) {
        std::fclose(f);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "mksounds");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x7A72);
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) {
        std::fwrite(page.header, 1, size_t(page.header_len), f);
        std::fwrite(page.body, 1, size_t(page.body_len), f);
    }
    const size_t frames = samples.size() / size_t(channels);
    const size_t chunk = 1024;
    bool done = false;
    for (size_t at = 0; !done;) {
        size_t n = std::min(chunk, frames - at);
        if (n > 0) {
            float** in = vorbis_analysis_buffer(&dsp, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c) in[c][i] = samples[(at + i) * channels + c];
            vorbis_analysis_wrote(&dsp, int(n));
            at += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    std::fwrite(page.header, 1, size_t(page.header_len), f);
                    std::fwrite(page.body, 1, size_t(page.body_len), f);
                    if (ogg_page_eos(&page)) done = true;
                }
            }
        }
        if (n == 0 && !done) {
            while (ogg_stream_flush(&stream, &page)) {
                std::fwrite(page.header, 1, size_t(page.header_len), f);
                std::fwrite(page.body, 1, size_t(page.body_len), f);
            }
            done = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(f) == 0;
}

std::vector<float> Blip() {
    const int rate = 44100, n = rate * 15 / 100;
    std::vector<float> s(n);
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / n;
        phase += 2 * PI * (600 + 900 * t) / rate;
        double square = std::sin(phase) + std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5;
        s[i] = float(0.5 * square * (1 - t) * std::fmin(1.0, i / 200.0));
    }
    return s;
}

std::vector<float> Boom() {
    const int rate = 22050, n = rate * 6 / 10;
    std::vector<float> s(n);
    uint32_t noise = 12345;
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / rate;
        phase += 2 * PI * (90 * std::exp(-t * 4) + 35) / rate;
        noise = noise * 1664525u + 1013904223u;
        double hiss = (double(noise >> 8) / double(1 << 24) - 0.5) * std::exp(-t * 9);
        s[i] = float((0.8 * std::sin(phase) + 0.5 * hiss) * std::exp(-t * 5) *
                     std::fmin(1.0, i / 30.0));
    }
    return s;
}

std::vector<float> Chime() {
    const int rate = 44100, n = rate;
    std::vector<float> s(size_t(n) * 2);
    for (int i = 0; i < n; ++i) {
        double t = double(i) / rate;
        double left = std::sin(2 * PI * 880 * t) + 0.4 * std::sin(2 * PI * 2200 * t);
        double t2 = std::fmax(0.0, t - 0.25);
        double right =
            t < 0.25 ? 0 : std::sin(2 * PI * 1320 * t2) + 0.4 * std::sin(2 * PI * 3300 * t2);
        s[size_t(i) * 2] = float(0.35 * left * std::exp(-t * 4));
        s[size_t(i) * 2 + 1] = float(0.35 * right * std::exp(-t2 * 4));
    }
    return s;
}

// A tune of 16 half-second notes over a bass, whole periods so that it loops cleanly.
std::vector<float> Tune() {
    const int rate = 44100, n = rate * 8;
    const int melody[16] = {0, 4, 7, 12, 11, 7, 4, 2, 0, 4, 9, 12, 11, 9, 7, 4};
    const int bass[4] = {-12, -7, -3, -5};
    std::vector<float> s(size_t(n) * 2);
    double phaseMelody = 0, phaseBass = 0;
    for (int i = 0; i < n; ++i) {
        int note = i / (rate / 2);
        double within = double(i % (rate / 2)) / (rate / 2);
        double f = 440.0 * std::pow(2.0, (melody[note] - 9) / 12.0);
        double fb = 440.0 * std::pow(2.0, (bass[note / 4] - 9) / 12.0);
        phaseMelody += 2 * PI * f / rate;
        phaseBass += 2 * PI * fb / rate;
        double env = std::fmin(1.0, within * 40) * std::exp(-within * 2.5);
        double m = (std::sin(phaseMelody) + 0.3 * std::sin(2 * phaseMelody)) * env;
        double b = std::sin(phaseBass) * 0.8;
        s[size_t(i) * 2] = float(0.30 * m + 0.20 * b);
        s[size_t(i) * 2 + 1] = float(0.20 * m + 0.30 * b);
    }
    return s;
}

std::vector<float> Tone() {
    const int rate = 22050, n = rate / 2;
    std::vector<float> s(n);
    for (int i = 0; i < n; ++i) s[i] = float(0.5 * std::sin(2 * PI * 440 * i / rate));
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mksounds OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = WriteWave(dir + "/blip.wav", Blip(), 1, 44100, 16) &&
              WriteWave(dir + "/boom.wav", Boom(), 1, 22050, 8) &&
              WriteWave(dir + "/chime.wav", Chime(), 2, 44100, 16) &&
              WriteVorbis(dir + "/tune.ogg", Tune(), 2, 44100) &&
              WriteVorbis(dir + "/tone.ogg", Tone(), 1, 22050);
    if (!ok) {
        std::fprintf(stderr, "mksounds: cannot write the sounds into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}

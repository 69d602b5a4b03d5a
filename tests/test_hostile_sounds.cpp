// Hostile sound files: small files of every encoding the WAV reader takes, and the Ogg Vorbis
// test file, cut at many lengths and with bytes of their headers flipped, either open and
// decode or are refused, never crash or read outside their data (the sanitizer build runs this
// too). A header that claims a huge sound is refused before anything is allocated for it.
#include "sound/TarnAudioDecoder.h"
#include "support/ByteWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using samples::Bytes;
using samples::Put16;
using samples::Put32;

Bytes Wave(uint16_t tag, int channels, int bits, uint32_t blockAlign, size_t dataBytes,
           const Bytes& extra = {}) {
    Bytes b;
    for (char c : {'R', 'I', 'F', 'F'}) b.push_back(uint8_t(c));
    Put32(b, uint32_t(36 + extra.size() + dataBytes));
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) b.push_back(uint8_t(c));
    Put32(b, uint32_t(16 + extra.size()));
    Put16(b, tag);
    Put16(b, uint32_t(channels));
    Put32(b, 22050);
    Put32(b, 22050 * blockAlign);
    Put16(b, blockAlign);
    Put16(b, uint32_t(bits));
    b.insert(b.end(), extra.begin(), extra.end());
    for (char c : {'d', 'a', 't', 'a'}) b.push_back(uint8_t(c));
    Put32(b, uint32_t(dataBytes));
    for (size_t i = 0; i < dataBytes; ++i) b.push_back(uint8_t(i * 29 + 7));
    return b;
}

// Opens, decodes and reads the file again; a refusal comes with its code and message.
void Exercise(const Bytes& file) {
    const char* error = nullptr;
    int code = 1;
    std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::Open(file, &error, &code));
    if (!d) {
        ASSERT_TRUE(code == SOUND_BAD_FORMAT || code == SOUND_NO_MEMORY) << code;
        ASSERT_NE(error, nullptr);
        return;
    }
    EXPECT_EQ(code, 0);
    EXPECT_GE(d->Channels(), 1);
    EXPECT_LE(d->Channels(), 2);
    std::vector<int16_t> out;
    TarnAudioDecoder::DecodeAll(d.get(), &out);
    int16_t piece[512];
    d->Rewind();
    while (d->Read(piece, 256) > 0) {
    }
}

Bytes ReadFile(const char* path) {
    Bytes b;
    FILE* f = std::fopen(path, "rb");
    if (!f) return b;
    int c;
    while ((c = std::fgetc(f)) != EOF) b.push_back(uint8_t(c));
    std::fclose(f);
    return b;
}

TEST(HostileSounds, CutAndFlippedFilesAreDecodedOrRefused) {
    Bytes imaExtra;
    Put16(imaExtra, 2);
    Put16(imaExtra, 505);
    const Bytes samples[] = {
        Wave(1, 1, 8, 1, 300),
        Wave(1, 2, 16, 4, 400),
        Wave(1, 2, 24, 6, 600),
        Wave(3, 1, 32, 4, 400),
        Wave(0x11, 1, 4, 256, 700, imaExtra),
        Wave(0x11, 2, 4, 512, 1100, imaExtra),
        ReadFile(TARN_TEST_DATA "/sound/tone.ogg"),
    };
    for (const Bytes& sample : samples) {
        ASSERT_FALSE(sample.empty());
        // Cut at every length of the headers and at a few more further on.
        for (size_t n = 0; n < sample.size(); n += (n < 200 ? 1 : 97))
            Exercise(Bytes(sample.begin(), sample.begin() + n));
        // Every header byte flipped, one at a time.
        for (size_t i = 0; i < std::min<size_t>(sample.size(), 120); ++i)
            for (uint8_t mask : {0x01, 0x80, 0xFF}) {
                Bytes bad = sample;
                bad[i] ^= mask;
                Exercise(bad);
            }
    }
}

// Files the fuzzers found, kept as they were found; the sanitizer build watches the decoder too.
// A setup header broken inside a sparse codebook once lost the decoder's scratch memory; a
// lattice codebook of 37 dimensions once overflowed the decoder's size arithmetic;
// a stream that decodes to huge samples once overflowed the conversion to 16 bits.
TEST(HostileSounds, FoundFilesAreDecodedOrRefusedAndLoseNothing) {
    const struct {
        const char* name;
        bool opens;
    } found[] = {
        {"broken-setup-sparse-codebook.ogg", false},
        {"setup-lattice-codebook-too-large.ogg", false},
        {"huge-samples.ogg", true},
    };
    for (const auto& f : found) {
        Bytes file = ReadFile((std::string(TARN_TEST_DATA "/sound/") + f.name).c_str());
        ASSERT_FALSE(file.empty()) << f.name;
        const char* error = nullptr;
        std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::Open(file, &error));
        EXPECT_EQ(d != nullptr, f.opens) << f.name;
        if (!f.opens) {
            EXPECT_NE(error, nullptr) << f.name;
        }
        Exercise(file);
        for (size_t n = 0; n < file.size(); n += 61)
            Exercise(Bytes(file.begin(), file.begin() + n));
    }
}

TEST(HostileSounds, AHugeClaimIsRefusedBeforeAllocating) {
    Bytes big = Wave(1, 2, 16, 4, 64);
    // The data chunk claims 4 GB; the file holds 64 bytes: 16 frames, nothing more.
    big[big.size() - 64 - 4] = 0xFF;
    big[big.size() - 64 - 3] = 0xFF;
    big[big.size() - 64 - 2] = 0xFF;
    big[big.size() - 64 - 1] = 0xFF;
    std::unique_ptr<TarnAudioDecoder> d(TarnAudioDecoder::Open(big));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Frames(), 16u);
}

} // namespace

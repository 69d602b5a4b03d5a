/// @file
/// Reading sound files: one decoder per format behind one small interface, chosen by content
/// (RIFF WAVE or Ogg Vorbis). A decoder owns the file's bytes and hands out 16-bit signed frames
/// (interleaved left, right for stereo) at the file's own rate, from the start to the end, so
/// that a sound effect decodes whole and music decodes piece by piece as it plays. Every file is
/// hostile: every read is checked against the end of the data and a header is checked in full
/// before anything is decoded. A failure comes back as a SOUND_* code, with a short message for
/// people beside it.
#pragma once

#include "sound/TarnSoundCodes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// The formats the decoders read (what TarnAudioDecoder::Format says).
enum {
    SOUND_FORMAT_PCM8 = 1,  ///< WAV, 8-bit unsigned PCM
    SOUND_FORMAT_PCM16,     ///< WAV, 16-bit PCM
    SOUND_FORMAT_PCM24,     ///< WAV, 24-bit PCM
    SOUND_FORMAT_PCM32,     ///< WAV, 32-bit integer PCM
    SOUND_FORMAT_FLOAT32,   ///< WAV, 32-bit IEEE float
    SOUND_FORMAT_IMA_ADPCM, ///< WAV, IMA ADPCM (4 bits a sample)
    SOUND_FORMAT_VORBIS,    ///< Ogg Vorbis
};

// The rates and channels every decoder accepts; anything else is refused.
constexpr int SOUND_MIN_RATE = 8000;  ///< the lowest rate read, frames a second
constexpr int SOUND_MAX_RATE = 96000; ///< the highest rate read
constexpr int SOUND_MAX_CHANNELS = 2; ///< mono or stereo
/// The largest file read.
constexpr uint32_t SOUND_MAX_FILE_BYTES = 256u << 20;
/// The largest sound decoded whole into memory (about six minutes of 44.1 kHz stereo).
constexpr uint32_t SOUND_MAX_DECODED_BYTES = 64u << 20;

/// One open sound file.
class TarnAudioDecoder {
public:
    virtual ~TarnAudioDecoder() = default;

    /// One of SOUND_FORMAT_*.
    virtual int Format() const = 0;
    /// Frames a second.
    virtual int Rate() const = 0;
    /// 1 or 2.
    virtual int Channels() const = 0;
    /// The length in frames.
    virtual uint32_t Frames() const = 0;
    /// Decodes up to `frames` frames into `out` (frames x Channels() samples); the number
    /// decoded, 0 at the end, negative when the data turns out to be broken.
    virtual int Read(int16_t* out, int frames) = 0;
    /// Back to the first frame; 0 on success.
    virtual int Rewind() = 0;

    /// A short name of the format ("PCM 16-bit", "IMA ADPCM", "Ogg Vorbis" ...).
    static const char* FormatName(int format);

    /// A decoder for the file in `bytes` (taken over), chosen by its content; null when no
    /// decoder reads it, with the reason in *error and its code in *code (SOUND_BAD_FORMAT or
    /// SOUND_NO_MEMORY), for those not null.
    static TarnAudioDecoder* Open(std::vector<uint8_t> bytes, const char** error = nullptr,
                                  int* code = nullptr);
    /// Reads the file `fileName` whole and opens it as Open does; a file that cannot be opened
    /// or read is SOUND_FILE_ERROR.
    static TarnAudioDecoder* OpenFile(const char* fileName, const char** error = nullptr,
                                      int* code = nullptr);
    /// Decodes a whole file into memory: frames x channels samples. False when it cannot, with
    /// the code in *code when not null: SOUND_BAD_FORMAT for a sound that is broken or longer
    /// than SOUND_MAX_DECODED_BYTES, SOUND_NO_MEMORY when its memory cannot be had.
    static bool DecodeAll(TarnAudioDecoder* decoder, std::vector<int16_t>* samples,
                          int* code = nullptr);
};

/// The WAV reader, for Open (and for tests that want one directly); null when it cannot read
/// `bytes`, with the reason in *error and its code in *code (each when not null).
TarnAudioDecoder* TarnOpenWave(std::vector<uint8_t>&& bytes, const char** error,
                               int* code = nullptr);
/// The Ogg Vorbis reader, likewise.
TarnAudioDecoder* TarnOpenVorbis(std::vector<uint8_t>&& bytes, const char** error,
                                 int* code = nullptr);

/// Writes frames x channels 16-bit samples as a PCM WAV file (replacing it in one step, as
/// TarnFile::WriteReplacing does). S_OK, or the failure as an HRESULT.
long TarnSaveWave(const char* fileName, const int16_t* samples, uint32_t frames, int channels,
                  int rate);

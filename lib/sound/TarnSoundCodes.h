/// @file
/// The results of the sound calls, shared by the sound device, effects, music and the decoders
/// beneath them: 0 (or a voice number >= 0) on success, one of these negative codes otherwise.
/// A message for people goes beside a code where there is one; a program decides by the code.
#pragma once

/// Results of the sound calls: 0 (or a voice number >= 0) on success, one of these otherwise.
enum {
    SOUND_NO_DEVICE = -1,    ///< no sound device (none present, refused or lost)
    SOUND_FILE_ERROR = -2,   ///< the file cannot be opened or read
    SOUND_BAD_FORMAT = -3,   ///< the file is not a sound this library reads
    SOUND_NO_MEMORY = -4,    ///< memory or a sound buffer could not be had
    SOUND_DEVICE_ERROR = -5, ///< DirectSound refused a call
    SOUND_NOT_LOADED = -6,   ///< nothing is loaded or opened
    SOUND_BAD_VOICE = -7,    ///< the voice number is not one of this sound's, or has ended
    SOUND_BAD_ARGUMENT = -8, ///< a value out of its range
};

// The SDL2 host's sound: one SDL audio device whose callback pulls from the stand-in's mixer.
#pragma once

#include "host/Host.h"

namespace tarn::platform {

bool SdlOpenAudio(int rate, AudioPull pull, void* context);
void SdlCloseAudio();
bool SdlAudioLost();

} // namespace tarn::platform

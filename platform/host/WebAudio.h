// The web host's sound: Web Audio, which asks for each block of frames from the page's audio
// callback (TarnWebPullAudio), filled from the stand-in's mixer.
#pragma once

#include "host/Host.h"

namespace tarn::platform {

// The page has one sound device. False when the browser has no Web Audio, refuses the rate,
// or the device is already open.
bool WebOpenAudio(int rate, AudioPull pull, void* context);
void WebCloseAudio();

} // namespace tarn::platform

// What happens to sound when the program loses or regains the foreground; DirectSound hears of
// it through MachineEvents.h and calls these.
#pragma once

namespace tarn::platform {

// The program left the foreground: every sound buffer is lost (DSERR_BUFFERLOST) and silent,
// and Restore fails until the program is back.
void SoundTakenAway();
// The program is in the foreground again: Restore succeeds (with junk in the memory).
void SoundGivenBack();

} // namespace tarn::platform

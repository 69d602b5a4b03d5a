// Inside the XInput part of the stand-in: what the headless host resets between tests.
#pragma once

namespace tarn::platform {

// XInput enabled again and every slot forgotten: packet numbers from 0, no vibration requests.
void ResetXInput();

} // namespace tarn::platform

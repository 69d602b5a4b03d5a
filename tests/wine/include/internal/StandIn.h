// The Windows build's stand-in for the stand-in's test API (see host/HeadlessHost.h beside it):
// the real platform has no injected faults, so the fixture's clearing of them does nothing.
#pragma once

namespace tarn::platform {

inline void ClearFaults() {}

} // namespace tarn::platform

// Compile-time check of the 32-bit x86 Windows build: the structures whose dwSize the library
// fills with sizeof() have the sizes 32-bit Windows itself expects. A header that lays one out
// differently stops the build here instead of making DirectX refuse the call at run time.
#include <windows.h>
#include <ddraw.h>
#include <dinput.h>
#include <xinput.h>

static_assert(sizeof(void*) == 4, "this file belongs to the 32-bit x86 build");
static_assert(sizeof(DDSURFACEDESC2) == 124, "DDSURFACEDESC2");
static_assert(sizeof(DDCAPS) == 380, "DDCAPS");
static_assert(sizeof(DIDEVICEINSTANCEA) == 580, "DIDEVICEINSTANCEA");
static_assert(sizeof(DDBLTFX) == 100, "DDBLTFX");
static_assert(sizeof(BITMAP) == 24, "BITMAP");
static_assert(sizeof(XINPUT_GAMEPAD) == 12, "XINPUT_GAMEPAD");
static_assert(sizeof(XINPUT_STATE) == 16, "XINPUT_STATE");
static_assert(sizeof(XINPUT_VIBRATION) == 4, "XINPUT_VIBRATION");
static_assert(sizeof(XINPUT_CAPABILITIES) == 20, "XINPUT_CAPABILITIES");

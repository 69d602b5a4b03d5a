// The constant data of the DirectInput stand-in: the interface, device and object-type GUIDs, the
// table behind the predefined property names, and the three predefined data formats
// (c_dfDIKeyboard, c_dfDIMouse, c_dfDIJoystick) with one object per key, axis, button and hat.
#include <dinput.h>

// clang-format off
const GUID CLSID_DirectInput =       {0x25E609E0, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID CLSID_DirectInputDevice = {0x25E609E1, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputA =        {0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput2A =       {0x5944E662, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput7A =       {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_IDirectInputDeviceA =  {0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDevice2A = {0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_IDirectInputEffect =   {0xE7E1F7C0, 0x88D2, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_XAxis =              {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_YAxis =              {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ZAxis =              {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RxAxis =             {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RyAxis =             {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RzAxis =             {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Slider =             {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Button =             {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key =                {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_POV =                {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Unknown =            {0xA36D02F3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse =           {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard =        {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Joystick =           {0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// clang-format on

namespace tarn::platform {
// Only the addresses matter: MAKEDIPROP(n) names entry n.
const GUID diPropertyIds[32] = {};
} // namespace tarn::platform

namespace {

const DWORD OPTIONAL_ANY_BUTTON = DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;
const DWORD OPTIONAL_ANY_AXIS = DIDFT_AXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;

// One object per scan code: byte n of the state is key n.
struct KeyboardObjects {
    DIOBJECTDATAFORMAT objects[256];
    KeyboardObjects() {
        for (DWORD i = 0; i < 256; ++i)
            objects[i] = {&GUID_Key, i, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i) | DIDFT_OPTIONAL, 0};
    }
};
KeyboardObjects keyboardObjects;

DIOBJECTDATAFORMAT mouseObjects[] = {
    {&GUID_XAxis, DIMOFS_X, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_YAxis, DIMOFS_Y, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_ZAxis, DIMOFS_Z, OPTIONAL_ANY_AXIS, 0},
    {nullptr, DIMOFS_BUTTON0, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON1, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON2, OPTIONAL_ANY_BUTTON, 0},
    {nullptr, DIMOFS_BUTTON3, OPTIONAL_ANY_BUTTON, 0},
};

// Six axes, two sliders, four hats and 32 buttons, in the order of DIJOYSTATE.
struct JoystickObjects {
    DIOBJECTDATAFORMAT objects[44];
    JoystickObjects() {
        const DWORD axisFlags = DIDOI_ASPECTPOSITION;
        objects[0] = {&GUID_XAxis, DIJOFS_X, OPTIONAL_ANY_AXIS, axisFlags};
        objects[1] = {&GUID_YAxis, DIJOFS_Y, OPTIONAL_ANY_AXIS, axisFlags};
        objects[2] = {&GUID_ZAxis, DIJOFS_Z, OPTIONAL_ANY_AXIS, axisFlags};
        objects[3] = {&GUID_RxAxis, DIJOFS_RX, OPTIONAL_ANY_AXIS, axisFlags};
        objects[4] = {&GUID_RyAxis, DIJOFS_RY, OPTIONAL_ANY_AXIS, axisFlags};
        objects[5] = {&GUID_RzAxis, DIJOFS_RZ, OPTIONAL_ANY_AXIS, axisFlags};
        objects[6] = {&GUID_Slider, (DWORD)DIJOFS_SLIDER(0), OPTIONAL_ANY_AXIS, axisFlags};
        objects[7] = {&GUID_Slider, (DWORD)DIJOFS_SLIDER(1), OPTIONAL_ANY_AXIS, axisFlags};
        for (DWORD i = 0; i < 4; ++i)
            objects[8 + i] = {&GUID_POV, (DWORD)DIJOFS_POV(i),
                              DIDFT_POV | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0};
        for (DWORD i = 0; i < 32; ++i)
            objects[12 + i] = {nullptr, (DWORD)DIJOFS_BUTTON(i), OPTIONAL_ANY_BUTTON, 0};
    }
};
JoystickObjects joystickObjects;

} // namespace

const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT),   sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256,
    keyboardObjects.objects};
const DIDATAFORMAT c_dfDIMouse = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7,
    mouseObjects};
const DIDATAFORMAT c_dfDIJoystick = {
    sizeof(DIDATAFORMAT),   sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(DIJOYSTATE), 44,
    joystickObjects.objects};

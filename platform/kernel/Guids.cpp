// Interface identifiers that belong to COM as a whole rather than to one library of the
// stand-in, defined once here with their real values.
#include <windef.h>

extern const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

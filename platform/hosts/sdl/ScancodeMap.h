// SDL scancodes (USB HID usage codes) to DirectInput scan codes (PC set-1
// make codes, extended keys + 0x80). Keys without a DIK code map to 0.
#pragma once

namespace tarn::hosts {

int DikFromSdlScancode(int scancode);

}  // namespace tarn::hosts

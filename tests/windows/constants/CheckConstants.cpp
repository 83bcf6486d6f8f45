// The stand-ins' constants (stand_in_constants.inc, generated from
// platform/*/include) asserted against the platform's own headers.
#define DIRECTINPUT_VERSION 0x0700
#include <windows.h>
#include <commdlg.h>
#include <ddraw.h>
#include <d3d.h>
#include <dinput.h>

#include "stand_in_constants.inc"

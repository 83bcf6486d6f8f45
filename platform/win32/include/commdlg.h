// Common dialogs as the system calls them: the open and save file dialogs.
//
// Implemented over Host::FileDialog (platform/win32/Host.h): the host shows
// a real dialog (GTK) or answers from a queue (tests). The stand-in parses
// the filter pairs, passes the preset name unless it is a pattern, and on OK
// fills lpstrFile (the full path), lpstrFileTitle (the bare name),
// nFileOffset and nFileExtension, all in code page 949.
//
// Behaviour chosen where the platform leaves room:
//   - lStructSize must be 76 (the old OPENFILENAME size the system passes) or
//     sizeof(OPENFILENAMEA); any other size fails with CDERR_STRUCTSIZE;
//   - lpstrDefExt is appended, after a dot, to a chosen name without an
//     extension; a leading dot in lpstrDefExt is not doubled;
//   - OFN_FILEMUSTEXIST makes the open dialog answer 0 for a name that does
//     not exist (a real dialog would not let it be chosen); save dialogs
//     create files and ignore it;
//   - without OFN_NOCHANGEDIR the working directory moves to the chosen
//     file's folder, as the platform's dialogs do;
//   - a result that does not fit the caller's buffers fails with
//     FNERR_BUFFERTOOSMALL, and nothing is changed.
// Not implemented: hooks, templates, multiple selection, OFN_ALLOWMULTISELECT.
#pragma once

#include "windef.h"

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;

#define OPENFILENAME_SIZE_VERSION_400A 76

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_EXPLORER 0x00080000

#define CDERR_STRUCTSIZE 0x0001
#define CDERR_INITIALIZATION 0x0002
#define FNERR_BUFFERTOOSMALL 0x3003
#define FNERR_INVALIDFILENAME 0x3002

BOOL GetOpenFileNameA(LPOPENFILENAMEA dialog);
BOOL GetSaveFileNameA(LPOPENFILENAMEA dialog);
DWORD CommDlgExtendedError();

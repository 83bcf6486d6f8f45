// Base types of the Win32 API as the system's code names them.
//
// Implemented: the integer and handle types, HRESULT with its success tests
// and the few result codes the stand-ins return, RECT/POINT, GUID and the
// IUnknown base of the COM-style interfaces. Not implemented: anything
// Unicode (the system calls only the ANSI entry points).
//
// Sizes follow the 32-bit platform where records depend on them (DWORD and
// LONG are 32 bits); pointers and handles are native, so records that hold
// them are laid out for 64-bit and their dwSize is their sizeof.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define CONST const

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using LONGLONG = std::int64_t;
using HRESULT = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using FLOAT = float;
using D3DVALUE = float;

using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;
using PVOID = void*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL nullptr
#endif
#define MAX_PATH 260

// Handles are distinct opaque pointer types so they cannot be mixed up.
#define TARN_DECLARE_HANDLE(name) \
  struct name##__ {               \
    int unused;                   \
  };                              \
  using name = name##__*
TARN_DECLARE_HANDLE(HWND);
TARN_DECLARE_HANDLE(HINSTANCE);
TARN_DECLARE_HANDLE(HMENU);
TARN_DECLARE_HANDLE(HDC);
TARN_DECLARE_HANDLE(HICON);
TARN_DECLARE_HANDLE(HBRUSH);
TARN_DECLARE_HANDLE(HFONT);
TARN_DECLARE_HANDLE(HPEN);
TARN_DECLARE_HANDLE(HBITMAP);
TARN_DECLARE_HANDLE(HMONITOR);
using HCURSOR = HICON;
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;
using HANDLE = void*;

struct RECT {
  LONG left, top, right, bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;
struct POINT {
  LONG x, y;
};
using LPPOINT = POINT*;
struct SIZE {
  LONG cx, cy;
};

// HRESULTs: 0 is success, failures are negative.
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define TARN_HR(v) static_cast<HRESULT>(static_cast<std::uint32_t>(v))
#define S_OK TARN_HR(0x00000000u)
#define S_FALSE TARN_HR(0x00000001u)
#define E_NOTIMPL TARN_HR(0x80004001u)
#define E_NOINTERFACE TARN_HR(0x80004002u)
#define E_POINTER TARN_HR(0x80004003u)
#define E_FAIL TARN_HR(0x80004005u)
#define E_OUTOFMEMORY TARN_HR(0x8007000Eu)
#define E_INVALIDARG TARN_HR(0x80070057u)

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using LPGUID = GUID*;
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

// The base of every COM-style interface the stand-ins hand out. Reference
// counts start at 1 for the creator; Release of the last reference frees.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

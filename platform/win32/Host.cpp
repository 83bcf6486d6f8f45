// The default host: no display, message boxes on stderr, the system clock.
#include "platform/win32/Host.h"

#include <chrono>
#include <cstdio>

namespace tarn::win32 {
namespace {
Host defaultHost;
Host* current = &defaultHost;
}  // namespace

int Host::MessageBox(HWND, const std::string& textUtf8, const std::string& captionUtf8, UINT type) {
  std::fprintf(stderr, "[%s] %s\n", captionUtf8.c_str(), textUtf8.c_str());
  switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return IDYES;
    default:
      return IDOK;
  }
}

DWORD Host::TickCount() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Host& CurrentHost() { return *current; }
void SetHost(Host* host) { current = host != nullptr ? host : &defaultHost; }

}  // namespace tarn::win32

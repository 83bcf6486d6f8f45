// x11-close-window NAME: asks every top-level X window titled NAME to close,
// as a window manager's close button does (WM_DELETE_WINDOW). Exit status 0
// when at least one window was asked, 1 when none has that title, 2 without
// an X display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

namespace {

int AskToClose(Display* display, Window window, const char* name, Atom protocols, Atom deleteWindow) {
  int asked = 0;
  char* title = nullptr;
  if (XFetchName(display, window, &title) && title != nullptr) {
    if (std::strcmp(title, name) == 0) {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = protocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(deleteWindow);
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(display, window, False, NoEventMask, &event);
      ++asked;
    }
    XFree(title);
  }
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) asked += AskToClose(display, children[i], name, protocols, deleteWindow);
    if (children) XFree(children);
  }
  return asked;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: x11-close-window NAME\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 2;
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  const int asked = AskToClose(display, DefaultRootWindow(display), argv[1], protocols, deleteWindow);
  XFlush(display);
  XCloseDisplay(display);
  return asked > 0 ? 0 : 1;
}

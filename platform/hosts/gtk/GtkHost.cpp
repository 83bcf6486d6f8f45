#include "platform/hosts/gtk/GtkHost.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/codepage/Cp949.h"
#include "platform/hosts/gtk/BoxText.h"
#include "platform/hosts/signals/QuitSignals.h"
#include "platform/win32/MenuTable.h"
#include "platform/win32/PaintHooks.h"
#include "platform/win32/WindowTable.h"

namespace tarn::hosts {

struct GtkHost::Impl {
  struct Window {
    GtkWidget* window = nullptr;
    GtkWidget* box = nullptr;
    GtkWidget* menuBar = nullptr;
    GtkWidget* client = nullptr;
    // The client area's pixels (5-6-5), drawn into by GDI during WM_PAINT
    // and shown by the drawing area.
    std::vector<std::uint16_t> pixels;
    int width = 0, height = 0;
  };
  std::map<HWND, Window> windows;
  // The message box or file dialog running now, if any.
  GtkWidget* modal = nullptr;
  QuitSignals signals{QuitSignals::Ending::kQuitPath};
  guint signalSource = 0;
  bool screenshotTaken = false;
  std::string screenshotPath;
  GtkWidget* screenshotWindow = nullptr;
};

namespace {

const char kHandleKey[] = "tarn-hwnd";
const char kCommandKey[] = "tarn-command";
// A message box's lines, in columns of the default font (Hangul counts two).
constexpr int kBoxColumns = 60;

HWND HandleOf(gpointer widget) { return static_cast<HWND>(g_object_get_data(G_OBJECT(widget), kHandleKey)); }

// '&' marks the mnemonic in USER, '_' in GTK; "&&" is a plain '&'.
std::string MnemonicLabel(const std::string& cp949) {
  std::string text = codepage::Cp949ToUtf8(cp949), label;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_') {
      label += "__";
    } else if (c == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        label += '&';
        ++i;
      } else {
        label += '_';
      }
    } else {
      label += c;
    }
  }
  return label;
}

void OnMenuItem(GtkMenuItem* item, gpointer) {
  HWND window = HandleOf(item);
  UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kCommandKey));
  PostMessageA(window, WM_COMMAND, id, 0);
}

void FillMenu(GtkWidget* shell, HMENU menu, HWND window, int depth) {
  const auto* items = win32::FindMenuItems(menu);
  if (items == nullptr || depth > 16) return;
  for (const win32::MenuItem& item : *items) {
    GtkWidget* widget;
    if (item.flags & MF_SEPARATOR) {
      widget = gtk_separator_menu_item_new();
    } else {
      widget = gtk_menu_item_new_with_mnemonic(MnemonicLabel(item.text).c_str());
      if (item.flags & MF_POPUP) {
        GtkWidget* sub = gtk_menu_new();
        FillMenu(sub, item.popup, window, depth + 1);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), sub);
      } else {
        g_object_set_data(G_OBJECT(widget), kHandleKey, window);
        g_object_set_data(G_OBJECT(widget), kCommandKey, GUINT_TO_POINTER(item.id));
        g_signal_connect(widget, "activate", G_CALLBACK(OnMenuItem), nullptr);
      }
      if (item.flags & (MF_GRAYED | MF_DISABLED)) gtk_widget_set_sensitive(widget, FALSE);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(shell), widget);
  }
}

WPARAM VirtualKey(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_Tab: return VK_TAB;
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_space: return VK_SPACE;
    case GDK_KEY_Left: return VK_LEFT;
    case GDK_KEY_Right: return VK_RIGHT;
    case GDK_KEY_Up: return VK_UP;
    case GDK_KEY_Down: return VK_DOWN;
    default: break;
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return VK_F1 + (keyval - GDK_KEY_F1);
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + (keyval - GDK_KEY_A);
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + (keyval - GDK_KEY_0);
  return 0;
}

gboolean OnKey(GtkWidget* widget, GdkEventKey* event, gpointer) {
  WPARAM key = VirtualKey(event->keyval);
  if (key == 0) return FALSE;
  PostMessageA(HandleOf(widget), event->type == GDK_KEY_PRESS ? WM_KEYDOWN : WM_KEYUP, key, 1);
  return key == VK_ESCAPE ? TRUE : FALSE;  // other keys still reach the menu bar (F10, mnemonics)
}

gboolean OnDelete(GtkWidget* widget, GdkEvent*, gpointer) {
  PostMessageA(HandleOf(widget), WM_CLOSE, 0, 0);
  return TRUE;  // the window goes when the program destroys it
}

// The host whose windows the paint DC provider serves (one per process).
GtkHost::Impl* current = nullptr;

GtkHost::Impl::Window* FindWindow(HWND handle) {
  if (current == nullptr) return nullptr;
  auto it = current->windows.find(handle);
  return it != current->windows.end() ? &it->second : nullptr;
}

HDC ProvideDc(HWND handle) {
  GtkHost::Impl::Window* w = FindWindow(handle);
  if (w == nullptr || w->width <= 0 || w->height <= 0) return nullptr;
  return win32::CreateBufferDc(w->pixels.data(), w->width, w->height, w->width * 2);
}

void ReleaseDc(HWND handle, HDC dc) {
  win32::DeleteBufferDc(dc);
  if (GtkHost::Impl::Window* w = FindWindow(handle)) gtk_widget_queue_draw(w->client);
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer) {
  HWND handle = HandleOf(widget);
  GtkHost::Impl::Window* w = FindWindow(handle);
  if (w == nullptr) return FALSE;
  int width = gtk_widget_get_allocated_width(widget), height = gtk_widget_get_allocated_height(widget);
  if (width != w->width || height != w->height) {
    // A new size: a fresh white area, and WM_PAINT is due (not through
    // InvalidateRect, which would ask GTK to draw again).
    w->width = width;
    w->height = height;
    w->pixels.assign(static_cast<std::size_t>(width > 0 ? width : 0) * static_cast<std::size_t>(height > 0 ? height : 0),
                     0xFFFF);
    if (win32::WindowRecord* record = win32::FindWindowRecord(handle)) record->needsPaint = true;
  }
  if (width <= 0 || height <= 0) return FALSE;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  int stride = cairo_image_surface_get_stride(image);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    const std::uint16_t* source = &w->pixels[static_cast<std::size_t>(y) * width];
    for (int x = 0; x < width; ++x) {
      std::uint32_t p = source[x];
      std::uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
      row[x] = ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
    }
  }
  cairo_surface_mark_dirty(image);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);
  cairo_surface_destroy(image);
  return FALSE;
}

gboolean TakeScreenshot(gpointer data) {
  auto* impl = static_cast<GtkHost::Impl*>(data);
  GdkWindow* gdk = impl->screenshotWindow != nullptr ? gtk_widget_get_window(impl->screenshotWindow) : nullptr;
  if (gdk != nullptr) {
    int w = gdk_window_get_width(gdk), h = gdk_window_get_height(gdk);
    if (GdkPixbuf* picture = gdk_pixbuf_get_from_window(gdk, 0, 0, w, h)) {
      gdk_pixbuf_save(picture, impl->screenshotPath.c_str(), "png", nullptr, nullptr);
      g_object_unref(picture);
    }
  }
  return G_SOURCE_REMOVE;
}

// SIGINT, SIGTERM or SIGHUP: the program ends as when its windows are
// closed. Every running dialog is cancelled first, since its command would
// otherwise hold the message loop until someone answered it: ours, and the
// ones GTK runs inside them (the file chooser's own error and confirmation
// boxes), each in a loop nested in the one below it.
gboolean LookForQuitSignal(gpointer data) {
  auto* impl = static_cast<GtkHost::Impl*>(data);
  if (impl->signals.Take() == 0) return G_SOURCE_CONTINUE;
  GList* windows = gtk_window_list_toplevels();
  for (GList* l = windows; l != nullptr; l = l->next)
    if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_CANCEL);
  g_list_free(windows);
  if (impl->modal != nullptr) gtk_dialog_response(GTK_DIALOG(impl->modal), GTK_RESPONSE_CANCEL);
  for (const auto& [handle, w] : impl->windows) PostMessageA(handle, WM_CLOSE, 0, 0);
  return G_SOURCE_CONTINUE;
}
gboolean OnQuitSignal(gint, GIOCondition, gpointer data) { return LookForQuitSignal(data); }

GtkWindow* Parent(GtkHost::Impl& impl, HWND owner) {
  auto it = impl.windows.find(owner);
  if (it == impl.windows.end() && !impl.windows.empty()) it = impl.windows.begin();
  return it != impl.windows.end() ? GTK_WINDOW(it->second.window) : nullptr;
}

// A dialog no larger than the work area of the monitor its parent is on (or
// the first one): GTK sizes the file chooser from the font (1096 x 822 with
// the default one), which leaves Open and Cancel off a 1024 x 768 screen.
// A maximum size hint bounds every size GTK or a window manager picks later.
void FitScreen(GtkWidget* dialog, GtkWindow* parent) {
  GdkDisplay* display = gtk_widget_get_display(dialog);
  GdkMonitor* monitor = nullptr;
  if (parent != nullptr && gtk_widget_get_window(GTK_WIDGET(parent)) != nullptr)
    monitor = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(GTK_WIDGET(parent)));
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  if (monitor == nullptr) return;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  if (area.width <= 0 || area.height <= 0) return;
  GdkGeometry hints{};
  hints.max_width = area.width;
  hints.max_height = area.height;
  gtk_window_set_geometry_hints(GTK_WINDOW(dialog), nullptr, &hints, GDK_HINT_MAX_SIZE);
}

}  // namespace

bool GtkHost::Initialise(int* argc, char*** argv) {
  gtk_disable_setlocale();
  return gtk_init_check(argc, argv) != FALSE;
}

GtkHost::GtkHost() : impl_(std::make_unique<Impl>()) {
  current = impl_.get();
  win32::SetWindowDcProvider(ProvideDc, ReleaseDc);
  // Without a descriptor to watch (none could be made), a look every 50 ms.
  const int wake = impl_->signals.WakeDescriptor();
  impl_->signalSource = wake >= 0 ? g_unix_fd_add(wake, G_IO_IN, OnQuitSignal, impl_.get())
                                  : g_timeout_add(50, LookForQuitSignal, impl_.get());
}
GtkHost::~GtkHost() {
  if (impl_->signalSource != 0) g_source_remove(impl_->signalSource);
  win32::SetWindowDcProvider(nullptr, nullptr);
  current = nullptr;
  for (auto& [handle, w] : impl_->windows) gtk_widget_destroy(w.window);
}

void GtkHost::WindowCreated(HWND handle, const std::string& title, int, int, int width, int height, DWORD) {
  Impl::Window w;
  w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(w.window), title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(w.window), width > 0 ? width : 640, height > 0 ? height : 480);
  if (iconXpm_ != nullptr) {
    if (GdkPixbuf* icon = gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(iconXpm_))) {
      gtk_window_set_icon(GTK_WINDOW(w.window), icon);
      g_object_unref(icon);
    }
  }
  w.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(w.window), w.box);
  w.client = gtk_drawing_area_new();
  gtk_widget_set_hexpand(w.client, TRUE);
  gtk_widget_set_vexpand(w.client, TRUE);
  gtk_box_pack_end(GTK_BOX(w.box), w.client, TRUE, TRUE, 0);
  for (GtkWidget* widget : {w.window, w.client}) g_object_set_data(G_OBJECT(widget), kHandleKey, handle);
  g_signal_connect(w.window, "key-press-event", G_CALLBACK(OnKey), nullptr);
  g_signal_connect(w.window, "key-release-event", G_CALLBACK(OnKey), nullptr);
  g_signal_connect(w.window, "delete-event", G_CALLBACK(OnDelete), nullptr);
  g_signal_connect(w.client, "draw", G_CALLBACK(OnDraw), nullptr);
  impl_->windows[handle] = w;
  MenuBarChanged(handle);
}

void GtkHost::MenuBarChanged(HWND handle) {
  auto it = impl_->windows.find(handle);
  if (it == impl_->windows.end()) return;
  Impl::Window& w = it->second;
  if (w.menuBar != nullptr) gtk_widget_destroy(w.menuBar);
  w.menuBar = nullptr;
  HMENU menu = GetMenu(handle);
  if (menu == nullptr) return;
  w.menuBar = gtk_menu_bar_new();
  FillMenu(w.menuBar, menu, handle, 0);
  gtk_box_pack_start(GTK_BOX(w.box), w.menuBar, FALSE, FALSE, 0);
  if (gtk_widget_get_visible(w.window)) gtk_widget_show_all(w.menuBar);
}

void GtkHost::WindowShown(HWND handle, int command) {
  auto it = impl_->windows.find(handle);
  if (it == impl_->windows.end()) return;
  GtkWidget* window = it->second.window;
  if (command == SW_HIDE) {
    gtk_widget_hide(window);
    return;
  }
  gtk_widget_show_all(window);
  if (command == SW_SHOWMAXIMIZED) gtk_window_maximize(GTK_WINDOW(window));
  if (command == SW_SHOWMINIMIZED || command == SW_MINIMIZE) gtk_window_iconify(GTK_WINDOW(window));
  if (!screenshotPath_.empty() && !impl_->screenshotTaken) {
    impl_->screenshotTaken = true;
    impl_->screenshotPath = screenshotPath_;
    impl_->screenshotWindow = window;
    g_timeout_add(static_cast<guint>(screenshotDelay_), TakeScreenshot, impl_.get());
  }
}

void GtkHost::WindowDestroyed(HWND handle) {
  auto it = impl_->windows.find(handle);
  if (it == impl_->windows.end()) return;
  if (impl_->screenshotWindow == it->second.window) impl_->screenshotWindow = nullptr;
  gtk_widget_destroy(it->second.window);
  impl_->windows.erase(it);
}

void GtkHost::WindowInvalidated(HWND handle) {
  auto it = impl_->windows.find(handle);
  if (it != impl_->windows.end()) gtk_widget_queue_draw(it->second.client);
}

void GtkHost::PumpEvents(int waitMilliseconds) {
  if (waitMilliseconds > 0 && !g_main_context_pending(nullptr)) {
    // Sleep in poll() until an event or the timeout: the idle tool costs nothing.
    guint timer = g_timeout_add(static_cast<guint>(waitMilliseconds), [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, timer)) g_source_destroy(source);
  }
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

int GtkHost::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  GtkMessageType kind = GTK_MESSAGE_INFO;
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: kind = GTK_MESSAGE_ERROR; break;
    case MB_ICONQUESTION: kind = GTK_MESSAGE_QUESTION; break;
    case MB_ICONWARNING: kind = GTK_MESSAGE_WARNING; break;
    default: break;
  }
  GtkWidget* dialog = gtk_message_dialog_new(Parent(*impl_, owner), GTK_DIALOG_MODAL, kind, GTK_BUTTONS_NONE, "%s",
                                             WrapAtBlanks(text, kBoxColumns).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
  GList* labels = gtk_container_get_children(GTK_CONTAINER(area));
  for (GList* l = labels; l != nullptr; l = l->next)
    if (GTK_IS_LABEL(l->data)) gtk_label_set_line_wrap(GTK_LABEL(l->data), FALSE);
  g_list_free(labels);
  struct Button {
    const char* label;
    int id;
  };
  std::vector<Button> buttons;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = {{"_OK", IDOK}, {"_Cancel", IDCANCEL}}; break;
    case MB_YESNO: buttons = {{"_Yes", IDYES}, {"_No", IDNO}}; break;
    case MB_YESNOCANCEL: buttons = {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}}; break;
    case MB_RETRYCANCEL: buttons = {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE: buttons = {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}}; break;
    default: buttons = {{"_OK", IDOK}}; break;
  }
  for (const Button& b : buttons) gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.id);
  FitScreen(dialog, Parent(*impl_, owner));
  impl_->modal = dialog;
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  impl_->modal = nullptr;
  gtk_widget_destroy(dialog);
  if (response < 0) {  // closed without a button: the platform answers Cancel, or OK when there is none
    bool hasCancel = false;
    for (const Button& b : buttons) hasCancel |= b.id == IDCANCEL;
    response = hasCancel ? IDCANCEL : (buttons.size() == 1 ? IDOK : buttons.back().id);
  }
  return response;
}

bool GtkHost::FileDialog(HWND owner, const FileDialogRequest& request, std::string* chosen) {
  GtkFileChooserAction action = request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
  GtkWidget* dialog = gtk_file_chooser_dialog_new(request.titleUtf8.c_str(), Parent(*impl_, owner), action, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, request.save ? "_Save" : "_Open",
                                                  GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  int index = 1;
  for (const auto& [description, patterns] : request.filtersUtf8) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, description.c_str());
    std::size_t start = 0;
    while (start <= patterns.size()) {
      std::size_t end = patterns.find(';', start);
      std::string pattern = patterns.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!pattern.empty()) {
        // The platform matches names without regard to case.
        std::string lower = pattern, upper = pattern;
        for (char& c : lower) c = static_cast<char>(g_ascii_tolower(c));
        for (char& c : upper) c = static_cast<char>(g_ascii_toupper(c));
        gtk_file_filter_add_pattern(filter, lower.c_str());
        gtk_file_filter_add_pattern(filter, upper.c_str());
        if (pattern != lower && pattern != upper) gtk_file_filter_add_pattern(filter, pattern.c_str());
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
    gtk_file_chooser_add_filter(chooser, filter);
    if (index++ == request.filterIndex) gtk_file_chooser_set_filter(chooser, filter);
  }
  if (gchar* cwd = g_get_current_dir()) {
    gtk_file_chooser_set_current_folder(chooser, cwd);
    g_free(cwd);
  }
  if (request.save && !request.initialNameUtf8.empty())
    gtk_file_chooser_set_current_name(chooser, request.initialNameUtf8.c_str());
  bool ok = false;
  FitScreen(dialog, Parent(*impl_, owner));
  impl_->modal = dialog;
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  impl_->modal = nullptr;
  if (response == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
      if (gchar* utf8 = g_filename_to_utf8(name, -1, nullptr, nullptr, nullptr)) {
        *chosen = utf8;
        ok = true;
        g_free(utf8);
      }
      g_free(name);
    }
  }
  gtk_widget_destroy(dialog);
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  return ok;
}

}  // namespace tarn::hosts

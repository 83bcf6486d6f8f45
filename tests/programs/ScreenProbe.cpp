// x11-screen-probe --paint-root: paints the root window magenta (255 0 255),
// a colour no frame of the engine has, so that what no window covers shows.
// x11-screen-probe [--png FILE] [X Y W H]...: reads what the X screen shows
// and prints
//   screen W H
//   root N              how many pixels are the root's magenta (uncovered)
//   content X Y W H     the smallest rectangle holding every pixel that is
//                       neither black nor the root's magenta ("content none"
//                       when there is none)
//   bright X Y W H N    per rectangle asked for: how many of its pixels are
//                       near white (each channel >= 205)
// --png writes the screen as a PNG, for a person to look at. Exit status 0,
// 1 for a bad command line, 2 without an X display.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Rgb {
  int r, g, b;
};

bool IsRoot(const Rgb& c) { return c.r == 255 && c.g == 0 && c.b == 255; }

int PaintRoot(Display* display) {
  XColor magenta{};
  magenta.red = 0xffff;
  magenta.green = 0;
  magenta.blue = 0xffff;
  magenta.flags = DoRed | DoGreen | DoBlue;
  if (XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &magenta) == 0) return 2;
  const Window root = DefaultRootWindow(display);
  XSetWindowBackground(display, root, magenta.pixel);
  XClearWindow(display, root);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}

// libpng reports failures by longjmp, hence the plain setjmp form.
bool WriteRows(std::FILE* file, png_structp png, png_infop info, const std::vector<unsigned char>& rgb, int width,
               int height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(&rgb[static_cast<std::size_t>(y) * width * 3]));
  png_write_end(png, nullptr);
  return true;
}

bool WritePng(const char* path, const std::vector<unsigned char>& rgb, int width, int height) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool ok = info != nullptr && WriteRows(file, png, info, rgb, width, height);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char* pngPath = nullptr;
  std::vector<int> rects;
  bool paintRoot = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--paint-root") == 0) {
      paintRoot = true;
    } else if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      pngPath = argv[++i];
    } else {
      char* end = nullptr;
      const long v = std::strtol(argv[i], &end, 10);
      if (*end != '\0' || v < -100000 || v > 100000) {
        std::fprintf(stderr, "usage: x11-screen-probe [--png FILE] [X Y W H]...\n");
        return 1;
      }
      rects.push_back(static_cast<int>(v));
    }
  }
  if (rects.size() % 4 != 0) {
    std::fprintf(stderr, "x11-screen-probe: rectangles take four numbers\n");
    return 1;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 2;
  if (paintRoot) return PaintRoot(display);
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  const int width = attributes.width, height = attributes.height;
  XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                            ZPixmap);
  if (image == nullptr) {
    XCloseDisplay(display);
    return 2;
  }
  auto channel = [](unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long top = mask >> shift;
    return static_cast<int>(((pixel >> shift) & top) * 255 / top);
  };
  std::vector<Rgb> pixels(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      pixels[static_cast<std::size_t>(y) * width + x] = {channel(p, image->red_mask), channel(p, image->green_mask),
                                                         channel(p, image->blue_mask)};
    }
  XDestroyImage(image);
  XCloseDisplay(display);

  std::printf("screen %d %d\n", width, height);
  int left = width, top = height, right = -1, bottom = -1;
  long uncovered = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb& c = pixels[static_cast<std::size_t>(y) * width + x];
      if (IsRoot(c)) {
        ++uncovered;
      } else if (c.r > 16 || c.g > 16 || c.b > 16) {
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < top) top = y;
        if (y > bottom) bottom = y;
      }
    }
  std::printf("root %ld\n", uncovered);
  if (right < 0)
    std::printf("content none\n");
  else
    std::printf("content %d %d %d %d\n", left, top, right - left + 1, bottom - top + 1);
  for (std::size_t r = 0; r < rects.size(); r += 4) {
    int count = 0;
    for (int y = rects[r + 1]; y < rects[r + 1] + rects[r + 3]; ++y)
      for (int x = rects[r]; x < rects[r] + rects[r + 2]; ++x) {
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        const Rgb& c = pixels[static_cast<std::size_t>(y) * width + x];
        if (c.r >= 205 && c.g >= 205 && c.b >= 205) ++count;
      }
    std::printf("bright %d %d %d %d %d\n", rects[r], rects[r + 1], rects[r + 2], rects[r + 3], count);
  }
  if (pngPath != nullptr) {
    std::vector<unsigned char> rgb(pixels.size() * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      rgb[i * 3] = static_cast<unsigned char>(pixels[i].r);
      rgb[i * 3 + 1] = static_cast<unsigned char>(pixels[i].g);
      rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i].b);
    }
    if (!WritePng(pngPath, rgb, width, height)) std::fprintf(stderr, "x11-screen-probe: cannot write %s\n", pngPath);
  }
  return 0;
}

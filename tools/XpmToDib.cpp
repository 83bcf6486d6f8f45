// xpm-to-dib: turns an XPM picture into the 16-colour Windows pictures that
// windres links into a program: an icon file (.ico, one image with its
// transparency mask) or a bitmap file (.bmp). Built and run on the build
// machine, so that the pictures are kept as text beside the resource script.
//
//   xpm-to-dib ico|bmp INPUT.xpm OUTPUT
//
// Colours are "#RRGGBB" or "None" (transparent; black in the colour image),
// at most 16 of them, one character per pixel. Exit status 1 with a message
// on stderr for anything else.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::vector<bool> transparent;       // per palette entry
  std::vector<std::uint8_t> pixels;    // palette indices, top row first
};

bool Fail(const std::string& why) {
  std::fprintf(stderr, "xpm-to-dib: %s\n", why.c_str());
  return false;
}

// The quoted strings of an XPM file, in order.
std::vector<std::string> QuotedStrings(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '"') continue;
    std::size_t close = text.find('"', i + 1);
    if (close == std::string::npos) break;
    out.push_back(text.substr(i + 1, close - i - 1));
    i = close;
  }
  return out;
}

bool ReadXpm(const std::string& path, Picture& p) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::vector<std::string> lines = QuotedStrings(buffer.str());
  if (lines.empty()) return Fail(path + ": no XPM header");
  int colours = 0, perPixel = 0;
  if (std::sscanf(lines[0].c_str(), "%d %d %d %d", &p.width, &p.height, &colours, &perPixel) != 4 || perPixel != 1 ||
      p.width <= 0 || p.height <= 0 || p.width > 256 || p.height > 256 || colours <= 0 || colours > 16)
    return Fail(path + ": want one character per pixel, at most 16 colours and 256 x 256 pixels");
  if (lines.size() != static_cast<std::size_t>(1 + colours + p.height))
    return Fail(path + ": the line count does not match the header");
  std::map<char, std::uint8_t> index;
  for (int c = 0; c < colours; ++c) {
    const std::string& line = lines[1 + c];
    std::size_t key = line.find(" c ");
    if (line.empty() || key != 1) return Fail(path + ": bad colour line '" + line + "'");
    std::string value = line.substr(4);
    index[line[0]] = static_cast<std::uint8_t>(c);
    if (value == "None") {
      p.palette.push_back(0);
      p.transparent.push_back(true);
    } else if (value.size() == 7 && value[0] == '#') {
      p.palette.push_back(static_cast<std::uint32_t>(std::stoul(value.substr(1), nullptr, 16)));
      p.transparent.push_back(false);
    } else {
      return Fail(path + ": colours are #RRGGBB or None");
    }
  }
  for (int y = 0; y < p.height; ++y) {
    const std::string& row = lines[1 + colours + y];
    if (row.size() != static_cast<std::size_t>(p.width)) return Fail(path + ": a row of the wrong width");
    for (char c : row) {
      auto it = index.find(c);
      if (it == index.end()) return Fail(path + ": a pixel of no colour");
      p.pixels.push_back(it->second);
    }
  }
  return true;
}

void Put16(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// BITMAPINFOHEADER, 16 palette entries and the 4-bit rows, bottom row
// first, each padded to 4 bytes; `heightField` is doubled for icons.
std::string Dib(const Picture& p, int heightField, std::uint32_t imageBytes) {
  std::string out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(p.width));
  Put32(out, static_cast<std::uint32_t>(heightField));
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, 0);  // BI_RGB
  Put32(out, imageBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 16);
  Put32(out, 0);
  for (int i = 0; i < 16; ++i) {
    std::uint32_t c = i < static_cast<int>(p.palette.size()) ? p.palette[i] : 0;
    out.push_back(static_cast<char>(c & 0xFF));          // blue
    out.push_back(static_cast<char>((c >> 8) & 0xFF));   // green
    out.push_back(static_cast<char>((c >> 16) & 0xFF));  // red
    out.push_back(0);
  }
  const int stride = ((p.width * 4 + 31) / 32) * 4;
  for (int y = p.height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < p.width; ++x) {
      std::uint8_t v = p.pixels[static_cast<std::size_t>(y * p.width + x)];
      if (p.transparent[v]) v = 0;
      row[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? v << 4 : v);
    }
    out += row;
  }
  return out;
}

std::string MaskRows(const Picture& p) {
  const int stride = ((p.width + 31) / 32) * 4;
  std::string out;
  for (int y = p.height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < p.width; ++x)
      if (p.transparent[p.pixels[static_cast<std::size_t>(y * p.width + x)]])
        row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    out += row;
  }
  return out;
}

std::string Icon(const Picture& p) {
  const std::uint32_t colourBytes = static_cast<std::uint32_t>(((p.width * 4 + 31) / 32) * 4 * p.height);
  std::string image = Dib(p, p.height * 2, colourBytes) + MaskRows(p);
  std::string out;
  Put16(out, 0);
  Put16(out, 1);  // an icon
  Put16(out, 1);  // one image
  out.push_back(static_cast<char>(p.width == 256 ? 0 : p.width));
  out.push_back(static_cast<char>(p.height == 256 ? 0 : p.height));
  out.push_back(16);  // colours
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, static_cast<std::uint32_t>(image.size()));
  Put32(out, 22);  // offset of the image
  return out + image;
}

std::string Bitmap(const Picture& p) {
  const std::uint32_t colourBytes = static_cast<std::uint32_t>(((p.width * 4 + 31) / 32) * 4 * p.height);
  std::string dib = Dib(p, p.height, colourBytes);
  std::string out = "BM";
  Put32(out, static_cast<std::uint32_t>(14 + dib.size()));
  Put32(out, 0);
  Put32(out, 14 + 40 + 64);  // offset of the pixels
  return out + dib;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::string(argv[1]) != "ico" && std::string(argv[1]) != "bmp")) {
    std::fputs("usage: xpm-to-dib ico|bmp INPUT.xpm OUTPUT\n", stderr);
    return 2;
  }
  Picture picture;
  if (!ReadXpm(argv[2], picture)) return 1;
  std::string bytes = std::string(argv[1]) == "ico" ? Icon(picture) : Bitmap(picture);
  std::ofstream out(argv[3], std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) return Fail(std::string("cannot write ") + argv[3]) ? 0 : 1;
  return 0;
}

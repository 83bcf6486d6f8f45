// The fast number printer against snprintf: the model, physique and motion
// files must hold exactly what "%f" and "%3.4f" print.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "formats/LineScan.h"
#include "tool/TextSink.h"

namespace tarn::tool {
namespace {

std::string Fast(float v, int decimals) {
  char buffer[80];
  return std::string(buffer, FormatFixed(buffer, v, decimals));
}
std::string Reference(float v, int decimals) {
  char buffer[80];
  if (decimals == 4)
    std::snprintf(buffer, sizeof buffer, "%3.4f", static_cast<double>(v));
  else
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, static_cast<double>(v));
  return buffer;
}

TEST(FormatFixed, MatchesPrintfOnSpecialValues) {
  const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-7f, -1e-7f, 0.0078125f /* tie at 6 decimals */,
                          0.00005f, 0.000005f, 2.5e-5f, 123456.789f, -98765.4321f, 16777216.0f, 1e15f, 9.0e15f,
                          1e20f, -3.4e38f, std::numeric_limits<float>::denorm_min(),
                          std::numeric_limits<float>::min(), std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(), 0.03125f, 0.09375f, 1.00005f, 2.00000048f};
  for (float v : values)
    for (int d : {4, 6}) EXPECT_EQ(Fast(v, d), Reference(v, d)) << v << " with " << d << " decimals";
}

TEST(FormatFixed, MatchesPrintfOnRandomBitPatterns) {
  std::mt19937 random(1234);
  for (int i = 0; i < 200000; ++i) {
    std::uint32_t bits = random();
    float v;
    std::memcpy(&v, &bits, sizeof v);
    ASSERT_EQ(Fast(v, 6), Reference(v, 6)) << bits;
    ASSERT_EQ(Fast(v, 4), Reference(v, 4)) << bits;
  }
}

TEST(FormatFixed, MatchesPrintfOnCoordinatesAndHalfwayCases) {
  std::mt19937 random(99);
  std::uniform_real_distribution<float> coordinate(-5000.0f, 5000.0f);
  for (int i = 0; i < 200000; ++i) {
    float v = coordinate(random);
    ASSERT_EQ(Fast(v, 6), Reference(v, 6)) << v;
    ASSERT_EQ(Fast(v, 4), Reference(v, 4)) << v;
  }
  // Exact halves of the last printed digit: k / 2^(d+1) with odd k.
  for (int k = 1; k < 4000; k += 2) {
    float six = std::ldexp(static_cast<float>(k), -7), four = std::ldexp(static_cast<float>(k), -5);
    ASSERT_EQ(Fast(six, 6), Reference(six, 6)) << six;
    ASSERT_EQ(Fast(four, 4), Reference(four, 4)) << four;
    ASSERT_EQ(Fast(-four, 4), Reference(-four, 4)) << -four;
  }
}

TEST(FormatInt, MatchesPrintf) {
  for (int v : {0, 1, -1, 9, 10, 65535, -2147483647 - 1, 2147483647, 123456789}) {
    char buffer[16], reference[16];
    std::snprintf(reference, sizeof reference, "%d", v);
    EXPECT_EQ(std::string(buffer, FormatInt(buffer, v)), reference);
  }
}

// What the motion writer reads from a sample line: numbers copied as text
// where the export wrote them as "%.4f" prints, read and printed otherwise;
// either way the text sscanf and "%3.4f" give, fields not reached kept.
TEST(ScanIntAndFixed4, GivesWhatScanningAndPrintingGive) {
  const char* tokens[] = {"0.0000", "-0.0000", "1.2345", "-999.9999", "999.9999", "1000.0000", "-1023.9999",
                          "0.5", "00.1234", "1.23456", "1.2345e1", "+1.2345", ".1234", "12.3456x", "nan",
                          "5", "-", "", "7.0000", "123.4567", "0.00005", "-0.0001"};
  std::mt19937 random(3);
  for (int i = 0; i < 20000; ++i) {
    int count = 3 + static_cast<int>(random() % 2);
    std::string line = random() % 8 ? "160" : (random() % 2 ? "-3x" : "1e2");
    int fields = static_cast<int>(random() % 6);
    for (int k = 0; k < fields; ++k) {
      line += random() % 2 ? " " : "\t";
      if (random() % 3 == 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", static_cast<double>(static_cast<int>(random() % 4000000) - 2000000) / 1000.0);
        line += text;
      } else {
        line += tokens[random() % (sizeof tokens / sizeof *tokens)];
      }
    }
    // Start both from the same earlier values.
    Fixed4Text got[4];
    float kept[4] = {1.5f, -2.25f, 3.0f, 0.125f};
    for (int k = 0; k < 4; ++k) got[k].Set(kept[k]);
    int gotTick = -7, wantTick = -7;
    ScanIntAndFixed4(line, &gotTick, got, count);
    float f[4] = {kept[0], kept[1], kept[2], kept[3]};
    if (count == 3)
      formats::ScanLine(line, "%d %f %f %f", &wantTick, &f[0], &f[1], &f[2]);
    else
      formats::ScanLine(line, "%d %f %f %f %f", &wantTick, &f[0], &f[1], &f[2], &f[3]);
    ASSERT_EQ(gotTick, wantTick) << line;
    for (int k = 0; k < count; ++k) ASSERT_EQ(std::string(got[k].View()), Reference(f[k], 4)) << line << " field " << k;
  }
}

TEST(TextSink, LongOutputCrossesItsBufferIntact) {
  std::string text;
  std::string expected;
  {
    TextSink sink(&text);
    for (int i = 0; i < 20000; ++i) {
      sink.Put("VERTEX").SpInt(i).SpFixed(i * 0.5f, 6).Put('\n');
      char line[64];
      std::snprintf(line, sizeof line, "VERTEX %d %f\n", i, static_cast<double>(i * 0.5f));
      expected += line;
    }
  }
  EXPECT_EQ(text, expected);
}

TEST(TextSink, ReportsAFailedWrite) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "SKIPPED: no /dev/full on this system";
  {
    TextSink sink(full);
    for (int i = 0; i < 100000; ++i) sink.Put("0123456789");
    EXPECT_FALSE(sink.Flush());
    EXPECT_TRUE(sink.Failed());
  }
  std::fclose(full);
}

}  // namespace
}  // namespace tarn::tool

#include "formats/LineScan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

using tarn::formats::ScanLine;
using tarn::formats::Word;

namespace {

// Compares one format against the C library's sscanf on the same line.
void ExpectSameAsSscanf(const std::string& line) {
  char a[16] = "keep", b[16] = "keep";
  float f1 = -7.0f, f2 = -7.0f;
  int d1 = -7, d2 = -7;
  char ra[16] = "keep", rb[16] = "keep";
  float rf1 = -7.0f, rf2 = -7.0f;
  int rd1 = -7, rd2 = -7;
  int got = ScanLine(line, "%s %f %d %f %s", a, &f1, &d1, &f2, b);
  int want = std::sscanf(line.c_str(), "%15s %f %d %f %15s", ra, &rf1, &rd1, &rf2, rb);
  SCOPED_TRACE("line: " + line);
  EXPECT_EQ(got, want);
  EXPECT_STREQ(a, ra);
  EXPECT_EQ(std::memcmp(&f1, &rf1, sizeof f1), 0) << f1 << " vs " << rf1;
  EXPECT_EQ(d1, rd1);
  EXPECT_EQ(std::memcmp(&f2, &rf2, sizeof f2), 0) << f2 << " vs " << rf2;
  EXPECT_STREQ(b, rb);
  got = ScanLine(line, "%d %d", &d1, &d2);
  want = std::sscanf(line.c_str(), "%d %d", &rd1, &rd2);
  EXPECT_EQ(got, want);
  EXPECT_EQ(d1, rd1);
  EXPECT_EQ(d2, rd2);
}

}  // namespace

TEST(LineScan, EdgeCasesMatchSscanf) {
  const char* cases[] = {
      "*MESH_TVERT 0 -1.#IND -1.#IND 0.0000",
      "*MESH_VERTEX 0 1.5 2.25e1 -3",
      "k 0: 5",
      "k 1e 5", "k 1e+ 5", "k 1e+x 5", "k 1e-2 5", "k .5 .", "k - 5", "k + 5", "k . 5", "k -. 5",
      "k 0x 5", "k 0x1p 5", "k 0x1.8p1 5", "k inf 5", "k -infinity 5", "k infinit 5", "k nan 5",
      "k nan(1) 5", "k NaN 5", "k in 5", "k 1.5.3 5", "k 1,5 5", "k 00x12 5",
      "k 1e5000 -1e5000", "k 1e-50 1e-45", "k 3.4028236e38 5", "k 16777217 5",
      "k 0.1 2147483648", "k 0.1 -2147483649", "k 0.1 99999999999999999999", "k 0.1 +-1",
      "k 0.1 -0 -0.0", "k", "", "   ", "k 0.30000001192092896", "k 7.0000005e-1",
      "k 1.00000005960464477539062 5",  // exactly half-way between two floats
      "k 1.00000005960464477539063 5",
  };
  for (const char* c : cases) ExpectSameAsSscanf(c);
}

TEST(LineScan, RandomNumbersMatchSscanf) {
  std::mt19937 random(11);
  const char alphabet[] = "0123456789.eE+-xXpPinfaINF# \t:";
  for (int i = 0; i < 20000; ++i) {
    std::string line = "w ";
    int length = static_cast<int>(random() % 24);
    for (int j = 0; j < length; ++j) line.push_back(alphabet[random() % (sizeof alphabet - 1)]);
    ExpectSameAsSscanf(line);
  }
  // Well-formed reals of every magnitude round as strtof rounds them.
  for (int i = 0; i < 20000; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "v %.*e", static_cast<int>(random() % 12),
                  std::ldexp(static_cast<double>(random()) / 4294967296.0, static_cast<int>(random() % 260) - 130));
    ExpectSameAsSscanf(text);
  }
  // Plain decimals as exporters write them (the common case, read by a path
  // of its own), around seven significant digits where that path ends.
  for (int i = 0; i < 20000; ++i) {
    char text[64];
    double magnitude = static_cast<double>(random() % 100000000) / std::pow(10.0, static_cast<double>(random() % 12));
    std::snprintf(text, sizeof text, "v %s%.*f", random() % 2 ? "-" : "", static_cast<int>(random() % 12), magnitude);
    ExpectSameAsSscanf(text);
  }
}

TEST(LineScan, ScanNumbersStoresWhatScanLineStores) {
  std::mt19937 random(7);
  const char alphabet[] = "0123456789.-+e \t:x";
  for (int i = 0; i < 20000; ++i) {
    std::string line;
    int length = static_cast<int>(random() % 40);
    for (int j = 0; j < length; ++j) line.push_back(alphabet[random() % (sizeof alphabet - 1)]);
    int i1[4] = {-1, -2, -3, -4}, i2[4] = {-1, -2, -3, -4};
    float f1[3] = {-5, -6, -7}, f2[3] = {-5, -6, -7};
    ASSERT_EQ(tarn::formats::ScanNumbers(line, i1, 1, f1, 3), ScanLine(line, "%d %f %f %f", &i2[0], &f2[0], &f2[1], &f2[2])) << line;
    ASSERT_EQ(tarn::formats::ScanNumbers(line, i1 + 1, 3, nullptr, 0), ScanLine(line, "%d %d %d", &i2[1], &i2[2], &i2[3])) << line;
    for (int k = 0; k < 4; ++k) ASSERT_EQ(i1[k], i2[k]) << line;
    for (int k = 0; k < 3; ++k) ASSERT_EQ(std::memcmp(&f1[k], &f2[k], 4), 0) << line;
  }
}

// The converters (ScanNumbers), the world readers (ScanIndexReals3 /
// ScanIndexInts3, through FieldCursor) and the format interpreter must read
// a number line alike, and as sscanf reads it.
TEST(LineScan, EveryNumberScanReadsALineAlike) {
  const std::string longDigits(100000, '7');
  const std::string cases[] = {
      "+1 -2.5 +.5 -0", "-0 -0.0 +0 0",                                  // signs
      "1 1e3 1E-3 2.5e+38", "1 1e 2 3", "1 1e+ 2 3", "1 4e-46 1e-38 3",   // exponents
      "0x1F 0x1p3 0X.8 0x", "1 0x1.8p1 -0x10 0xg",                        // hex
      "2 inf -INF nan", "3 Infinity -nan NaN(1)", "4 infinit 1 2",         // words
      "2147483647 3.4028236e38 1e39 -1e400", "-2147483649 1 2 3",        // overflow
      "99999999999999999999 1 2 3",
      "5 " + longDigits + " 0." + longDigits + " " + longDigits + "e-99990",  // 100,000 digits
      longDigits + " 1 2 3",
      "6 1.5 2.5 3.5\r", "7 1 2\r", "\r", "8\r 1 2 3", "9 1.25\r\n",       // CR at the end
      "", "   ", "x 1 2 3", "1 2 x 3", "-", "1 . 2 3",
  };
  for (const std::string& line : cases) {
    SCOPED_TRACE("line: " + line.substr(0, 40));
    int i[4] = {-1, -1, -1, -1}, wantI[4] = {-1, -1, -1, -1}, ri[4] = {-1, -1, -1, -1};
    float f[3] = {-5, -6, -7}, wantF[3] = {-5, -6, -7}, rf[3] = {-5, -6, -7}, cf[3] = {-5, -6, -7};
    const int want = ScanLine(line, "%d %f %f %f", &wantI[0], &wantF[0], &wantF[1], &wantF[2]);
    EXPECT_EQ(std::sscanf(line.c_str(), "%d %f %f %f", &ri[0], &rf[0], &rf[1], &rf[2]), want);
    EXPECT_EQ(tarn::formats::ScanNumbers(line, i, 1, f, 3), want);
    int ci = -1;
    tarn::formats::ScanIndexReals3(line, ci, cf[0], cf[1], cf[2]);
    EXPECT_EQ(i[0], wantI[0]);
    EXPECT_EQ(ci, wantI[0]);
    EXPECT_EQ(ri[0], wantI[0]);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(std::memcmp(&f[k], &wantF[k], 4), 0) << k;
      EXPECT_EQ(std::memcmp(&cf[k], &wantF[k], 4), 0) << k;
      EXPECT_EQ(std::memcmp(&rf[k], &wantF[k], 4), 0) << k;
    }
    int ints[4] = {-1, -1, -1, -1}, cursorInts[4] = {-1, -1, -1, -1};
    const int wantInts = ScanLine(line, "%d %d %d %d", &wantI[0], &wantI[1], &wantI[2], &wantI[3]);
    EXPECT_EQ(tarn::formats::ScanNumbers(line, ints, 4, nullptr, 0), wantInts);
    tarn::formats::ScanIndexInts3(line, cursorInts[0], cursorInts[1], cursorInts[2], cursorInts[3]);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(ints[k], wantI[k]) << k;
      EXPECT_EQ(cursorInts[k], wantI[k]) << k;
    }
  }
}

TEST(LineScan, FieldsNotReachedKeepTheirValues) {
  int n = 42;
  char name[80] = "old";
  EXPECT_EQ(ScanLine("NumFace", "%s %d", name, &n), 1);
  EXPECT_STREQ(name, "NumFace");
  EXPECT_EQ(n, 42);
  float x = 1, y = 2, z = 3;
  EXPECT_EQ(ScanLine("Pos 5 oops 7", "%s %f %f %f", name, &x, &y, &z), 2);
  EXPECT_EQ(x, 5.0f);
  EXPECT_EQ(y, 2.0f);
  EXPECT_EQ(z, 3.0f);
}

TEST(LineScan, LongWordIsCutToItsBufferAndConsumedWhole) {
  std::string line = "*BITMAP " + std::string(200, 'p') + " 17";
  char key[80];
  char small[80];
  int n = 0;
  EXPECT_EQ(ScanLine(line, "%s %s %d", key, small, &n), 3);
  EXPECT_EQ(std::strlen(small), 79u);
  EXPECT_EQ(n, 17);
  char tiny[4];
  EXPECT_EQ(ScanLine("abcdef", "%s", Word{tiny, sizeof tiny}), 1);
  EXPECT_STREQ(tiny, "abc");
}

TEST(LineScan, LiteralsInTheFormatMustMatch) {
  int a = 0, b = 0;
  EXPECT_EQ(ScanLine("A: 3 B: 4", "A: %d B: %d", &a, &b), 2);
  EXPECT_EQ(b, 4);
  b = 9;
  EXPECT_EQ(ScanLine("A: 3 C: 4", "A: %d B: %d", &a, &b), 1);
  EXPECT_EQ(b, 9);
}

#include "formats/AseFace.h"

TEST(AseFace, PlainAndGluedLabelsGiveTheCorners) {
  int face = 0, a = 0, b = 0, c = 0;
  tarn::formats::ScanAseFace("*MESH_FACE    5:    A:    0 B:    1 C:    2 AB:    1 BC:    1", face, a, b, c);
  EXPECT_EQ(face, 5);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 2);
  // Five-digit corners glued to their labels, as the exporter writes them.
  tarn::formats::ScanAseFace("*MESH_FACE 10000:    A:10000 B:10001 C:10002 AB:    1", face, a, b, c);
  EXPECT_EQ(face, 10000);
  EXPECT_EQ(a, 10000);
  EXPECT_EQ(b, 10001);
  EXPECT_EQ(c, 10002);
  tarn::formats::ScanAseFace("*MESH_FACE 12:A:1 B:2 C:3", face, a, b, c);
  EXPECT_EQ(face, 12);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(c, 3);
  // A line that stops early leaves the fields it did not reach alone.
  a = b = c = 77;
  tarn::formats::ScanAseFace("*MESH_FACE 4: A: 9 B:", face, a, b, c);
  EXPECT_EQ(face, 4);
  EXPECT_EQ(a, 9);
  EXPECT_EQ(b, 77);
  EXPECT_EQ(c, 77);
}

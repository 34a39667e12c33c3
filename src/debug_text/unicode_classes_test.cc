#include "debug_text/unicode_classes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "debug_text/unicode_reference_ranges_testing.h"

namespace fc {
namespace {

using unicode_reference::CodePointRange;

constexpr char32_t kCodePoints = 0x110000;

std::string hex(char32_t cp) {
  char text[16];
  (void)std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

// One flag per code point, set inside the ranges. The ranges must be sorted
// and apart, or the list itself is broken.
std::vector<bool> flags_of(std::span<const CodePointRange> ranges) {
  std::vector<bool> flags(kCodePoints);
  char32_t next_free = 0;
  for (const CodePointRange& range : ranges) {
    EXPECT_LE(next_free, range.first) << "ranges out of order at " << hex(range.first);
    EXPECT_LE(range.first, range.last);
    EXPECT_LT(range.last, kCodePoints);
    for (char32_t cp = range.first; cp <= range.last && cp < kCodePoints; ++cp) flags[cp] = true;
    next_free = range.last + 1;
  }
  return flags;
}

// Compares a class with its reference on every code point; reports the first
// few differences.
template <typename Class>
void expect_class_matches(Class in_class, const std::vector<bool>& expected) {
  int differences = 0;
  for (char32_t cp = 0; cp < kCodePoints && differences < 20; ++cp) {
    if (in_class(cp) != expected[cp]) {
      ++differences;
      ADD_FAILURE() << hex(cp) << " should " << (expected[cp] ? "" : "not ") << "be in the class";
    }
  }
}

TEST(UnicodeClasses, PrintableMatchesReferenceOnEveryCodePoint) {
  std::vector<bool> printable = flags_of(unicode_reference::kNotPrintable);
  printable.flip();
  expect_class_matches(is_printable, printable);
}

TEST(UnicodeClasses, GraphemeExtendMatchesReferenceOnEveryCodePoint) {
  expect_class_matches(is_grapheme_extend, flags_of(unicode_reference::kGraphemeExtend));
}

TEST(UnicodeClasses, KnownCodePoints) {
  struct Case {
    char32_t cp;
    bool printable;
    bool grapheme_extend;
  };
  const Case cases[] = {
      {0x0000, false, false},   {0x001F, false, false},   {0x0020, true, false},
      {0x007E, true, false},    {0x007F, false, false},   {0x00A0, false, false},
      {0x00A1, true, false},    {0x00AD, false, false},   {0x00E9, true, false},
      {0x0300, true, true},     {0x036F, true, true},     {0x0378, false, false},
      {0x200B, false, false},   {0x200C, false, true},    {0x2028, false, false},
      {0x2029, false, false},   {0x3000, false, false},   {0xD800, false, false},
      {0xDFFF, false, false},   {0xE000, false, false},   {0xFEFF, false, false},
      {0xFF9E, true, true},     {0xFF9F, true, true},     {0xFFFD, true, false},
      {0xFFFF, false, false},   {0x1F600, true, false},   {0x1F3FB, true, false},
      {0x1D165, true, true},    {0x20000, true, false},   {0x2A6E0, false, false},
      {0x2EBF0, true, false},   {0x2EE5D, true, false},   {0x2EE5E, false, false},
      {0x323AF, true, false},   {0x323B0, false, false},  {0xE0001, false, false},
      {0xE0020, false, true},   {0xE007F, false, true},   {0xE0100, true, true},
      {0xE01EF, true, true},    {0xE01F0, false, false},  {0xF0000, false, false},
      {0x10FFFF, false, false}, {0x110000, false, false}, {0xFFFFFFFF, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_printable(c.cp), c.printable) << hex(c.cp);
    EXPECT_EQ(is_grapheme_extend(c.cp), c.grapheme_extend) << hex(c.cp);
  }
}

TEST(WhiteSpace, ExactlyTheListedCodePoints) {
  const char32_t white[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                            0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (char32_t c : white) EXPECT_TRUE(is_white_space(c)) << std::hex << +c;
  const char32_t other[] = {0x08,   0x0E,   0x1F,   0x21,   0x84,   0x86,   0x9F,   0xA1,   0x180E,
                            0x1FFF, 0x200B, 0x2027, 0x202A, 0x205E, 0x2060, 0x2FFF, 0x3001, 0xFEFF};
  for (char32_t c : other) EXPECT_FALSE(is_white_space(c)) << std::hex << +c;
}

}  // namespace
}  // namespace fc

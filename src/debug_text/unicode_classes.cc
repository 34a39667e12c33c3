#include "debug_text/unicode_classes.h"

#include "debug_text/unicode_tables.h"

namespace fc {

bool is_printable(char32_t cp) {
  if (cp < 0x7F) return cp >= 0x20;
  return unicode_tables::contains(unicode_tables::kPrintableTrie, cp);
}

bool is_grapheme_extend(char32_t cp) {
  return unicode_tables::contains(unicode_tables::kGraphemeExtendTrie, cp);
}

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

}  // namespace fc

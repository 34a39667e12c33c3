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

}  // namespace fc

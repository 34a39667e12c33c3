#ifndef FC_DEBUG_TEXT_UNICODE_CLASSES_H_
#define FC_DEBUG_TEXT_UNICODE_CLASSES_H_

namespace fc {

/// Whether the quoted text form may show `cp` as itself: true unless its
/// Unicode 16.0 general category is Cc, Cf, Cs, Co, Cn, Zl, Zp or Zs, and true
/// for U+0020 SPACE. False above U+10FFFF.
bool is_printable(char32_t cp);

/// Whether `cp` has the Unicode 16.0 property Grapheme_Extend (general
/// category Mn or Me, or Other_Grapheme_Extend). False above U+10FFFF.
bool is_grapheme_extend(char32_t cp);

/// Whether `cp` has the Unicode property White_Space.
bool is_white_space(char32_t cp);

}  // namespace fc

#endif  // FC_DEBUG_TEXT_UNICODE_CLASSES_H_

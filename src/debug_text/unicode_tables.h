#ifndef FC_DEBUG_TEXT_UNICODE_TABLES_H_
#define FC_DEBUG_TEXT_UNICODE_TABLES_H_

#include <cstdint>

namespace fc::unicode_tables {

/// A set of code points as a trie of one-byte indexes over a bit array. The
/// code point's bits, from high to low, pick an entry of `top`, then one entry
/// in a block of each mid level, then one bit in a leaf of `leaves`. Code
/// points from `limit` on are outside the set.
struct BitTrie {
  static constexpr int kMidLevels = 3;

  const std::uint8_t* top;
  const std::uint8_t* mid[kMidLevels];
  /// The leaves, one after another, as one little-endian bit array.
  const std::uint8_t* leaves;
  /// Code point bits taken by each mid level, outermost first.
  std::uint8_t mid_bits[kMidLevels];
  /// Code point bits taken by a leaf: it holds 2^leaf_bits flags.
  std::uint8_t leaf_bits;
  char32_t limit;
};

/// Whether `cp` is in the set.
inline bool contains(const BitTrie& trie, char32_t cp) {
  if (cp >= trie.limit) return false;
  int shift = trie.leaf_bits + trie.mid_bits[0] + trie.mid_bits[1] + trie.mid_bits[2];
  std::uint32_t node = trie.top[cp >> shift];
  for (int level = 0; level < BitTrie::kMidLevels; ++level) {
    int bits = trie.mid_bits[level];
    shift -= bits;
    node = trie.mid[level][(node << bits) | ((cp >> shift) & ((1u << bits) - 1))];
  }
  std::uint32_t bit = (node << trie.leaf_bits) | (cp & ((1u << trie.leaf_bits) - 1));
  return (trie.leaves[bit >> 3] >> (bit & 7)) & 1;
}

/// General category not Cc, Cf, Cs, Co, Cn, Zl, Zp or Zs; and U+0020.
extern const BitTrie kPrintableTrie;
/// The property Grapheme_Extend.
extern const BitTrie kGraphemeExtendTrie;

}  // namespace fc::unicode_tables

#endif  // FC_DEBUG_TEXT_UNICODE_TABLES_H_

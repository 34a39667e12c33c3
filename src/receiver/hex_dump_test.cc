#include "receiver/hex_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace fc::receiver {
namespace {

// The whole dump of `bytes`, a line at a time as a caller writes it.
std::string dump(std::string_view bytes) {
  std::string text(hex_dump_length(bytes.size()), '?');
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t size = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kHexDumpLineBytes) {
    std::size_t count = std::min(kHexDumpLineBytes, bytes.size() - at);
    size += hex_dump_line({data + at, count}, static_cast<std::uint32_t>(at), text.data() + size);
  }
  size += hex_dump_end(static_cast<std::uint32_t>(bytes.size()), text.data() + size);
  EXPECT_EQ(size, text.size()) << "hex_dump_length";
  return text;
}

// As "hexdump -C" shows the same bytes, but for no bytes at all, where it
// shows nothing. The sample holds the ends of the printable range.
TEST(HexDump, Table) {
  const std::string_view sample = "\x1f\x20\x7e\x7f\x80\xff{\"id\":\"3\",\"";
  struct Case {
    std::size_t size;
    std::string_view text;
  };
  const Case cases[] = {
      {0, "00000000\n"},
      {8, R"(00000000  1f 20 7e 7f 80 ff 7b 22                           |. ~...{"|
00000008
)"},
      {15, R"(00000000  1f 20 7e 7f 80 ff 7b 22  69 64 22 3a 22 33 22     |. ~...{"id":"3"|
0000000f
)"},
      {17, R"(00000000  1f 20 7e 7f 80 ff 7b 22  69 64 22 3a 22 33 22 2c  |. ~...{"id":"3",|
00000010  22                                                |"|
00000011
)"},
  };
  for (const Case& c : cases) EXPECT_EQ(dump(sample.substr(0, c.size)), c.text) << c.size;
}

// Offsets and lengths take all eight digits; a line shows 16 bytes at most.
TEST(HexDump, LargestOffsetsAndLongestLine) {
  char line[kHexDumpLineMax];
  const std::string_view bytes = "ABCDEFGHIJKLMNOPQ";
  std::string_view text(
      line, hex_dump_line({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                          0xfffffff0, line));
  EXPECT_EQ(text.substr(0, 12), "fffffff0  41");
  EXPECT_EQ(text.substr(text.size() - 19), "|ABCDEFGHIJKLMNOP|\n");
  EXPECT_EQ(std::string_view(line, hex_dump_end(0xffffffff, line)), "ffffffff\n");
}

}  // namespace
}  // namespace fc::receiver

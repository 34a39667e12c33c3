#include "console/buffered_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fc {
namespace {

// Takes `room` bytes in all, then each write fails (`fails`) or takes
// nothing.
class Device final : public OutputDevice {
 public:
  Device(std::size_t room, bool fails) : room_(room), fails_(fails) {}
  Result<std::size_t> write_some(std::string_view bytes) override {
    std::size_t taken = std::min(bytes.size(), room_ - taken_.size());
    if (taken == 0 && fails_) return std::unexpected(IoError::from_kind(ErrorKind::StorageFull));
    taken_.append(bytes.substr(0, taken));
    return taken;
  }
  std::string taken_;

 private:
  std::size_t room_;
  bool fails_;
};

// An 8-byte buffer before a device that takes only so much: what reaches it,
// what stays buffered, and what each failure is told as.
TEST(BufferedOutput, WhatAFailingDeviceLeaves) {
  struct Row {
    const char* name;
    std::size_t room;
    bool fails;
    std::vector<std::string> pieces;
    bool flush;
    std::string taken;
    std::string buffered;
    std::string told;  // of the last call; empty when it went through
  };
  const Row rows[] = {
      {"a flush the device cuts short keeps the rest",
       3,
       true,
       {"abcde"},
       true,
       "abc",
       "de",
       "no storage space"},
      {"a flush that takes nothing",
       0,
       false,
       {"abcde"},
       true,
       "",
       "abcde",
       "failed to write the buffered data"},
      {"a piece that does not fit beside what waits",
       2,
       true,
       {"abcde", "fghi"},
       false,
       "ab",
       "cde",
       "no storage space"},
      {"a piece one byte short of the buffer is buffered",
       0,
       true,
       {"abcdefg"},
       false,
       "",
       "abcdefg",
       ""},
      {"a piece as long as the buffer goes straight on, and is not kept",
       5,
       true,
       {"abcdefgh"},
       false,
       "abcde",
       "",
       "no storage space"},
      {"a piece as long as the buffer that the device takes nothing of",
       0,
       false,
       {"abcdefgh"},
       false,
       "",
       "",
       "failed to write whole buffer"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Device device(row.room, row.fails);
    char storage[8];
    BufferedOutput out(device, storage);
    Status status;
    for (const std::string& piece : row.pieces) status = out.write(piece);
    if (row.flush) status = out.flush();
    EXPECT_EQ(device.taken_, row.taken);
    EXPECT_EQ(out.buffered(), row.buffered);
    EXPECT_EQ(status.ok() ? "" : display_text(status.error()), row.told);
  }
}

}  // namespace
}  // namespace fc

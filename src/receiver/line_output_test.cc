#include "receiver/line_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fc::receiver {
namespace {

// Takes every byte but those past `fail_after`: the write that reaches that
// point is cut short there, the next one fails, and later ones go through.
class FailingOnce final : public OutputDevice {
 public:
  explicit FailingOnce(std::size_t fail_after) : fail_after_(fail_after) {}
  Result<std::size_t> write_some(std::string_view bytes) override {
    if (failed_ || taken.size() + bytes.size() <= fail_after_) {
      taken.append(bytes);
      return bytes.size();
    }
    if (taken.size() < fail_after_) {
      std::size_t part = fail_after_ - taken.size();
      taken.append(bytes.substr(0, part));
      return part;
    }
    failed_ = true;
    return std::unexpected(IoError::from_os_code(28));
  }
  std::string taken;

 private:
  std::size_t fail_after_;
  bool failed_ = false;
};

std::span<const std::uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A failed write loses what it held, but a line it cut short is ended
// before the next, and a line it did not cut gets no extra end.
TEST(LineOutput, NoTwoLinesJoinedAfterAFailedWrite) {
  struct Case {
    std::size_t fail_after;
    std::string taken;
    std::uint64_t dropped;
  };
  const std::string shorter(10, 'a');
  const std::string longer(100000, 'z');
  const Case cases[] = {
      {70000, shorter + "\n" + longer.substr(0, 70000 - 11) + "\nSECOND\n", 1},
      {11, shorter + "\nSECOND\n", 1},
      {SIZE_MAX, shorter + "\n" + longer + "\nSECOND\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail_after);
    FailingOnce device(c.fail_after);
    LineOutput output(device);
    Status status = output.add_line(bytes_of(shorter));
    if (status.ok()) status = output.add_line(bytes_of(longer));
    if (status.ok()) status = output.flush();
    EXPECT_EQ(status.ok(), c.dropped == 0);
    EXPECT_EQ(output.lines_dropped(), c.dropped);
    EXPECT_TRUE(output.add_line(bytes_of("SECOND")).ok());
    EXPECT_TRUE(output.finish().ok());
    EXPECT_EQ(device.taken, c.taken);
  }
}

// Lines that bring the buffer's room down to a byte at a time, then to none:
// an empty line where no byte is left, and a line where no escape fits, come
// out whole like every other.
TEST(LineOutput, LinesAtTheEndOfTheBuffer) {
  FailingOnce device(SIZE_MAX);
  LineOutput output(device);
  std::string expected;
  auto add = [&](std::size_t length) {
    std::string line(length, 'x');
    EXPECT_TRUE(output.add_line(bytes_of(line)).ok());
    expected += line + "\n";
  };
  // Each line as long as fits unflushed, then empty lines to the last bytes.
  for (std::size_t room = LineOutput::kCapacity; room >= 9; room -= (room - 3) / 6 + 1) {
    add((room - 3) / 6);
  }
  for (int i = 0; i < 9; ++i) add(0);
  add(1);
  EXPECT_TRUE(output.finish().ok());
  EXPECT_EQ(device.taken, expected);
}

}  // namespace
}  // namespace fc::receiver

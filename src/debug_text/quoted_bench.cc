#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "debug_text/quoted.h"

namespace fc {
namespace {

// Appends into memory reserved once, so that the figures show the quoting and
// the copying, not the allocator.
class BufferSink final : public TextSink {
 public:
  explicit BufferSink(std::size_t capacity) : buffer_(capacity) {}

  void clear() { used_ = 0; }
  const char* data() const { return buffer_.data(); }

 private:
  bool put(std::string_view piece) override {
    std::memcpy(buffer_.data() + used_, piece.data(), piece.size());
    used_ += piece.size();
    return true;
  }

  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// `size` bytes of `sample` repeated, cut back to a whole UTF-8 character.
std::string text_of(std::string_view sample, std::size_t size) {
  std::string text;
  while (text.size() < size) text.append(sample);
  text.resize(size);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
    text.pop_back();
  }
  if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
  return text;
}

constexpr std::string_view kPlainAscii =
    "The quick brown fox jumps over the lazy dog; it's 42 (or 0x2a) at 10:30. ";
constexpr std::string_view kEscapeHeavy = "C:\\dir\\\"name\"\tx\r\n\x01\x1b[0m\x7f";
constexpr std::string_view kMixed =
    "Caf\u00e9 na\u00efve r\u00e9sum\u00e9 \u4e2d\u6587\u5b57\u7b26 "
    "\U0001f600\U0001f44d \u00c5ngstr\u00f6m e\u0301 ";

void quote_bench(benchmark::State& state, std::string_view sample) {
  const std::string text = text_of(sample, static_cast<std::size_t>(state.range(0)));
  BufferSink sink(text.size() * 10 + 2);  // an escape is at most 10 bytes
  for (auto _ : state) {
    sink.clear();
    write_quoted(text, sink);
    benchmark::DoNotOptimize(sink.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Memcpy(benchmark::State& state) {
  const std::string text = text_of(kPlainAscii, static_cast<std::size_t>(state.range(0)));
  std::vector<char> target(text.size());
  for (auto _ : state) {
    std::memcpy(target.data(), text.data(), text.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_QuotedPlainAscii(benchmark::State& state) { quote_bench(state, kPlainAscii); }
void BM_QuotedEscapeHeavy(benchmark::State& state) { quote_bench(state, kEscapeHeavy); }
void BM_QuotedMixed(benchmark::State& state) { quote_bench(state, kMixed); }

BENCHMARK(BM_Memcpy)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_QuotedPlainAscii)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_QuotedEscapeHeavy)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_QuotedMixed)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace
}  // namespace fc

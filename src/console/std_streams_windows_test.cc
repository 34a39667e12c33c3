#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "console/std_streams.h"

namespace fc {
namespace {

// Points a standard handle elsewhere for the scope of one check.
class StdHandleSwap {
 public:
  StdHandleSwap(DWORD which, HANDLE handle) : which_(which), saved_(GetStdHandle(which)) {
    SetStdHandle(which_, handle);
  }
  ~StdHandleSwap() { SetStdHandle(which_, saved_); }

 private:
  DWORD which_;
  HANDLE saved_;
};

struct Stream {
  const char* name;
  DWORD which;
  OutputDevice& device;
};

const Stream kStreams[] = {
    {"standard output", STD_OUTPUT_HANDLE, stdout_device()},
    {"standard error", STD_ERROR_HANDLE, stderr_device()},
};

HANDLE temporary_file() {
  wchar_t directory[MAX_PATH];
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  GetTempFileNameW(directory, L"fc", 0, path);
  return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string file_contents(HANDLE file) {
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::string contents;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    contents.append(buffer, got);
  }
  return contents;
}

TEST(StdStreamsWindows, AFileGetsTheBytesUnchanged) {
  // Line feeds stay alone, a carriage return of the text stays, and text
  // longer than a console piece goes out whole.
  std::string text = "Connected to server\nSent JSON: \xc3\xa9\r\n\n";
  for (int i = 0; i < 3000; ++i) text += "\xe2\x82\xac";
  for (const Stream& stream : kStreams) {
    SCOPED_TRACE(stream.name);
    HANDLE file = temporary_file();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    {
      StdHandleSwap swap(stream.which, file);
      EXPECT_TRUE(write_all(stream.device, text).ok());
    }
    EXPECT_EQ(file_contents(file), text);
    CloseHandle(file);
  }
}

TEST(StdStreamsWindows, AMissingHandleDiscardsTheTextAsWritten) {
  HANDLE closed = temporary_file();
  ASSERT_NE(closed, INVALID_HANDLE_VALUE);
  CloseHandle(closed);  // writes to it fail with code 6
  struct Case {
    const char* name;
    HANDLE handle;
  };
  const Case cases[] = {
      {"no handle", nullptr},
      {"invalid handle", INVALID_HANDLE_VALUE},
      {"closed handle", closed},
  };
  for (const Stream& stream : kStreams) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(stream.name) + ", " + c.name);
      StdHandleSwap swap(stream.which, c.handle);
      Result<std::size_t> taken = stream.device.write_some("Connected to server\n");
      ASSERT_TRUE(taken.has_value()) << debug_name(taken.error().kind());
      EXPECT_EQ(*taken, 20u);
    }
  }
}

TEST(StdStreamsWindows, APipeWithoutReaderIsABrokenPipe) {
  for (const Stream& stream : kStreams) {
    SCOPED_TRACE(stream.name);
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
    CloseHandle(read);
    {
      StdHandleSwap swap(stream.which, write);
      Status status = write_all(stream.device, "Connected to server\n");
      ASSERT_FALSE(status.ok());
      ASSERT_TRUE(status.error().os_code().has_value());
      EXPECT_EQ(status.error().kind(), ErrorKind::BrokenPipe) << *status.error().os_code();
    }
    CloseHandle(write);
  }
}

}  // namespace
}  // namespace fc

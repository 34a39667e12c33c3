#ifndef FC_TESTS_SUPPORT_EXPECTED_TEXTS_H_
#define FC_TESTS_SUPPORT_EXPECTED_TEXTS_H_

#include <string>

namespace fc::testing {

/// The one frame the client sends: the payload's length, then the payload.
inline const std::string kFrame =
    std::string("\x00\x00\x00\x1c", 4) + R"({"id":"3","message":"split"})";

/// The client's whole standard output after a run that sent the frame.
inline const std::string kSuccessOutput =
    "Connected to server\nSent JSON: Message { id: \"3\", message: \"split\" }\n";

/// The client's whole standard error when nothing listens on its endpoint.
extern const std::string kRefusedLine;

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_EXPECTED_TEXTS_H_

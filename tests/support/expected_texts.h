#ifndef FC_TESTS_SUPPORT_EXPECTED_TEXTS_H_
#define FC_TESTS_SUPPORT_EXPECTED_TEXTS_H_

#include <string>

namespace fc::testing {

/// The client's whole standard error when nothing listens on its endpoint.
extern const std::string kRefusedLine;

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_EXPECTED_TEXTS_H_

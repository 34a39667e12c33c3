#include "support/expected_texts.h"

namespace fc::testing {

const std::string kRefusedLine =
    "Error: Os { code: 111, kind: ConnectionRefused, message: \"Connection refused\" }\n";

}  // namespace fc::testing

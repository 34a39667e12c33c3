#include "support/child_process.h"

namespace fc::testing {

std::string client_path() { return FC_CLIENT_PATH; }

}  // namespace fc::testing

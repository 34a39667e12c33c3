#include "console/std_streams.h"
#include "console/process.h"

namespace fc {

void prepare_process() { claim_standard_streams(); }

}  // namespace fc

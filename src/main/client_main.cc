// The client's entry routine. Command-line arguments are ignored. Its
// replacement allocation functions are in allocation_operators.cc beside it.

#include "console/process.h"
#include "main/run.h"

int main() {
  fc::prepare_process();
  return fc::run_client();
}

// The client's entry routine. Command-line arguments are ignored.

#include "main/process.h"
#include "main/run.h"

int main() {
  fc::prepare_process();
  return fc::run_client();
}

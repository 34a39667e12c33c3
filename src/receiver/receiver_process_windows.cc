#include "console/interrupts.h"
#include "console/process.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {

// A peer that goes away never raises a signal here, and WSAPoll takes any
// number of sockets: nothing more to set up.
void prepare_receiver_process() {
  prepare_process();
  count_interrupts();
}

}  // namespace fc::receiver

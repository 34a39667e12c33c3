#ifndef FC_MAIN_PROCESS_H_
#define FC_MAIN_PROCESS_H_

namespace fc {

/// Makes the process safe to run before anything else happens: standard
/// streams that are closed at start-up are replaced by the null device (so a
/// socket can never take their number), and a peer that has gone away is
/// reported as an error instead of killing the process.
void prepare_process();

}  // namespace fc

#endif  // FC_MAIN_PROCESS_H_

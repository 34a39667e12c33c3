#ifndef FC_CONSOLE_PROCESS_H_
#define FC_CONSOLE_PROCESS_H_

namespace fc {

/// Makes the process safe to run before anything else happens (each program
/// calls it first): the places of
/// standard streams it was started without are held (so a socket can never
/// take them), and a write that fails (a reader gone, a size limit reached)
/// is reported as an error instead of killing the process.
void prepare_process();

}  // namespace fc

#endif  // FC_CONSOLE_PROCESS_H_

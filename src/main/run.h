#ifndef FC_MAIN_RUN_H_
#define FC_MAIN_RUN_H_

namespace fc {

/// Runs the client from start to exit status: the run sequence (connect,
/// announce, encode, send the frame, report what was sent), the report of
/// its failure on standard error, the abnormal end, the final flush and the
/// network shut-down.
int run_client();

}  // namespace fc

#endif  // FC_MAIN_RUN_H_

/* Wall time of whole runs, for tools/bench_startup.sh: runs the given
 * programs in turn (A, B, A, B, ...) so that every one meets the same load,
 * each started with posix_spawn and waited for, standard output to
 * /dev/null. Prints each program's median in microseconds; fails if a run
 * does not exit with status 0.
 *   bench_startup_timer RUNS PROGRAM... */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static double now_microseconds(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec * 1e6 + (double)ts.tv_nsec / 1e3;
}

static int compare(const void* a, const void* b) {
  double x = *(const double*)a;
  double y = *(const double*)b;
  return (x > y) - (x < y);
}

/* One run of `program`; its wall time, or a negative value if it failed. */
static double time_run(char* program, const posix_spawn_file_actions_t* actions) {
  char* argv[] = {program, NULL};
  pid_t pid;
  int status;
  double start = now_microseconds();
  if (posix_spawn(&pid, program, actions, NULL, argv, environ) != 0) return -1;
  if (waitpid(pid, &status, 0) != pid) return -1;
  double end = now_microseconds();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? end - start : -1;
}

int main(int argc, char** argv) {
  int runs = argc > 2 ? atoi(argv[1]) : 0;
  int count = argc - 2;
  if (runs <= 0) {
    fprintf(stderr, "usage: %s RUNS PROGRAM...\n", argv[0]);
    return 2;
  }
  double* times = malloc(sizeof(double) * (size_t)runs * (size_t)count);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (int run = 0; run < runs; ++run) {
    for (int p = 0; p < count; ++p) {
      double t = time_run(argv[2 + p], &actions);
      if (t < 0) {
        fprintf(stderr, "%s did not run to status 0\n", argv[2 + p]);
        return 1;
      }
      times[p * runs + run] = t;
    }
  }
  for (int p = 0; p < count; ++p) {
    qsort(times + p * runs, (size_t)runs, sizeof(double), compare);
    printf("%.0f\n", times[p * runs + runs / 2]);
  }
  posix_spawn_file_actions_destroy(&actions);
  free(times);
  return 0;
}

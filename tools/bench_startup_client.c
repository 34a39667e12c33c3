/* The yardstick for tools/bench_startup.sh: frame-client's work reduced to
 * its system calls (socket, connect, two sends, two writes, close), in C and
 * linked dynamically, the way a minimal client usually ships. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

static int send_whole(int fd, const char* data, size_t size) {
  return send(fd, data, size, MSG_NOSIGNAL) == (ssize_t)size;
}

static int write_whole(const char* text, size_t size) {
  return write(STDOUT_FILENO, text, size) == (ssize_t)size;
}

int main(void) {
  static const char prefix[] = {0, 0, 0, 28};
  static const char payload[] = "{\"id\":\"3\",\"message\":\"split\"}";
  static const char connected[] = "Connected to server\n";
  static const char sent[] = "Sent JSON: Message { id: \"3\", message: \"split\" }\n";
  struct sockaddr_in address = {0};
  address.sin_family = AF_INET;
  address.sin_port = htons(12345);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 1;
  int ok = connect(fd, (const struct sockaddr*)&address, sizeof address) == 0 &&
           write_whole(connected, sizeof connected - 1) && send_whole(fd, prefix, sizeof prefix) &&
           send_whole(fd, payload, sizeof payload - 1) && write_whole(sent, sizeof sent - 1);
  close(fd);
  return ok ? 0 : 1;
}

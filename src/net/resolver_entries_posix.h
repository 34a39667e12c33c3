#ifndef FC_NET_RESOLVER_ENTRIES_POSIX_H_
#define FC_NET_RESOLVER_ENTRIES_POSIX_H_

// The system's address structures on POSIX, with the shared conversions.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "net/sockaddr_conversion.h"

#endif  // FC_NET_RESOLVER_ENTRIES_POSIX_H_

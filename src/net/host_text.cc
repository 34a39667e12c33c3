#include "net/host_text.h"

#include <cstring>

namespace fc {

HostText::HostText(std::string_view host) {
  if (host.find('\0') != std::string_view::npos) {
    stack_[0] = '\0';
    return;
  }
  char* target = stack_;
  if (host.size() >= kStackBytes) {
    heap_.reset(new char[host.size() + 1]);
    target = heap_.get();
  }
  if (!host.empty()) std::memcpy(target, host.data(), host.size());
  target[host.size()] = '\0';
  text_ = target;
  valid_ = true;
}

}  // namespace fc

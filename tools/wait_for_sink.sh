# Sourced by the scripts that start frame-sink in the background.

# Waits, at most five seconds, until something listens on 127.0.0.1:12345
# (0x3039 in /proc/net/tcp).
wait_for_sink() {
  local _
  for _ in $(seq 50); do
    grep -q ':3039 ' /proc/net/tcp 2>/dev/null && return
    sleep 0.1
  done
}

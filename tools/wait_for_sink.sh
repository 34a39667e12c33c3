# Sourced by the scripts that start frame-sink in the background.

# Waits, at most twenty seconds (a receiver under an emulator on a busy
# machine starts slowly), until a socket listens on 127.0.0.1:12345: local
# address 0100007F:3039, no remote address, state 0A (listening) in
# /proc/net/tcp. A connection of an earlier run that is still closing
# (TIME_WAIT) has the port too, but not that state.
wait_for_sink() {
  local _
  for _ in $(seq 200); do
    grep -q ' 0100007F:3039 00000000:0000 0A ' /proc/net/tcp 2>/dev/null && return
    sleep 0.1
  done
}

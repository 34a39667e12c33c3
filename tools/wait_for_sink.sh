# Sourced by the scripts that start frame-sink in the background.

# Waits, at most twenty seconds (a receiver under an emulator on a busy
# machine starts slowly), until frame-sink's standard error, the file $1,
# says that it listens ("frame-sink: listening on ADDRESS:PORT", the line it
# writes the moment it does); then prints the port. Fails if it never says.
wait_for_sink() {
  local _
  for _ in $(seq 200); do
    if grep -q '^frame-sink: listening on ' "$1" 2>/dev/null; then
      sed -n 's/^frame-sink: listening on .*:\([0-9][0-9]*\).*/\1/p' "$1" | head -n 1
      return 0
    fi
    sleep 0.1
  done
  return 1
}

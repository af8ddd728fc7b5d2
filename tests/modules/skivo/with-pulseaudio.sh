#!/usr/bin/env bash
# Runs a test program against a PulseAudio server of its own:
#   with-pulseaudio.sh PROGRAM [ARGS...]
# The server has one sink, a pipe that carries what it plays (16-bit mono
# 44.1 kHz, paced by the clock) to KB_PULSE_FIFO; the program finds the server
# in PULSE_SERVER and its process id in KB_PULSE_PID. No user's server is
# touched: runtime and config folders are fresh, and modules are given
# explicitly (-n), so no default script runs.
set -u
command -v pulseaudio >/dev/null || {
  echo "with-pulseaudio.sh: pulseaudio is not installed (apt-get install pulseaudio; ./setup.sh test installs it)" >&2
  exit 1
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kb-pulse.XXXXXX")
mkdir -p "$dir/xdg" "$dir/home"
chmod 700 "$dir/xdg"
pid=
cleanup() {
  # A server that a test stopped takes no other signal until it goes on.
  [ -n "$pid" ] && kill -CONT "$pid" 2>/dev/null
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# As root, pulseaudio only warns that it is meant for --system; the user
# mode with explicit folders works all the same.
HOME="$dir/home" XDG_RUNTIME_DIR="$dir/xdg" XDG_CONFIG_HOME="$dir/home" \
  pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit \
  --disable-shm=yes --use-pid-file=no --log-target=stderr \
  --load="module-pipe-sink sink_name=kbtest file=$dir/sound.fifo format=s16le rate=44100 channels=1 use_system_clock_for_timing=yes" \
  --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
  >"$dir/pulse.log" 2>&1 &
pid=$!

# Waits until the server is up, or gone: the limit only turns a hang into a
# failure, 30 s stretched as the tests' own (KB_TEST_TIME_SCALE).
scale=${KB_TEST_TIME_SCALE:-1}
case $scale in '' | *[!0-9]* | 0) scale=1 ;; esac
for _ in $(seq $((600 * scale))); do
  [ -S "$dir/native" ] && [ -p "$dir/sound.fifo" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if ! [ -S "$dir/native" ]; then
  echo "with-pulseaudio.sh: the server did not start:" >&2
  cat "$dir/pulse.log" >&2
  exit 1
fi

PULSE_SERVER="unix:$dir/native" KB_PULSE_FIFO="$dir/sound.fifo" KB_PULSE_PID="$pid" \
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/xdg" "$@"
rc=$?
[ $rc -eq 0 ] || { echo "== server log"; tail -n 30 "$dir/pulse.log"; } >&2
exit $rc

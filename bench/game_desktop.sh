#!/usr/bin/env bash
# game_bench on a real desktop: an X server (Xvfb, 1600 x 1024, on a free
# display) with the openbox window manager, and a PulseAudio server of its
# own whose only sink is a null sink paced by the clock, so that the game's
# sounds really play. The figures are game_bench's, on the xcb platform
# instead of offscreen:
#   game_desktop.sh [SECONDS_OF_PLAY [SECONDS_IDLE]]
# Runs the game_bench beside it. No user's X or sound server is touched, and
# everything it starts is ended when it exits.
set -u
here=$(cd "$(dirname "$0")" && pwd)
bench=$here/game_bench
fail() { echo "game_desktop.sh: $*" >&2; exit 1; }
[ -x "$bench" ] || fail "no game_bench beside this script"
for tool in Xvfb openbox xprop pulseaudio; do
  command -v "$tool" >/dev/null || fail "$tool is missing; ./setup.sh bench installs it"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kb-desktop.XXXXXX")
mkdir -p "$work/xdg" "$work/home"
chmod 700 "$work/xdg"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs the command given until it succeeds; false after 30 s.
until_true() {
  local end=$((SECONDS + 30))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1600x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
until_true test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -1 "$work/display")
openbox >/dev/null 2>&1 &
pids+=($!)
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
until_true wm_up || fail "openbox did not start"

# Explicit modules only (-n): no default script, no user's configuration.
HOME="$work/home" XDG_RUNTIME_DIR="$work/xdg" XDG_CONFIG_HOME="$work/home" \
  pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit \
  --disable-shm=yes --use-pid-file=no --log-target=stderr \
  --load="module-null-sink sink_name=kbbench" \
  --load="module-native-protocol-unix socket=$work/native auth-anonymous=1" \
  >"$work/pulse.log" 2>&1 &
pids+=($!)
until_true test -S "$work/native" || fail "PulseAudio did not start: $(tail -n 20 "$work/pulse.log")"

# CPU seconds the sound server has used so far (user + system).
pulse_pid=${pids[-1]}
pulse_cpu() {
  awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) / hz }' "/proc/$pulse_pid/stat"
}

echo "== on a desktop: Xvfb $DISPLAY with openbox, a PulseAudio server of its own (QT_QPA_PLATFORM=xcb)"
start=$SECONDS
cpu0=$(pulse_cpu)
QT_QPA_PLATFORM=xcb PULSE_SERVER="unix:$work/native" HOME="$work/home" XDG_RUNTIME_DIR="$work/xdg" \
  "$bench" "$@"
status=$?
awk -v a="$cpu0" -v b="$(pulse_cpu)" -v s=$((SECONDS - start)) \
  'BEGIN { printf "  sound server, whole bench: %.1f%% of one core\n", (s > 0 ? 100 * (b - a) / s : 0) }'
exit $status

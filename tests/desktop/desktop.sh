# What the desktop tests share; sourced, with $exe (the Kitebench program),
# $opener (empty, or the program that opens a module), $module, $title (the
# window's caption) and the tools the test needs in $tools set.
fail() { echo "FAIL: $*"; exit 1; }
# Every wait ends when what it waits for happens; its limit only turns a hang
# into a failure, stretched as the tests' own (KB_TEST_TIME_SCALE).
hang=$((30 * ${KB_TEST_TIME_SCALE:-1}))
# Runs the command given until it succeeds; false after $hang seconds.
until_true() {
  local end=$((SECONDS + hang))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}
for tool in $tools; do
  command -v "$tool" >/dev/null || fail "$tool is missing; ./setup.sh test installs it"
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program folder, so that its FormInfo.ini is the test's own.
cp -a "$(dirname "$exe")" "$work/app"
rm -f "$work/app/FormInfo.ini"
if [ -n "$opener" ]; then
  cp "$opener" "$work/app/"
  app=("$work/app/$(basename "$opener")" "$module")
else
  app=("$work/app/$(basename "$exe")")
fi
ini=$work/app/FormInfo.ini

# -noreset: the server would otherwise reset when its last client leaves,
# and undo what a key sent before the window manager started did.
Xvfb -displayfd 3 -screen 0 1600x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
until_true test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/xdg
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

win=""
# The outer frame of the window $win: left top width height.
frame() {
  local ax ay w h l r t b
  read -r ax ay w h < <(xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print x, y, w, h}')
  read -r l r t b < <(xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  echo "$((ax - l)) $((ay - t)) $((w + l + r)) $((h + t + b))"
}
# Settled: the same frame twice in a row, 0.3 s apart.
settle() {
  local last="" now end=$((SECONDS + hang))
  while [ "$SECONDS" -lt "$end" ]; do
    sleep 0.3
    now=$(frame)
    [ "$now" = "$last" ] && return 0
    last=$now
  done
  return 1
}
ended() { ! kill -0 "$pid" 2>/dev/null; }

#!/usr/bin/env bash
# A window's placement on a real desktop: Xvfb (1600 x 1024) with the openbox
# window manager, which offscreen tests cannot show (their windows have no
# frames). Starts a copy of the program folder with no "FormInfo.ini" and
# checks the outer frame: where it belongs on a first start (the main window
# at 0,0, 1024 x 768; a module window at 1024,0, 480 x 600, beside it on a
# screen this wide); moved, resized and closed through the window manager,
# exactly there after each of three restarts; maximized, maximized again
# after a restart.
#   placement.sh PATH/TO/Kitebench                     the main window
#   placement.sh PATH/TO/Kitebench OPENER MODULE CAPTION
#                                   the window of module MODULE, titled
#                                   CAPTION, opened by the program OPENER
# With KB_SCREENSHOT_DIR set, pictures of the screen are saved there.
set -u
usage="usage: placement.sh PATH/TO/Kitebench [OPENER MODULE CAPTION]"
exe=${1:?$usage}
opener=${2:-}
if [ -n "$opener" ]; then
  module=${3:?$usage}
  title=${4:?$usage}
  first="1024 0 480 600"
  target=(300 100 520 640)
else
  title=Kitebench
  first="0 0 1024 768"
  target=(213 147 901 611)
fi
tools="Xvfb openbox xdotool xwininfo xprop"
. "$(dirname "$0")/desktop.sh"

# The first key xdotool sends comes from the XTEST keyboard: the core
# keyboard switches to that device, and openbox, seeing its keyboard map
# change, reloads its key bindings; a key that arrives during the reload
# (the first Alt+F4) reaches the program as an ordinary key. Sent before
# openbox starts, the switch happens with no window manager to reload.
xdotool key shift || fail "xdotool could not send a key"
openbox >/dev/null 2>&1 &
pids+=($!)
until_true wm_up || fail "openbox did not start"

maximized() { xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
shot() { [ -n "${KB_SCREENSHOT_DIR:-}" ] && command -v import >/dev/null && import -window root "$KB_SCREENSHOT_DIR/$1.png"; }

framed_window() {
  win=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
  [ -n "$win" ] && xprop -id "$win" _NET_FRAME_EXTENTS | grep -q =
}

start() {
  "${app[@]}" >>"$work/app.log" 2>&1 &
  pid=$!
  pids+=($pid)
  win=""
  until_true framed_window || { cat "$work/app.log"; fail "no main window"; }
  settle || fail "the main window never settled"
}

# Closed through the window manager, as the user does with Alt+F4.
stop() {
  xdotool windowactivate --sync "$win" >/dev/null 2>&1
  sleep 0.3
  xdotool key --clearmodifiers alt+F4
  until_true ended || fail "the program did not end on Alt+F4"
  [ -f "$ini" ] || fail "no FormInfo.ini after closing"
  echo "  stored: $(tr "\n" " " <"$ini")"
}

# The frame is at $1, once the program has placed its window: a loaded
# machine may show the window before the last placement has been applied.
at() { [ "$(frame)" = "$1" ]; }

start
until_true at "$first"
got=$(frame)
echo "first start: $got"
shot first-start
[ "$got" = "$first" ] || fail "first start put the frame at $got, not $first"

xdotool windowmove "$win" "${target[0]}" "${target[1]}"
xdotool windowsize "$win" "${target[2]}" "${target[3]}"
resized() { read -r _ _ w h < <(frame); read -r _ _ w0 h0 <<<"$first"; [ "$w" != "$w0" ] && [ "$h" != "$h0" ]; }
until_true resized || fail "the window manager did not move the window"
settle || fail "the window never settled after the move"
moved=$(frame)
echo "moved to: $moved"
stop

for i in 1 2 3; do
  start
  until_true at "$moved"
  got=$(frame)
  echo "restart $i: $got"
  shot "restart-$i"
  [ "$got" = "$moved" ] || fail "restart $i put the frame at $got, not $moved"
  maximized && fail "restart $i came back maximized"
  stop
done

# Maximized by a double-click on the title bar, as openbox does.
start
read -r x y _ < <(frame)
for _ in 1 2 3; do
  xdotool mousemove $((x + 300)) $((y + 8)) click --repeat 2 --delay 100 1
  for _ in $(seq $((hang * 10 / 3))); do maximized && break 2; sleep 0.1; done
done
maximized || fail "the window manager did not maximize the window"
stop
start
echo "after a maximized close: $(frame) $(xprop -id "$win" _NET_WM_STATE | sed 's/.*= //')"
shot maximized-restart
until_true maximized || fail "a window closed maximized came back unmaximized"
stop

if [ -n "$opener" ]; then
  # Stored sizes below the minimum give the minimum outer size; one larger
  # than the screen maximizes.
  printf '[TfmModule]\nLeft=40\nTop=30\nWidth=100\nHeight=100\n' >"$ini"
  start
  until_true at "40 30 480 600"
  [ "$(frame)" = "40 30 480 600" ] || fail "a stored 100 x 100 gave $(frame), not 40 30 480 600"
  stop
  printf '[TfmModule]\nLeft=40\nTop=30\nWidth=5000\nHeight=5000\n' >"$ini"
  start
  until_true maximized || fail "a stored 5000 x 5000 did not maximize"
  stop
fi
echo "PASS"

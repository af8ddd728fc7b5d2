#!/usr/bin/env bash
# A window comes back exactly where it was left, whatever state its frame is
# in when the program places it. The window manager is the tests' own
# kb_stepwm, which frames a window in openbox's four steps (a 1 x 1 frame at
# 0,0, the frame at its full size, the frame extents published, the frame
# moved to its place and the window into it) and here holds one of them at a time, so that the program
# meets each transient state for certain. For every step held: the stored
# bounds are where the frame opens, twice in a row, and closing stores them
# unchanged.
#   framing.sh PATH/TO/kb_stepwm PATH/TO/Kitebench                  the main window
#   framing.sh PATH/TO/kb_stepwm PATH/TO/Kitebench OPENER MODULE CAPTION
#                                   the window of module MODULE, titled
#                                   CAPTION, opened by the program OPENER
set -u
usage="usage: framing.sh PATH/TO/kb_stepwm PATH/TO/Kitebench [OPENER MODULE CAPTION]"
wm=${1:?$usage}
exe=${2:?$usage}
opener=${3:-}
if [ -n "$opener" ]; then
  module=${4:?$usage}
  title=${5:?$usage}
  section=TfmModule
  stored=(300 100 522 665)
else
  title=Kitebench
  section=TfmMain
  stored=(212 127 903 636)
fi
tools="Xvfb xdotool xwininfo xprop"
. "$(dirname "$0")/desktop.sh"
want="${stored[*]}"
store() { printf '[%s]\nLeft=%s\nTop=%s\nWidth=%s\nHeight=%s\n' "$section" "${stored[@]}" >"$ini"; }

found() {
  win=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
  [ -n "$win" ]
}
# The window manager has taken its last step for the window. Only its lines
# since this start count: a new connection may be given the window id of the
# one before.
framed() { tail -n +"$from" "$work/wm.log" | grep -q "^step 4 $(printf '0x%x' "$win") "; }

# One window manager for each held step; the program started twice under it.
for hold in 1 2 3; do
  "$wm" --hold "$hold" --hold-ms 1500 >"$work/wm.log" 2>"$work/wm.err" &
  wmpid=$!
  pids+=($wmpid)
  until_true wm_up || { cat "$work/wm.err"; fail "kb_stepwm did not start"; }
  store
  for run in 1 2; do
    from=$(($(wc -l <"$work/wm.log") + 1))
    "${app[@]}" >>"$work/app.log" 2>&1 &
    pid=$!
    pids+=($pid)
    until_true found || { cat "$work/app.log"; fail "no window titled $title"; }
    until_true framed || fail "the window manager never finished the frame"
    settle || fail "the window never settled"
    got=$(frame)
    echo "step $hold held, start $run: $got"
    [ "$got" = "$want" ] || fail "with step $hold held, start $run put the frame at $got, not $want"
    # Closed as Alt+F4 closes it, without a key: the window manager asks.
    kill -USR1 "$wmpid"
    until_true ended || fail "the program did not end when asked to close"
    read -r -a kept < <(awk -F= -v s="[$section]" '$0==s{on=1;next} /^\[/{on=0}
      on&&$1=="Left"{l=$2} on&&$1=="Top"{t=$2} on&&$1=="Width"{w=$2} on&&$1=="Height"{h=$2} END{print l, t, w, h}' "$ini")
    [ "${kept[*]}" = "$want" ] || fail "with step $hold held, start $run stored ${kept[*]}, not $want"
  done
  kill "$wmpid"
  wait "$wmpid" 2>/dev/null
  # The frames a window manager leaves are gone with it; the next starts clean.
  until_true sh -c '! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
done
echo "PASS"

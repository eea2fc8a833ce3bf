#!/usr/bin/env bash
# Checks end to end, under Xvfb, that the note keys follow the labels of the keyboard layout:
# with the German layout the key labelled Z enters the bass drum and Y the second tom, AltGr+Q ('@')
# enters nothing; with the French layout A enters the rim click and Q the closed hi-hat. Notes are
# read from the MIDI log (GROOVELOOM_MIDI_LOG), which records every note the editor sounds.
#
#   tools/check_keyboard_layouts.sh [path/to/grooveloom]     (default build/grooveloom)
#
# Installs Xvfb, xdotool and setxkbmap with apt-get when they are missing. Exit status 0 when every
# check passed.
set -euo pipefail
program=$(realpath "${1:-build/grooveloom}")
[ -x "$program" ] || { echo "no program at $program" >&2; exit 2; }

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xdotool >/dev/null || need+=(xdotool)
command -v setxkbmap >/dev/null || need+=(x11-xkb-utils)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d)
display=":$(( 90 + RANDOM % 100 ))"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

export GROOVELOOM_MIDI_LOG=$work/midi.log
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
(cd "$work" && exec "$program") >/dev/null 2>&1 &
pids+=($!)
# Without a sound output the start-up says so in a box before the window shows; close it. There
# is no window manager: focus windows directly, and type through XTEST into the focused window.
main=
for _ in $(seq 100); do
  for box in $(xdotool search --onlyvisible --name '^Grooveloom demo$' 2>/dev/null || true); do
    xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
  done
  main=$(xdotool search --onlyvisible --name '^Grooveloom 1\.0' 2>/dev/null | head -1 || true)
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || { echo "the main window did not show" >&2; exit 1; }
xdotool windowfocus --sync "$main"
xdotool key ctrl+n
# The layout is switched while the editor runs, as a user would.
setxkbmap de
sleep 0.5

failures=0
notes() { grep -c "[0-9A-F]\{4\}$1"'99$' "$GROOVELOOM_MIDI_LOG" 2>/dev/null || true; }
# Presses keys (xdotool names keysyms, which it types with the active layout's keys) and expects
# the note of `hex` to sound `want` more times than before.
check() {
  local what=$1 hex=$2 want=$3; shift 3
  local before after
  before=$(notes "$hex")
  xdotool key "$@"
  sleep 0.4
  after=$(notes "$hex")
  if [ $((after - before)) -eq "$want" ]; then
    echo "ok   $what"
  else
    echo "FAIL $what: note $hex sounded $((after - before)) times, expected $want"
    failures=$((failures + 1))
  fi
}

check "de: key labelled Z enters the bass drum" 24 1 z
check "de: key labelled Y enters tom 2" 2F 1 y
check "de: AltGr+Q enters no hi-hat" 2A 0 ISO_Level3_Shift+q
setxkbmap fr
sleep 0.3
check "fr: key labelled A enters the rim click" 25 1 a
check "fr: key labelled Q enters the closed hi-hat" 2A 1 q
check "fr: digit row unshifted (&) enters the crash" 31 1 ampersand

if [ "$failures" -eq 0 ]; then echo "all keyboard layout checks passed"; else exit 1; fi

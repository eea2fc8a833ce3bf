#!/usr/bin/env bash
# Checks end to end, under Xvfb, that the note keys follow the labels of the keyboard layout:
# with the German layout the key labelled Z enters the bass drum and Y the second tom, AltGr+Q ('@')
# enters nothing; with the French layout A enters the rim click and Q the closed hi-hat. Then the
# program quits (Alt+X, Yes) and runs a second time on the same display, where every one of four
# snare presses must sound as in the first run, and its window must carry the desktop entry's class
# and the program's icon. Notes are read from the MIDI log (GROOVELOOM_MIDI_LOG), which records
# every note the editor sounds.
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
command -v xprop >/dev/null || need+=(x11-utils)
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
version=$("$program" --version)
version=${version#Grooveloom }
# Starts the program and focuses its main window ($main, $run the process). Without a sound output
# the start-up says so in a box before the window shows; close it. There is no window manager:
# focus windows directly, and type through XTEST into the focused window.
start() {
  (cd "$work" && exec "$program") >/dev/null 2>&1 &
  run=$!
  pids+=($run)
  main=
  for _ in $(seq 100); do
    for box in $(xdotool search --onlyvisible --name '^Grooveloom demo$' 2>/dev/null || true); do
      xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
    done
    main=$(xdotool search --onlyvisible --name "^Grooveloom ${version//./\\.}" 2>/dev/null | head -1 || true)
    [ -n "$main" ] && break
    sleep 0.1
  done
  [ -n "$main" ] || { echo "the main window did not show" >&2; exit 1; }
  xdotool windowfocus --sync "$main"
}

start
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

# Quit as a user does: Alt+X, then Yes (Enter) in the question, and the unsaved-changes warning.
setxkbmap us
xdotool windowfocus --sync "$main" key alt+x
for _ in $(seq 100); do
  kill -0 "$run" 2>/dev/null || break
  for box in $(xdotool search --onlyvisible --name '.' 2>/dev/null || true); do
    [ "$box" = "$main" ] || xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
  done
  sleep 0.2
done
if kill -0 "$run" 2>/dev/null; then echo "FAIL the program did not quit on Alt+X, Yes"; exit 1; fi

# The second run on the same display.
start
class=$(xprop -id "$main" WM_CLASS)
if grep -q '"org.grooveloom.Grooveloom"' <<<"$class"; then
  echo "ok   window class is the desktop entry's"
else
  echo "FAIL window class: $class"
  failures=$((failures + 1))
fi
if xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (48 x 48)'; then
  echo "ok   window carries the program's icon"
else
  echo "FAIL the window has no icon of its own"
  failures=$((failures + 1))
fi
xdotool key ctrl+n
sleep 0.5
# One key a time, half a second apart, as a user types.
before=$(notes 26)
for key in s Right s Right s Right s; do xdotool key "$key"; sleep 0.5; done
after=$(notes 26)
if [ $((after - before)) -eq 4 ]; then
  echo "ok   second run: four snare presses sound four snares"
else
  echo "FAIL second run: $((after - before)) snares of 4 sounded"
  failures=$((failures + 1))
fi

if [ "$failures" -eq 0 ]; then echo "all keyboard layout checks passed"; else exit 1; fi

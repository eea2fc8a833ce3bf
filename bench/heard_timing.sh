#!/usr/bin/env bash
# What is heard: plays closed hi-hat eighths for 20 s with `grooveloom --play` on the built-in
# synthesizer into a private PulseAudio null sink, records the sink's monitor with parec, and times
# the onsets in the recording (bench/heard_onsets.py): |interval - ideal| p50/p99/max, the drift
# after 20 s and dropouts, at tempo 97 and 120, with two busy processes on the machine, everything
# at normal priority. Then, at tempo 100, hi-hats on every eighth triplet and swung eighths (33 %),
# each onset interval against the same song's audio export (FEEL=0 leaves these out). Installs
# pulseaudio and pulseaudio-utils when missing (apt-get, as root or through sudo).
#   bench/heard_timing.sh [build/grooveloom]        BUSY=0 for an idle machine
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=${1:-$here/../build/grooveloom}
busy=${BUSY:-2}
seconds=${SECONDS_PER_RUN:-20}

if ! command -v pulseaudio >/dev/null || ! command -v parec >/dev/null; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends pulseaudio pulseaudio-utils
fi

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  XDG_RUNTIME_DIR=$work HOME=$work pulseaudio --kill 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=file:"$work/pulse.log" \
  -L "module-null-sink sink_name=out rate=44100" -L module-native-protocol-unix
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

for _ in $(seq "$busy"); do
  ( while :; do :; done ) &
  pids+=($!)
done

# Plays `$1` and records what is heard into $work/rec.wav.
record() {
  parec -d out.monitor --file-format=wav --rate=44100 --channels=2 --format=s16le "$work/rec.wav" &
  rec=$!
  sleep 0.5
  "$program" --play "$@" > /dev/null
  sleep 0.3
  kill "$rec"; wait "$rec" 2>/dev/null || true
}

for tempo in 97 120; do
  # Enough bars of eighths for the run: a bar lasts 4 x 60 / tempo seconds.
  bars=$(( seconds * tempo / 240 + 2 ))
  python3 -c "print('HH   |' + '|'.join(['x-x-x-x-x-x-x-x-'] * $bars) + '|')" > "$work/hats.txt"
  record "$work/hats.txt" --tempo "$tempo"
  ideal=$(python3 -c "print(2 * 15000 / $tempo)")
  # Other work on the machine starves the sound server and the program alike: say how busy it was.
  printf 'tempo %3d, %d busy processes, load %s: ' "$tempo" "$busy" "$(cut -d' ' -f1 /proc/loadavg)"
  # The first hi-hat sounds alone, every later one over the cut tail of the one before, which
  # crosses the threshold a few frames earlier (16 at tempo 120, as in the audio export): the
  # intervals are timed from the second onset on.
  python3 "$here/heard_onsets.py" "$work/rec.wav" --interval "$ideal" --skip 1
done

[ "${FEEL:-1}" = 1 ] || exit 0
for feel in triplets swing; do
  python3 "$here/make_feel_song.py" "$feel" $(( seconds * 100 / 240 + 2 )) "$work/feel.gvlm"
  "$program" -o "$work/export.wav" --no-normalize "$work/feel.gvlm"
  record "$work/feel.gvlm"
  printf '%-8s at 100, %d busy processes, load %s, against the export: ' "$feel" "$busy" "$(cut -d' ' -f1 /proc/loadavg)"
  python3 "$here/heard_onsets.py" "$work/rec.wav" --reference "$work/export.wav" --skip 1
done

#!/usr/bin/env bash
# Checks the MusicXML export against the outside world, which the tests cannot reach:
# 1. every export (.musicxml, and the score inside the .mxl) validates against the MusicXML 4.0
#    schema in ../shared/musicxml-4.0/ (xmllint from libxml2-utils, offline through its catalog);
# 2. MuseScore 3 (Debian's musescore3, installed here when missing) reads each export back and
#    writes it as MIDI; its notes (drum keys and onsets in sixteenths) must equal those of this
#    program's own MIDI export of the same song.
# The songs: the bench groove (bench/make_groove_song.py) and tools/musicxml_check_songs.py's.
# Not part of CI: MuseScore is large.
#
# usage: tools/check_musicxml.sh PATH/TO/grooveloom [SCHEMA_DIR]
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PATH/TO/grooveloom [SCHEMA_DIR]" >&2
  exit 2
fi
binary=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
root=$(dirname "$here")
schema_dir=$(realpath "${2:-$root/../shared/musicxml-4.0}")
if [ ! -f "$schema_dir/musicxml.xsd" ] || [ ! -f "$schema_dir/catalog.xml" ]; then
  echo "no MusicXML 4.0 schema with its catalog in $schema_dir" >&2
  exit 2
fi

need=()
command -v xmllint >/dev/null || need+=(libxml2-utils)
command -v mscore3 >/dev/null || need+=(musescore3)
command -v unzip >/dev/null || need+=(unzip)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/make_groove_song.py" 16 "$work/bench-groove.gvlm"
python3 "$here/musicxml_check_songs.py" "$work"

validate() {
  XML_CATALOG_FILES="$schema_dir/catalog.xml" \
    xmllint --nonet --noout --schema "$schema_dir/musicxml.xsd" "$1" 2>"$work/xmllint.log"
}

failures=0
for song in "$work"/*.gvlm; do
  name=$(basename "$song" .gvlm)
  dir="$work/$name"
  mkdir -p "$dir"
  "$binary" -o "$dir/song.musicxml" "$song"
  "$binary" -o "$dir/song.mxl" "$song"
  "$binary" -o "$dir/song.mid" "$song"
  result="valid"
  if ! validate "$dir/song.musicxml"; then
    result="INVALID: $(head -5 "$work/xmllint.log")"
    failures=$((failures + 1))
  fi
  unzip -qq -d "$dir/mxl" "$dir/song.mxl"
  if ! cmp -s "$dir/song.musicxml" "$dir/mxl/score.musicxml" || ! validate "$dir/mxl/score.musicxml"; then
    result="$result; .mxl score differs or is invalid"
    failures=$((failures + 1))
  fi
  python3 "$here/midi_notes.py" "$dir/song.mid" >"$dir/own.notes"
  for input in song.musicxml song.mxl; do
    if ! QT_QPA_PLATFORM=offscreen mscore3 -o "$dir/back.mid" "$dir/$input" >"$dir/mscore.log" 2>&1; then
      result="$result; MuseScore could not read $input"
      failures=$((failures + 1))
      continue
    fi
    python3 "$here/midi_notes.py" "$dir/back.mid" >"$dir/back.notes"
    if cmp -s "$dir/own.notes" "$dir/back.notes"; then
      result="$result; $input: $(wc -l <"$dir/own.notes") notes identical"
    else
      result="$result; $input: NOTES DIFFER"
      diff "$dir/own.notes" "$dir/back.notes" | head -10 >&2 || true
      failures=$((failures + 1))
    fi
    rm -f "$dir/back.mid"
  done
  echo "$name: $result"
done
if [ $failures -gt 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "all exports valid and read back by MuseScore with the same notes"

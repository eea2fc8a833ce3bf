# Sourced by the whole-process export benchmarks: checks the arguments (PATH/TO/grooveloom [RUNS]),
# sets binary, runs, here and a work folder removed on exit, and times conversions.
if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PATH/TO/grooveloom [RUNS]" >&2
  exit 2
fi
binary=$(realpath "$1")
runs=${2:-7}
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# median_micros OUT IN: converts IN to OUT `runs` times and sets `median` to the median wall time
# in microseconds.
median_micros() {
  local times=() i start end
  for ((i = 0; i < runs; i++)); do
    rm -f "$1"
    start=$(date +%s%N)
    "$binary" -o "$1" "$2" 2>/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
}

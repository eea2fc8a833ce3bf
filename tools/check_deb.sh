#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB in the build folder), checks it with lintian (which must
# find nothing) and checks that it installs and removes cleanly with dpkg on this machine: every
# file in place, the program runs from /usr/bin, the desktop's MIME database learns the tab file
# type, and nothing is left after removal. Installs lintian with apt-get when it is missing.
#   tools/check_deb.sh [BUILD_FOLDER]      (default: build; needs root or sudo)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
fail() { echo "check_deb: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' grooveloom 2>/dev/null | grep -q "install ok installed"; then
  fail "a grooveloom package is installed already; remove it first (dpkg -r grooveloom)"
fi

(cd "$build" && rm -f grooveloom_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/grooveloom_*.deb)
echo "package: $deb"
version=$("$build"/grooveloom --version)
[ "Grooveloom $(dpkg-deb -f "$deb" Version)" = "$version" ] ||
  fail "package version $(dpkg-deb -f "$deb" Version) is not the program's ($version)"

if ! command -v lintian >/dev/null; then
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian >/dev/null
fi
# Errors and warnings (lintian's default level) fail the check.
root=()
[ "$(id -u)" -ne 0 ] || root=(--allow-root)
findings=$(lintian "${root[@]}" --no-cfg "$deb" 2>&1 || true)
[ -z "$findings" ] || fail "lintian: $findings"
echo "lintian: clean"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for wanted in libqt6widgets6 libfluidsynth3 libpulse0 librtmidi6 timgm6mb-soundfont fonts-dejavu-core; do
  grep -q "$wanted" <<<"$depends" || fail "Depends lacks $wanted"
done

# The run-time dependencies first (dpkg itself installs none), then the package.
first_choice=$(sed -E 's/ *\([^)]*\)//g; s/ *\|[^,]*//g; s/,/ /g' <<<"$depends")
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $first_choice >/dev/null
"${sudo[@]}" dpkg -i "$deb"

id=org.grooveloom.Grooveloom
files=(/usr/bin/grooveloom /usr/share/grooveloom/help.html /usr/share/applications/$id.desktop
       /usr/share/icons/hicolor/scalable/apps/$id.svg /usr/share/icons/hicolor/48x48/apps/$id.png
       /usr/share/icons/hicolor/scalable/mimetypes/application-x-grooveloom-tab.svg
       /usr/share/mime/packages/$id.xml /usr/share/metainfo/$id.metainfo.xml
       /usr/share/man/man1/grooveloom.1.gz /usr/share/doc/grooveloom/copyright
       /usr/share/doc/grooveloom/changelog.gz)
for f in "${files[@]}"; do [ -e "$f" ] || fail "not installed: $f"; done
/usr/bin/grooveloom --help | grep -q "grooveloom \[FILE\]" || fail "the installed program does not run"
# shared-mime-info's trigger has rebuilt the system database with the tab file type.
[ -e /usr/share/mime/application/x-grooveloom-tab.xml ] || fail "MIME database lacks application/x-grooveloom-tab"
sample=$(mktemp --suffix=.gvlm)
printf 'xx$#GVLM' >"$sample"
type=$(gio info -a standard::content-type "$sample" | sed -n 's/.*standard::content-type: //p')
rm -f "$sample"
[ "$type" = application/x-grooveloom-tab ] || fail "a .gvlm file is $type"

"${sudo[@]}" dpkg -r grooveloom
for f in "${files[@]}"; do [ ! -e "$f" ] || fail "left after removal: $f"; done
[ ! -e /usr/share/mime/application/x-grooveloom-tab.xml ] || fail "the MIME type outlives the package"
[ ! -d /usr/share/grooveloom ] || fail "left after removal: /usr/share/grooveloom"
[ ! -d /usr/share/doc/grooveloom ] || fail "left after removal: /usr/share/doc/grooveloom"
echo "check_deb: $deb installs and removes cleanly"

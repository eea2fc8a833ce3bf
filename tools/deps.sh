#!/usr/bin/env bash
# Installs the Debian 12 packages Grooveloom needs to build, test and run; does nothing when all are present.
set -euo pipefail
packages=(g++ make cmake pkg-config qt6-base-dev qt6-pdf-dev librtmidi-dev libasound2-dev libfluidsynth-dev libpulse-dev libsndfile1-dev zlib1g-dev
          timgm6mb-soundfont fonts-dejavu-core fonts-liberation2
          libxcb1-dev libgtest-dev googletest libbenchmark-dev xdg-utils python3
          desktop-file-utils appstream shared-mime-info libglib2.0-bin dpkg-dev locales "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

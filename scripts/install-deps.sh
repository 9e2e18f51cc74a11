#!/usr/bin/env bash
# Installs what building, testing and packaging pelmar needs on Debian 12
# (run as root): scdoc writes the man pages, groff shows them to their test,
# appstream and lintian check the package.
# Does nothing when everything is already there.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config git ccache
          qt6-base-dev qt6-httpserver-dev qt6-websockets-dev qt6-translations-l10n libgl-dev fonts-ipafont-gothic
          libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev
          libsqlite3-dev libre2-dev libicu-dev
          chromium chromium-driver python3-selenium python3-matplotlib
          scdoc groff-base appstream lintian)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

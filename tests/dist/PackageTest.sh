#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh: AppStream data validated, no
# lintian error), checks that it holds exactly the files the README lists,
# and, as root with apt and no pelmar installed, installs it with apt-get,
# runs the installed pelmard --version and removes it again, leaving none of
# its files behind.
#   PackageTest.sh BUILD_DIR SOURCE_DIR
# PELMAR_PACKAGE_INSTALL=0 leaves the installation out.
set -euo pipefail
build=$1 source=$2
tmp=$(mktemp -d /tmp/pelmar-package-test-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb=$("$source/scripts/package.sh" "$build" "$tmp" | tail -n 1)
[ -f "$deb" ] || fail "no package made"
version=$(sed -n 's/^project(pelmar VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$(basename "$deb")" = "pelmar_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"

# The files (not directories) the package holds, against the README's list.
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | sort >"$tmp/held"
sed -n '/<!-- package files -->/,/<!-- end of package files -->/p' "$source/README.md" |
    sed -n 's|^ *\(/[^ ]*\).*|\1|p' | sort >"$tmp/documented"
[ -s "$tmp/documented" ] || fail "README lists no package files"
diff -u "$tmp/documented" "$tmp/held" || fail "the package's files differ from the README's list"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || fail "Depends lacks Qt: $(dpkg-deb -f "$deb" Depends)"

if [ "${PELMAR_PACKAGE_INSTALL:-1}" = 0 ] || [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
    echo "package built and checked; installation left out (needs root and apt)"
    exit 0
fi
# One installation at a time on this machine; never one the user made.
exec 9>/tmp/pelmar-package-test.lock
flock -w 600 9 || fail "another package test holds the lock"
if dpkg-query -W -f='${Status}' pelmar 2>/dev/null | grep -q 'install ok'; then
    echo "package built and checked; pelmar is installed already, so installation left out"
    exit 0
fi
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300 --no-install-recommends)
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install "$deb" >"$tmp/install.log" 2>&1 || {
    cat "$tmp/install.log" >&2
    fail "apt-get install"
}
trap 'DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge pelmar >/dev/null 2>&1; rm -rf "$tmp"' EXIT
[ "$(/usr/bin/pelmard --version)" = "pelmard $version" ] || fail "installed pelmard --version"
systemctl is-enabled pelmard >/dev/null 2>&1 && fail "the service was enabled"
DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge pelmar >"$tmp/remove.log" 2>&1 || {
    cat "$tmp/remove.log" >&2
    fail "apt-get purge"
}
trap 'rm -rf "$tmp"' EXIT
dpkg-query -W -f='${Status}' pelmar 2>/dev/null | grep -q 'install ok' && fail "still installed"
while read -r file; do
    [ -e "$file" ] && fail "$file left after removal"
done <"$tmp/held"
echo "package built, checked, installed and removed: ok"

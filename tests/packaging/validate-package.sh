#!/usr/bin/env bash
# validate-package.sh BUILD_DIR [CPACK]: builds the Debian package from the build tree and checks it as a
# distribution would: lintian on the package, desktop-file-validate on its desktop entry,
# appstreamcli on its metainfo, and the manual page against the program's --help. Any error or
# warning fails; a checker that is not installed is left out (all missing: skipped, status 77).
set -euo pipefail
build=$1
cpack=${2:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$(find "$work" -maxdepth 1 -name '*.deb')
dpkg-deb -x "$deb" "$work/root"
share="$work/root/usr/share"

failures=0
ran=0
# check NAME PATTERN COMMAND...: runs a checker and fails on the output lines that match.
check() {
    local name=$1 pattern=$2
    shift 2
    if ! command -v "$1" >/dev/null; then
        echo "$name: not installed, left out"
        return
    fi
    ran=$((ran + 1))
    local output
    output=$("$@" 2>&1) || true
    echo "$name:"
    [ -n "$output" ] && sed 's/^/    /' <<<"$output"
    if grep -Eq "$pattern" <<<"$output"; then
        echo "$name: FAILED"
        failures=$((failures + 1))
    fi
}

# An optimised build is hardened: any hardening tag, even an informational one, fails.
lintian_fails='^[EW]: '
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
if [[ $build_type =~ ^(Release|RelWithDebInfo|MinSizeRel)$ ]]; then
    lintian_fails="$lintian_fails|: hardening-"
fi
check lintian "$lintian_fails" lintian --no-cfg --pedantic -I "$deb"
check desktop-file-validate '(error|warning): ' desktop-file-validate "$share"/applications/*.desktop
check appstreamcli '^[EW]: |failed' appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml

# Every option --help names is in the manual page.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/bin/brindlet" --help)
manual=$(gzip -dc "$share/man/man1/brindlet.1.gz" | sed 's/\\-/-/g')
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    if ! grep -q -- "$option" <<<"$manual"; then
        echo "manual page: $option from --help is missing"
        failures=$((failures + 1))
    fi
done

# fail MESSAGE: a fault this script finds itself.
fail() {
    echo "$1"
    failures=$((failures + 1))
}

# No package is named twice among the dependencies, and the programs the desktop entry's actions
# call are among them or the recommended packages.
depends=$(dpkg-deb -f "$deb" Depends)
relations="$depends, $(dpkg-deb -f "$deb" Recommends)"
for twice in $(tr ',|' '\n\n' <<<"$depends" | sed -E 's/^ +//; s/[ (].*//' | sort | uniq -d); do
    fail "Depends: $twice is named twice"
done
for helper in xclip:xclip wl-paste:wl-clipboard; do
    if grep -q "${helper%%:*}" "$share"/applications/*.desktop &&
        ! grep -qE "(^|[ ,|])${helper#*:}( |,|\$)" <<<"$relations"; then
        fail "desktop entry calls ${helper%%:*}, but ${helper#*:} is not among Depends or Recommends"
    fi
done

# Reproducible: every archive member and file is dated SOURCE_DATE_EPOCH, or else the date of the
# changelog's latest entry, and the compressed documents keep no name or date of their own.
changelog=$(cd "$(dirname "$0")/../.." && pwd)/packaging/debian/changelog
epoch=${SOURCE_DATE_EPOCH:-$(date -u -d "$(sed -n 's/^ -- .*  //p' "$changelog" | head -1)" +%s)}
stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
undated() { TZ=UTC tar tv --full-time | awk -v s="$stamp" '$4 " " $5 != s'; }
while read -r member; do
    [ -n "$member" ] && fail "not dated $stamp: $member"
done <<<"$(dpkg-deb --ctrl-tarfile "$deb" | undated; dpkg-deb --fsys-tarfile "$deb" | undated
           TZ=UTC ar tv "$deb" | awk -v s="$(date -u -d "@$epoch" '+%b %-d %H:%M %Y')" '$4 " " $5 " " $6 " " $7 != s')"
while read -r gz; do
    [[ $(od -An -tx1 -N8 "$gz" | tr -d ' \n') == 1f8b080000000000 ]] || fail "${gz#"$work"/root} keeps a name or date"
done < <(find "$work/root" -name '*.gz')

if [ "$ran" -eq 0 ] && [ "$failures" -eq 0 ]; then
    exit 77
fi
echo "$ran checkers run, $failures failed"
[ "$failures" -eq 0 ]

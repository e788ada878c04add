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

check lintian '^[EW]: ' lintian --no-cfg "$deb"
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

if [ "$ran" -eq 0 ] && [ "$failures" -eq 0 ]; then
    exit 77
fi
echo "$ran checkers run, $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: the program folder, the program on the PATH as a
# link into it (no copy), the desktop entry pointing at it, and a valid AppStream file.
set -uo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
check() {
    local what=$1; shift
    if "$@"; then echo "PASS   : $what"; else echo "FAIL!  : $what"; failures=$((failures + 1)); fi
}
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL!  : cmake --install"; exit 1; }
check "the program folder holds the program and its data" test -x "$prefix/lib/pelloway/pelloway" -a -f "$prefix/lib/pelloway/★MailData/infant.gif" -a -f "$prefix/lib/pelloway/Sound/Kouka.mid"
check "no build marker is installed" test ! -e "$prefix/lib/pelloway/per-user-folders"
check "bin/pelloway is a link into the program folder" test "$(readlink -f "$prefix/bin/pelloway")" = "$(readlink -f "$prefix/lib/pelloway/pelloway")"
check "the desktop entry starts bin/pelloway" grep -qx "Exec=$prefix/bin/pelloway" "$prefix/share/applications/pelloway.desktop"
check "--version through the link" bash -c '[[ $("$0" --version) == "pelloway "* ]]' "$prefix/bin/pelloway"
metainfo=$prefix/share/metainfo/io.github.pelloway.pelloway.metainfo.xml
check "the AppStream file is installed" test -f "$metainfo"
if command -v appstreamcli >/dev/null; then
    check "the AppStream file is valid" appstreamcli validate --no-net --pedantic "$metainfo"
else
    echo "FAIL!  : appstreamcli is missing (package appstream, in the test set)"
    failures=$((failures + 1))
fi
echo "Totals: $failures failed"
[ "$failures" -eq 0 ]

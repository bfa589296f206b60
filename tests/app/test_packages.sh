#!/usr/bin/env bash
# scripts/ensure-packages against stand-ins for dpkg-query, apt-get and systemctl: which
# packages each set installs, and that services stay off. Nothing on the machine changes.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
failures=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "PASS   : $what"; else echo "FAIL!  : $what"; failures=$((failures + 1)); fi
}

mkdir -p "$fake/bin"
# Installed: what $fake/installed lists. apt-get and systemctl write what they were asked.
cat > "$fake/bin/dpkg-query" <<'STUB'
#!/bin/sh
pkg=$(eval echo "\${$#}")
grep -qx "$pkg" "$FAKE/installed" 2>/dev/null && printf installed
exit 0
STUB
cat > "$fake/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >> "$FAKE/log"
if [ -x "$PELLOWAY_POLICY_RC" ]; then "$PELLOWAY_POLICY_RC" dovecot start; echo "policy says $?" >> "$FAKE/log"; fi
STUB
cat > "$fake/bin/systemctl" <<'STUB'
#!/bin/sh
case $1 in
    is-enabled) grep -qx "$2" "$FAKE/enabled" 2>/dev/null && echo enabled || echo disabled ;;
    is-active) grep -qx "$2" "$FAKE/active" 2>/dev/null && echo active || echo inactive ;;
    disable) echo "systemctl $*" >> "$FAKE/log" ;;
esac
STUB
cat > "$fake/bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
chmod +x "$fake/bin/"*
export FAKE=$fake PATH="$fake/bin:$PATH" PELLOWAY_POLICY_RC=$fake/policy-rc.d
run_set() { "$root/scripts/ensure-packages" "$@" 2>&1; }
lists() { grep -qx "$2" <<<"$1"; }

# Sets, on a machine with nothing installed.
: > "$fake/installed"
runs=$(run_set --dry-run run)
demo=$(run_set --dry-run demo)
tests=$(run_set --dry-run test)
check "run installs Qt and FluidSynth" lists "$runs" qt6-base-dev
check "run installs no Dovecot" bash -c '! grep -q dovecot <<<"$0"' "$runs"
check "run installs no test tool" bash -c '! grep -qE "^(xvfb|weston|mpop|clang-14|appstream)$" <<<"$0"' "$runs"
check "demo adds Dovecot" lists "$demo" dovecot-pop3d
check "demo installs what run does" lists "$demo" qt6-base-dev
check "demo installs no test tool" bash -c '! grep -qx xvfb <<<"$0"' "$demo"
check "test adds Weston, Xwayland and appstream" bash -c 'grep -qx weston <<<"$0" && grep -qx xwayland <<<"$0" && grep -qx appstream <<<"$0"' "$tests"
check "test needs Dovecot too" lists "$tests" dovecot-core
check "an unknown set is refused" bash -c '! "$0" --dry-run everything >/dev/null 2>&1' "$root/scripts/ensure-packages"

# With everything of run there, make run installs nothing and asks apt-get nothing.
printf '%s\n' $runs > "$fake/installed"
: > "$fake/log"
run_set run >/dev/null
check "run with its packages there calls nothing" test ! -s "$fake/log"

# demo on a machine where an earlier install left dovecot enabled but not running.
echo dovecot.service > "$fake/enabled"
: > "$fake/log"
run_set demo >/dev/null
check "demo installs the missing Dovecot" grep -q "apt-get .*install .*dovecot-core" "$fake/log"
check "starts are refused during the install" grep -qx "policy says 101" "$fake/log"
check "the policy goes after the install" test ! -e "$fake/policy-rc.d"
check "demo disables the enabled Dovecot" grep -qx "systemctl disable --quiet dovecot.service" "$fake/log"
check "demo leaves the socket alone when not enabled" bash -c '! grep -q "dovecot.socket" "$0"' "$fake/log"

# A Dovecot the user runs stays as it is.
printf '%s\n' $demo > "$fake/installed"
echo dovecot.service > "$fake/active"
: > "$fake/log"
run_set demo >/dev/null
check "a running Dovecot is left enabled" bash -c '! grep -q "systemctl disable" "$0"' "$fake/log"

echo "Totals: $failures failed"
[ "$failures" -eq 0 ]

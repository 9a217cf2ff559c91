#!/usr/bin/env bash
# scripts/deps.sh against a stand-in apt-get that reports the package lock as held: it waits and
# goes on once the lock is free, and gives up with a message when the lock outlasts the limit.
set -uo pipefail
source_dir="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
# Every package counts as missing.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
# Fails with apt's lock message while the counter file says the lock is still held.
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
held=$(cat "$LOCK_COUNT" 2>/dev/null || echo 0)
if [ "$held" -gt 0 ]; then
  echo $((held - 1)) >"$LOCK_COUNT"
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt)" >&2
  echo "E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?" >&2
  exit 100
fi
echo "$*" >>"$CALLS"
STUB
chmod +x "$work/bin/"*
failures=0
check() { if ! eval "$1"; then echo "FAILED: $2" >&2; failures=$((failures + 1)); fi; }

# Held for the first two tries: both apt-get commands run once the lock is free.
echo 2 >"$work/count"
out=$(PATH="$work/bin:$PATH" LOCK_COUNT="$work/count" CALLS="$work/calls" QLW_APT_WAIT=30 \
      bash "$source_dir/scripts/deps.sh" 2>&1)
status=$?
check '[ $status -eq 0 ]' "deps.sh ends well once the lock is free (exit $status): $out"
check 'grep -q "waiting for it" <<<"$out"' "says that it waits: $out"
check '[ "$(grep -c "" "$work/calls")" -eq 2 ] && grep -q "^update" "$work/calls" && grep -q "^install" "$work/calls"' \
      "update and install each ran once: $(cat "$work/calls" 2>/dev/null)"

# Held for longer than the limit: a message and a failure, nothing installed.
rm -f "$work/calls"
echo 1000 >"$work/count"
out=$(PATH="$work/bin:$PATH" LOCK_COUNT="$work/count" CALLS="$work/calls" QLW_APT_WAIT=2 \
      bash "$source_dir/scripts/deps.sh" 2>&1)
status=$?
check '[ $status -ne 0 ]' "deps.sh fails when the lock stays held"
check 'grep -q "still holds the package lock after 2 s" <<<"$out"' "says why it gave up: $out"
check '[ ! -e "$work/calls" ]' "nothing was installed"

# Any other failure of apt-get ends at once, with apt's own message.
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "E: Unable to locate package nothing-such" >&2
exit 100
STUB
start=$SECONDS
out=$(PATH="$work/bin:$PATH" QLW_APT_WAIT=30 bash "$source_dir/scripts/deps.sh" 2>&1)
status=$?
check '[ $status -ne 0 ] && [ $((SECONDS - start)) -lt 10 ]' "another failure does not wait"
check 'grep -q "Unable to locate package" <<<"$out"' "apt's message is shown: $out"
exit $failures

#!/usr/bin/env bash
# The demonstration data of the run command: made in a fresh directory, the system database
# attaches on the embedded engine as the suite's system account, and a second run keeps it.
set -euo pipefail
script="$1"
isql="${ISQL:-/usr/bin/isql-fb}" # the same isql that the script makes the database with
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
"$script" "$dir" >/dev/null
[ -d "$dir/SHARED/PROFILE" ] || { echo "no SHARED/PROFILE"; exit 1; }
grep -qx "REMOTE=0" "$dir/baza.set" || { echo "the settings are not local"; exit 1; }
grep -qx "DATABASE_DIR=$dir/BAZA" "$dir/baza.set" || { echo "the settings do not point at BAZA"; exit 1; }
echo "; kept" >>"$dir/baza.set"
source "$(dirname "$script")/demo-env.sh" "$dir"
out="$(echo 'SELECT RDB$CHARACTER_SET_NAME FROM RDB$DATABASE;' |
       "$isql" -q -user SYSKWR "$dir/BAZA/systemkw.gdb")"
grep -q WIN1250 <<<"$out" || { echo "unexpected: $out"; exit 1; }
before="$(stat -c %Y-%s "$dir/BAZA/systemkw.gdb")"
"$script" "$dir" >/dev/null
[ "$before" = "$(stat -c %Y-%s "$dir/BAZA/systemkw.gdb")" ] || { echo "the database was made again"; exit 1; }
grep -qx "; kept" "$dir/baza.set" || { echo "the settings were written again"; exit 1; }
echo ok

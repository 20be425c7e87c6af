#!/usr/bin/env bash
# Makes the demonstration data beside the built program, so that the dialog can be tried at once:
#   <dir>/BAZA/systemkw.gdb   the suite's system database, made on the embedded engine (no server)
#   <dir>/SHARED/PROFILE      the shared directory with its profile directory
#   <dir>/baza.set            settings pointing there: a local database, so Test attaches through
#                             the embedded engine once the question about a server is answered "Nie"
# Existing files are left alone.
# Usage: scripts/make-demo-db.sh <directory of the built program>
set -euo pipefail

dir="${1:?usage: $0 <directory of the built program>}"
dir="$(cd "$dir" && pwd)"
isql="${ISQL:-/usr/bin/isql-fb}"
db="$dir/BAZA/systemkw.gdb"

mkdir -p "$dir/BAZA" "$dir/SHARED/PROFILE"

settings="$dir/baza.set"
if [ ! -e "$settings" ]; then
    # Written beside and renamed, so that an interrupted run leaves no half a file.
    tmp_set="$(mktemp "$dir/.baza.set.XXXXXX")"
    printf '[MAIN]\nREMOTE=0\nSERWER_NAME=localhost\nPROTOCOL_NAME=0\nDATABASE_DIR=%s\nSHARED_DIR=%s\nPROFIL_DIR=%s\nDATABASE_FILE_EXT=.gdb\n' \
        "$dir/BAZA" "$dir/SHARED" "$dir/SHARED" >"$tmp_set"
    chmod 644 "$tmp_set"
    mv -n "$tmp_set" "$settings"
    rm -f "$tmp_set"
    echo "Demonstration settings: $settings"
fi

if [ -s "$db" ]; then
    exit 0
fi
if [ ! -x "$isql" ]; then
    echo "make-demo-db: $isql is missing (package firebird3.0-utils)" >&2
    exit 1
fi

# The embedded engine keeps its locks in /tmp/firebird, writable by the firebird group only. A user
# outside that group gets a lock directory of its own, for this private database only: never for a
# database that others open too (see scripts/demo-env.sh).
# shellcheck source=demo-env.sh
source "$(dirname "$0")/demo-env.sh" "$dir"

# ISC_USER names the owner; the embedded engine asks for no password.
tmp_sql="$(mktemp)"
trap 'rm -f "$tmp_sql"' EXIT
db_sql="${db//\'/\'\'}" # a quote in the path is doubled inside the SQL string
cat >"$tmp_sql" <<SQL
SET SQL DIALECT 3;
CREATE DATABASE '$db_sql' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1250;
COMMIT;
SQL
if ! ISC_USER=SYSKWR "$isql" -q -i "$tmp_sql" </dev/null; then
    rm -f "$db"
    echo "make-demo-db: could not create $db" >&2
    exit 1
fi
echo "Demonstration database: $db"

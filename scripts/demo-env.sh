# Sourced with the directory of the built program: the environment of the demonstration database
# beside it (scripts/make-demo-db.sh), which the embedded engine opens.
#
# FIREBIRD_LOCK points at a lock directory of the user's own when the system's lock directory cannot
# be used by this user. Only for this private database: engines that share one database file
# coordinate through their lock directory, so a database that other users open must be reached with
# the system's one (add the user to the firebird group instead).
#
# The program asks its credential source for the system account's password before every attachment.
# The embedded engine checks none, so when neither ZELWAN_SYSKWR_PASSWORD nor the password file gives
# one, a stand-in is set for this run only; a real server needs the real password (README).
_zelwan_system_lock=/tmp/firebird
if [ -z "${FIREBIRD_LOCK:-}" ] && ! { [ -d "$_zelwan_system_lock" ] && [ -w "$_zelwan_system_lock" ] && [ -x "$_zelwan_system_lock" ]; }; then
    export FIREBIRD_LOCK="$1/.firebird-lock"
    mkdir -p "$FIREBIRD_LOCK"
    chmod 700 "$FIREBIRD_LOCK"
fi
unset _zelwan_system_lock
if [ -z "${ZELWAN_SYSKWR_PASSWORD:-}" ] && [ ! -e "${XDG_CONFIG_HOME:-${HOME:-}/.config}/zelwan/syskwr.password" ]; then
    export ZELWAN_SYSKWR_PASSWORD=demo
fi

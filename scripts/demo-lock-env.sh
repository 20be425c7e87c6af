# Sourced with the directory of the built program: exports FIREBIRD_LOCK pointing at a lock
# directory of the user's own when the system's lock directory cannot be used by this user.
# Only for the private demonstration database beside the built program: engines that share one
# database file coordinate through their lock directory, so a database that other users open must
# be reached with the system's one (add the user to the firebird group instead).
_zelwan_system_lock=/tmp/firebird
if [ -z "${FIREBIRD_LOCK:-}" ] && ! { [ -d "$_zelwan_system_lock" ] && [ -w "$_zelwan_system_lock" ] && [ -x "$_zelwan_system_lock" ]; }; then
    export FIREBIRD_LOCK="$1/.firebird-lock"
    mkdir -p "$FIREBIRD_LOCK"
    chmod 700 "$FIREBIRD_LOCK"
fi
unset _zelwan_system_lock

#!/bin/sh
# Starts Dovra Pro, installed as bin/dovra beside lib/dovra/dovra. Its program folder
# (settings, Mailer Number counter, senders, log) is the folder DOVRA_HOME names, or
# "Dovra" in the user's home when it is not set.
: "${DOVRA_HOME:=$HOME/Dovra}"
export DOVRA_HOME
mkdir -p "$DOVRA_HOME" || exit 1
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/dovra/dovra" "$@"

#!/usr/bin/env bash
# Sets up the machine, builds, and starts the program (under Xvfb when there is no display).
# The program keeps its data where the installed program does: in the folder DOVRA_HOME
# names, or ~/Dovra when it is not set; never in build/, which a clean build deletes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
: "${DOVRA_HOME:=$HOME/Dovra}"
export DOVRA_HOME
mkdir -p "$DOVRA_HOME"
echo "Program folder (settings, counter, senders, log): $DOVRA_HOME"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/dovra "$@"
fi
exec build/bin/dovra "$@"

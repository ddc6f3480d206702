#!/usr/bin/env bash
# The floors of the house, lowest first: a source file may include headers of its own folder
# and of folders on floors below its own, never of a folder beside it or above it. Tests,
# benchmarks and fuzz targets stand outside the house and may include anything.
#
#   check-floors.sh [source root]   exits 1, naming each include that breaks the rule
set -euo pipefail

floors=(
  "engine"                      # 1 the table engine: plain C++ on SQLite and libpq, no Qt
  "core"                        # 2 the program's notions without widgets, the data module
  "canvas widgets"              # 3 drawing pages; dialogs and widget helpers the windows share
  "printing addressbook log"    # 4 the subsystems, each its logic beside its windows
  "app"                         # 5 the main window and the start-up
)

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

declare -A floorOf
for i in "${!floors[@]}"; do
  for folder in ${floors[$i]}; do floorOf[$folder]=$((i + 1)); done
done

broken=0
for folder in "${!floorOf[@]}"; do
  [[ -d $folder ]] || { echo "check-floors: the folder $folder/ is missing" >&2; broken=1; continue; }
  own=${floorOf[$folder]}
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^/">]+)\/.*/\1/' <<<"$text")
    [[ $target == "$folder" || -z ${floorOf[$target]:-} ]] && continue
    if (( ${floorOf[$target]} >= own )); then
      echo "$file:$line: $folder/ (floor $own) includes from $target/ (floor ${floorOf[$target]}): $text"
      broken=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^/">]+/' "$folder" || true)
  # The table engine knows nothing of Qt.
  if [[ $folder == engine ]]; then
    while IFS= read -r hit; do
      echo "$hit: the table engine includes Qt"
      broken=1
    done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' engine || true)
  fi
done
if (( broken )); then
  echo "check-floors: a file includes from a floor above its own or beside it (floors in $0)" >&2
  exit 1
fi
echo "check-floors: every include keeps to the floors"

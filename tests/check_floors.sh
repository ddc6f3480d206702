#!/usr/bin/env bash
# The floor check passes on the sources as they are, and fails, naming the file, when a file
# includes from a floor above its own or from a folder beside it, or the engine includes Qt.
#
#   check_floors.sh <source root>
set -euo pipefail
src=$1
check=$src/scripts/check-floors.sh
bash "$check" "$src"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folders=(engine core canvas widgets printing addressbook log app)
# file | the line added to it
cases=(
  'core/MoneyText.cpp|#include "app/TF_Main.h"'
  'widgets/ButtonDialog.cpp|#include "printing/MailerForm.h"'
  'canvas/PdfCanvas.cpp|#include "widgets/Services.h"'
  'log/LogModel.cpp|#include "printing/PrintRun.h"'
  'addressbook/AddressBookPanel.cpp|  #  include "app/TF_Main.h"'
  'log/TF_Log.cpp|#include <app/TF_Main.h>'
  'engine/Engine.cpp|#include <QString>'
)
failed=0
for c in "${cases[@]}"; do
  file=${c%%|*}
  line=${c#*|}
  tree=$work/tree
  rm -rf "$tree"
  mkdir -p "$tree"
  for f in "${folders[@]}"; do cp -r "$src/$f" "$tree/"; done
  printf '%s\n' "$line" >>"$tree/$file"
  if out=$(bash "$check" "$tree" 2>&1); then
    echo "FAIL: the check passed with $file: $line"
    failed=1
  elif ! grep -q "^$file:" <<<"$out"; then
    echo "FAIL: the check failed without naming $file: $out"
    failed=1
  else
    echo "ok: $(grep "^$file:" <<<"$out")"
  fi
done
exit $failed

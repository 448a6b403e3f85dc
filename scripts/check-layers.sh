#!/usr/bin/env bash
# Checks that every folder of src/ includes only folders below it:
#   api > picture, output > decoder > bitstream > primitives > platform
# Prints each include that points up or sideways and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"
rank() {
  case "$1" in
    api) echo 6 ;; picture|output) echo 5 ;; decoder) echo 4 ;; bitstream) echo 3 ;;
    primitives) echo 2 ;; platform) echo 1 ;; *) echo 0 ;;
  esac
}
bad=0
while IFS= read -r line; do
  file=${line%%:*}
  target=$(echo "$line" | sed -E 's/.*#include "([a-z_]+)\/.*/\1/')
  from=${file%%/*}
  [ "$from" = "$target" ] && continue
  if [ "$(rank "$target")" -ge "$(rank "$from")" ]; then
    echo "layering: $line" >&2
    bad=1
  fi
done < <(grep -rnE '#include "[a-z_]+/' --include='*.h' --include='*.cpp' .  | sed 's|^\./||')
exit $bad

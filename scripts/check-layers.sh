#!/usr/bin/env bash
# Fails when a file of a Qt-free layer (core/, cli/) includes a Qt header or a
# header of the windows (gui/): the core builds and is tested without Qt.
set -euo pipefail
cd "$(dirname "$0")/.."
gui_headers=$(git ls-files 'gui/*.h' | xargs -r -n1 basename | sed 's/[.]/[.]/g' | paste -sd'|' -)
pattern='#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]|qt|ui_)'
[ -n "$gui_headers" ] && pattern="$pattern|#[[:space:]]*include[[:space:]]*\"($gui_headers)\""
found=$(git ls-files 'core/*' 'cli/*' | grep -E '\.(h|cpp)$' | xargs -r grep -n -E "$pattern" || true)
if [ -n "$found" ]; then
  echo "These Qt-free files include Qt or the windows:" >&2
  echo "$found" >&2
  exit 1
fi
echo "layers: no file under core/ or cli/ includes Qt or gui/"

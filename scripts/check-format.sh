#!/usr/bin/env bash
# Fails when a tracked C++ file differs from the committed .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
off=$(git ls-files '*.cpp' '*.h' | while read -r f; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || echo "$f"
done)
if [ -n "$off" ]; then
  echo "These files differ from .clang-format (run clang-format -i on them):" >&2
  echo "$off" >&2
  exit 1
fi
echo "clang-format: every C++ file follows .clang-format"

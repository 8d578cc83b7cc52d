#!/usr/bin/env bash
# Formats every C++ file in the repository with .clang-format. With --check it changes nothing,
# names each file that differs and fails, so that CI refuses unformatted changes.
set -euo pipefail
cd "$(dirname "$0")/.."
fmt=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$fmt" ]; then
  echo "format: clang-format-14 is not installed (scripts/setup.sh installs it)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.hpp' '*.h')
if [ "${1:-}" != "--check" ]; then
  "$fmt" -i "${files[@]}"
  echo "format: ${#files[@]} files formatted"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! "$fmt" --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "format: $f differs from .clang-format (run scripts/format.sh)" >&2
    bad=$((bad + 1))
  fi
done
if [ "$bad" -ne 0 ]; then
  echo "format: $bad of ${#files[@]} files are not formatted" >&2
  exit 1
fi
echo "format: all ${#files[@]} files formatted"

#!/usr/bin/env bash
# Checks the rule that keeps model code free of the window: outside app/, only
# handler files (Form1<Area>.cpp) include headers of app/.
#   check-shape.sh [SOURCE_ROOT]   (default: the tree's src/)
set -euo pipefail
root=${1:-"$(dirname "$0")/../src"}
[ -d "$root" ] || { echo "check-shape: no folder $root" >&2; exit 2; }

broken=0
while IFS= read -r -d '' file; do
  case "$(basename "$file")" in
  Form1*.cpp) continue ;;
  esac
  if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]app/' "$file"; then
    echo "check-shape: $file includes a header of app/ but is no Form1<Area>.cpp file" >&2
    broken=1
  fi
done < <(find "$root" -path "$root/app" -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
exit $broken

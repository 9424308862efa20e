#!/usr/bin/env bash
# Layering check: every folder of src/ includes only itself and the folders
# below it; a qt/ subfolder may also use its parent, and only qt/ folders may
# include qt/ headers.
#   scripts/check-layering.sh [SRC_DIR]   check a tree (default: src/ of this checkout)
#   scripts/check-layering.sh --self-test check that a wrong include is caught
# Prints one line per offending include (file:line) and exits 1 when any.
set -euo pipefail

# Lowest first.
folders=(foundation platform definitions model modelfiles machine nc simulation display shell
  dialogs automation app)

check_tree() {
  local src="$1"
  if [ ! -d "$src" ]; then
    echo "check-layering: no folder $src" >&2
    return 2
  fi
  local order label
  order="$(printf '%s ' "${folders[@]}")"
  label="$(basename "$src")"
  # grep prints file:line:text; awk compares the including and the included
  # folder by rank.
  (cd "$src" && grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' . || true) |
    awk -v order="$order" -v label="$label" '
      BEGIN {
        n = split(order, names, " ")
        for (i = 1; i <= n; ++i) rank[names[i]] = i
        bad = 0
      }
      {
        file = $0; sub(/:.*/, "", file); sub(/^\.\//, "", file)
        shown = label "/" file
        rest = $0; sub(/^[^:]*:/, "", rest)
        line = rest; sub(/:.*/, "", line)
        target = rest; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
        if (index(target, "/") == 0) next           # a header of the same folder
        split(file, fparts, "/"); from = fparts[1]
        split(target, tparts, "/"); to = tparts[1]
        if (!(from in rank)) {
          printf "%s:%s: file outside the known folders (%s)\n", shown, line, from; bad = 1; next
        }
        if (!(to in rank)) {
          printf "%s:%s: includes \"%s\" from an unknown folder\n", shown, line, target; bad = 1; next
        }
        if (rank[to] > rank[from]) {
          printf "%s:%s: %s includes \"%s\" of the higher folder %s\n", shown, line, from, target, to
          bad = 1; next
        }
        if (target ~ /(^|\/)qt\// && file !~ /(^|\/)qt\//) {
          printf "%s:%s: includes the Qt view \"%s\" from outside a qt/ folder\n", shown, line, target
          bad = 1
        }
      }
      END { exit bad }'
}

self_test() {
  local tmp
  tmp="$(mktemp -d)"
  trap 'rm -rf "$tmp"' RETURN
  mkdir -p "$tmp/src/foundation" "$tmp/src/model" "$tmp/src/shell/core" "$tmp/src/shell/qt"
  printf '#include "foundation/a.h"\n#include <vector>\n' >"$tmp/src/model/good.cpp"
  printf '#include "shell/core/state.h"\n' >"$tmp/src/shell/qt/view.cpp"
  printf '#pragma once\n' >"$tmp/src/foundation/a.h"
  if ! check_tree "$tmp/src" >/dev/null; then
    echo "check-layering self-test: a correct tree was refused" >&2
    return 1
  fi
  local cases=(
    'foundation/bad.cpp|#include "model/dexel_model.h"'
    'model/bad.h|  #  include "shell/core/state.h"'
    'shell/core/bad.cpp|#include "shell/qt/view.h"'
    'model/other.cpp|#include "nowhere/x.h"'
  )
  local entry file text output
  for entry in "${cases[@]}"; do
    file="${entry%%|*}"
    text="${entry#*|}"
    printf '%s\n' "$text" >"$tmp/src/$file"
    if output="$(check_tree "$tmp/src")"; then
      echo "check-layering self-test: the include in $file was not caught" >&2
      return 1
    fi
    if ! grep -q "^src/$file:1:" <<<"$output"; then
      echo "check-layering self-test: $file was not named with its line: $output" >&2
      return 1
    fi
    rm "$tmp/src/$file"
  done
  echo "check-layering: self-test passed"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
  exit $?
fi

src="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"
if check_tree "$src"; then
  echo "check-layering: every include goes to the same or a lower folder"
else
  status=$?
  [ "$status" -eq 1 ] && echo "check-layering: folders include higher folders (listed above)" >&2
  exit "$status"
fi

#!/usr/bin/env bash
# Every quoted include in src/ goes down the layers that src/layers.txt allows,
# and the table itself has no cycle. A file belongs to the deepest folder the
# table lists above it; a folder the table does not know fails the check.
# Includes that name no file of src/ (generated headers) are not layers.
set -euo pipefail
root=${1:?usage: layers.sh <source root>}
cd "$root/src"
{
  echo "== table"
  sed -e 's/#.*//' layers.txt
  echo "== files"
  find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||'
  echo "== includes"
  find . -type f \( -name '*.h' -o -name '*.cpp' \) -print0 |
    xargs -0 grep -HnE '^\s*#\s*include\s*"[^"]+"' | sed 's|^\./||'
} | awk '
  function layer(path,   best, f) {
    best = ""
    for (f in known)
      if ((path == f || index(path, f "/") == 1) && length(f) > length(best)) best = f
    return best
  }
  # Depth-first search for a cycle through `f`; the path so far in `trail`.
  function visit(f, trail,   d) {
    if (state[f] == 1) { cycle = trail " -> " f; return 1 }
    if (state[f] == 2) return 0
    state[f] = 1
    for (d in known)
      if (allowed[f, d] && visit(d, trail " -> " f)) return 1
    state[f] = 2
    return 0
  }
  /^== / { part = $2; next }
  part == "table" && NF > 0 {
    sub(/:$/, "", $1)
    known[$1] = 1
    for (i = 2; i <= NF; i++) { allowed[$1, $i] = 1; named[$i] = 1 }
    next
  }
  part == "files" { exists[$0] = 1; files[$0] = 1; next }
  part == "includes" {
    split($0, fields, ":")
    file = fields[1]
    line = $0
    sub(/^[^"]*"/, "", line); sub(/".*$/, "", line)
    if (!(line in exists)) next
    from = layer(file); to = layer(line)
    if (from == "" || to == "" || from == to || allowed[from, to]) next
    printf "%s:%s: %s may not include %s (%s)\n", file, fields[2], from, to, line
    bad++
  }
  END {
    for (d in named) if (!(d in known)) { printf "layers.txt names %s, which it does not list\n", d; bad++ }
    for (f in files) if (layer(f) == "") { printf "%s is in no layer of layers.txt\n", f; bad++ }
    for (f in known) if (visit(f, "")) { sub(/^ -> /, "", cycle); printf "layers.txt has a cycle: %s\n", cycle; bad++; break }
    if (bad) exit 1
    print "every include in src/ goes down the layers of src/layers.txt"
  }'

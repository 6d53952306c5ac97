#!/usr/bin/env bash
# Checks the GNOME 45 variant of Vistrel's extension where no GNOME 45 runs:
# GJS loads it as an ES module with a stand-in for the Shell's extension.js
# (a resource at the same URI) and GNOME's Meta typelib, on a private session
# bus, and drives its window control (shell45-check.js).
# Usage: shell45-check.sh EXTENSION_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
extension=${1:?usage: shell45-check.sh EXTENSION_DIR}
for tool in gjs glib-compile-resources dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "shell45-check: '$tool' is not installed (run scripts/install-deps.sh)" >&2; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Only the base class the variant extends, as GNOME 45 exports it.
cat >"$scratch/extension.js" <<'JS'
export class Extension {
  constructor(metadata) {
    this.metadata = metadata;
  }
}
JS
cat >"$scratch/shell.gresource.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<gresources>
  <gresource prefix="/org/gnome/shell/extensions"><file>extension.js</file></gresource>
</gresources>
XML
glib-compile-resources --sourcedir="$scratch" --target="$scratch/shell.gresource" "$scratch/shell.gresource.xml"
# gnome-shell finds Meta in mutter's private typelib folder.
typelibs=$(find /usr/lib -maxdepth 3 -name 'Meta-*.typelib' -printf '%h\n' | sort -V | tail -n 1)
[ -n "$typelibs" ] || { echo "shell45-check: no Meta typelib (mutter) is installed" >&2; exit 1; }
GI_TYPELIB_PATH=$typelibs${GI_TYPELIB_PATH:+:$GI_TYPELIB_PATH} \
  dbus-run-session -- gjs -m "$here/shell45-check.js" "$extension" "$scratch/shell.gresource"

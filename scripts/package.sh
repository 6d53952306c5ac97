#!/usr/bin/env bash
# `make package`: the two ways Vistrel is installed, each from a build tree of its own.
#
#   build-package/vistrel_<version>_<arch>.deb              build channel "package": the package manager updates it
#   build-release/vistrel-<version>-linux-<arch>.tar.xz     build channel "release": one folder, vistrel/, that
#                                                           updates itself; also the format the update feed serves
#
# VISTREL_SIGNING_KEY names the release key's secret key file (vistrel-sign generate-key). Without it the
# archive is signed with a throwaway key made here and deleted at the end: its layout is right, but it
# accepts no update from the release feed. VISTREL_UPDATE_FEED_URL and VISTREL_BUILD_NUMBER pass through.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# The two trees compile the same sources: with paths relative to the checkout, ccache shares the work.
export CCACHE_BASEDIR=$root

options=(-G Ninja -DCMAKE_BUILD_TYPE=Release)
[ -z "${VISTREL_UPDATE_FEED_URL:-}" ] || options+=("-DVISTREL_UPDATE_FEED_URL=$VISTREL_UPDATE_FEED_URL")
[ -z "${VISTREL_BUILD_NUMBER:-}" ] || options+=("-DVISTREL_BUILD_NUMBER=$VISTREL_BUILD_NUMBER")
targets=(vistrel vistrel-ocr vistrel-sign)

echo "package: the Debian package (build-package)"
cmake -S . -B build-package "${options[@]}" -DVISTREL_PACKAGE=ON -DVISTREL_RELEASE=OFF >/dev/null
cmake --build build-package --target "${targets[@]}"
rm -f build-package/vistrel_*.deb
(cd build-package && cpack -G DEB >/dev/null)

key=${VISTREL_SIGNING_KEY:-}
if [ -z "$key" ]; then
  throwaway=$(mktemp -d)
  trap 'rm -rf "$throwaway"' EXIT
  key=$throwaway/release.key
  build-package/bin/vistrel-sign generate-key "$key" >/dev/null
  echo "package: VISTREL_SIGNING_KEY is not set: the archive is signed with a throwaway key and accepts no update" >&2
fi
public_key=$(build-package/bin/vistrel-sign public-key "$key")

echo "package: the self-updating archive (build-release)"
cmake -S . -B build-release "${options[@]}" -DVISTREL_RELEASE=ON -DVISTREL_PACKAGE=OFF \
  "-DVISTREL_UPDATE_PUBLIC_KEY=$public_key" >/dev/null
cmake --build build-release --target "${targets[@]}"
rm -f build-release/vistrel-*.tar.xz build-release/vistrel-*.tar.xz.sha256
(cd build-release && VISTREL_SIGNING_KEY=$key cpack -G TXZ >/dev/null)

deb=$(ls build-package/vistrel_*.deb)
archive=$(ls build-release/vistrel-*.tar.xz)
echo "package: $root/$deb"
echo "package: $root/$archive"
echo "package: its enclosure for the update feed: $(build-release/bin/vistrel-sign sign-archive "$key" "$archive")"

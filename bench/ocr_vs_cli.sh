#!/usr/bin/env bash
# Reading text and codes, beside the command-line tools in one run on one
# desktop. Figures only; it never fails a build.
#
#   tests/e2e/harness.sh -- bash bench/ocr_vs_cli.sh <build dir>
#
# Text: 900x240 crops of terminals showing a known listing (xterm's 6x13
# bitmap font; DejaVu Sans Mono 10 dark on light and light on dark), read by
# the reading module loaded once (vistrel-ocr-bench) and by the tesseract
# command (OMP_THREAD_LIMIT=1), which loads its model on every run. The
# character error rate is measured against the listing. A second table reads
# the crops as the module prepares them (gray, light ground, 2x) with the
# command's page segmentation modes 3, 4, 6 and 11: how mode 6 was chosen.
# Codes: a QR code on a full 1920x1080 screen of terminals, by the module and
# by zbarimg. RUNS=n sets the runs per case (10); the tables also go to
# /tmp/vistrel-ocr-bench.txt, the crops and every reading to /tmp/vistrel-ocr-bench/.
set -euo pipefail
build=$(cd "${1:?usage: harness.sh -- bash bench/ocr_vs_cli.sh <build dir>}" && pwd)
bench=$build/bench/vistrel-ocr-bench
RUNS=${RUNS:-10}
OUT=/tmp/vistrel-ocr-bench.txt
work=/tmp/vistrel-ocr-bench
rm -rf "$work" && mkdir -p "$work"
for tool in tesseract zbarimg xterm xdotool import convert display "$bench"; do
  command -v "$tool" >/dev/null || { echo "ocr_vs_cli: '$tool' is missing (scripts/install-deps.sh, and build vistrel-ocr-bench)" >&2; exit 1; }
done
export OMP_THREAD_LIMIT=1

cat >"$work/listing.txt" <<'EOF'
$ ls -l /usr/share/doc/tesseract-ocr
-rw-r--r-- 1 root root  5129 Jan 12  2023 README.Debian
-rw-r--r-- 1 root root 13448 Dec 20  2022 changelog.Debian.gz
drwxr-xr-x 2 root root  4096 Mar  3 09:41 examples
$ git log --oneline -4
4f1c2e9 Keep the clipboard text when the alert is dismissed
a07b3d1 Read QR codes before the text in the selected area
93e5f20 Scale small terminal fonts up before recognition
1b8d6c4 Load the recognition model once, on first use
$ make -j2 2>&1 | tail -3
src/capture/TextRecognitionService.cpp:42:17: warning: unused variable 'count' [-Wunused-variable]
[ 87%] Linking CXX executable bin/vistrel
[100%] Built target vistrel
$ grep -n "timeout" config/server.conf
12:connect_timeout = 30
27:read_timeout = 120 # seconds, per request
$ echo $HOME $SHELL; date +%F
/home/user /bin/bash 2024-05-17
EOF

# shoot NAME ROWS xterm-options...: a terminal of ROWS rows showing the first
# ROWS lines of the listing, cropped to 900x240 into NAME.png, NAME.ref the text.
shoot() {
  local name=$1 rows=$2 pid id
  shift 2
  head -n "$rows" "$work/listing.txt" >"$work/$name.ref"
  # No newline after the last line: the terminal would scroll it away.
  xterm "$@" -geometry "150x$rows+0+0" -e bash -c "printf '\e[?25l%s' \"\$(cat '$work/$name.ref')\"; exec sleep 100000" &
  pid=$!
  id=$(timeout 10 xdotool search --sync --pid "$pid" | head -1)
  sleep 1
  import -window "$id" -crop 900x240+0+0 +repage "$work/$name.png"
  kill "$pid"
}
shoot xterm-6x13 18
shoot dejavu-10 14 -fa "DejaVu Sans Mono" -fs 10
shoot dejavu-10-dark 14 -fa "DejaVu Sans Mono" -fs 10 -rv

# stats FILE: "median min" of the numbers in FILE, one a line.
stats() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.0f %.0f", v[int(NR / 2) + 1], v[1] }'; }

# time_runs N FILE command...: appends the wall milliseconds of N runs to FILE.
time_runs() {
  local n=$1 file=$2 i start end
  shift 2
  for ((i = 0; i < n; i++)); do
    start=${EPOCHREALTIME//[.,]/}
    "$@" >/dev/null 2>&1
    end=${EPOCHREALTIME//[.,]/}
    echo $(((end - start) / 1000)) >>"$file"
  done
}

row() { printf '%-16s %-34s %11s %9s %8s\n' "$@" | tee -a "$OUT"; }
: >"$OUT"
echo "Text, 900x240 terminal crops (wall ms; the module's CPU ms in its own lines below)" | tee -a "$OUT"
row crop reader "median ms" "min ms" "CER %"
for name in xterm-6x13 dejavu-10 dejavu-10-dark; do
  img=$work/$name.png ref=$work/$name.ref
  "$bench" text "$img" "$ref" "$RUNS" "$work/$name.vistrel.txt" >"$work/$name.bench"
  read -r median min < <(grep '^request' "$work/$name.bench" | sed -E 's/.*wall median ([0-9.]+) ms min ([0-9.]+) ms.*/\1 \2/')
  first=$(grep '^first' "$work/$name.bench" | sed -E 's/.*wall median ([0-9.]+) ms.*/\1/')
  cer=$(grep '^CER' "$work/$name.bench" | awk '{ print $2 }')
  row "$name" "vistrel module, model loaded" "$median" "$min" "$cer"
  row "" "vistrel module, first request" "$first" - -
  : >"$work/cli.ms"
  time_runs "$RUNS" "$work/cli.ms" tesseract "$img" "$work/$name.cli"
  tesseract "$img" "$work/$name.cli" >/dev/null 2>&1
  row "" "tesseract (default, psm 3)" $(stats "$work/cli.ms") "$("$bench" cer "$ref" "$work/$name.cli.txt" | awk '{ print $2 }')"
  : >"$work/cli6.ms"
  time_runs "$RUNS" "$work/cli6.ms" tesseract "$img" "$work/$name.cli6" --psm 6
  tesseract "$img" "$work/$name.cli6" --psm 6 >/dev/null 2>&1
  row "" "tesseract --psm 6" $(stats "$work/cli6.ms") "$("$bench" cer "$ref" "$work/$name.cli6.txt" | awk '{ print $2 }')"
  grep -E '^(request|first|RSS)' "$work/$name.bench" | sed 's/^/    /' | tee -a "$OUT"
done

echo | tee -a "$OUT"
echo "Page segmentation on the prepared crops (gray, light ground, 2x), tesseract command" | tee -a "$OUT"
row crop "mode" "median ms" "min ms" "CER %"
for name in xterm-6x13 dejavu-10 dejavu-10-dark; do
  negate=()
  [ "$name" = dejavu-10-dark ] && negate=(-negate)
  convert "$work/$name.png" -colorspace Gray "${negate[@]}" -filter Triangle -resize 200% "$work/$name.2x.png"
  for psm in 3 4 6 11; do
    : >"$work/psm.ms"
    time_runs "$RUNS" "$work/psm.ms" tesseract "$work/$name.2x.png" "$work/psm" --psm "$psm"
    tesseract "$work/$name.2x.png" "$work/psm" --psm "$psm" >/dev/null 2>&1
    row "$name" "--psm $psm" $(stats "$work/psm.ms") "$("$bench" cer "$work/$name.ref" "$work/psm.txt" | awk '{ print $2 }')"
  done
done

# A QR code among terminals on the whole screen.
content="https://example.org/vistrel/bench?screen=1920x1080&id=42"
"$bench" qr "$content" 240 "$work/qr.png"
i=0
for cmd in "ls -lR /usr/include" "dmesg; cat /etc/services" "ps aux; ls -l /etc" "find /usr/share -maxdepth 3"; do
  xterm -geometry 158x40+$(((i % 2) * 960))+$(((i / 2) * 540)) -e bash -c "$cmd | head -3000; exec sleep 100000" &
  timeout 10 xdotool search --sync --pid $! >/dev/null
  i=$((i + 1))
done
# Over the terminals, once they are all up.
display -geometry +1300+420 "$work/qr.png" &
xdotool windowraise "$(timeout 10 xdotool search --sync --name 'qr\.png' | head -1)"
sleep 2
import -window root "$work/screen.png"

echo | tee -a "$OUT"
echo "QR code on a 1920x1080 screen of terminals" | tee -a "$OUT"
row "" reader "median ms" "min ms" "found"
"$bench" codes "$work/screen.png" "$content" "$RUNS" >"$work/codes.bench" && found=yes || found=no
read -r median min < <(grep '^codes' "$work/codes.bench" | sed -E 's/.*wall median ([0-9.]+) ms min ([0-9.]+) ms.*/\1 \2/')
row screen "vistrel module (ZXing-cpp)" "$median" "$min" "$found"
: >"$work/zbar.ms"
time_runs "$RUNS" "$work/zbar.ms" zbarimg -q --raw "$work/screen.png"
[ "$(zbarimg -q --raw "$work/screen.png" 2>/dev/null)" = "$content" ] && found=yes || found=no
row "" "zbarimg" $(stats "$work/zbar.ms") "$found"
grep '^codes' "$work/codes.bench" | sed 's/^/    /' | tee -a "$OUT"
echo "written to $OUT; crops and readings in $work"

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
# tables give wall times; the lines below each crop give CPU times (the
# module's whole process, its reader threads included; the command's user and
# system time), which a busy machine inflates less: compare those for work,
# the wall times for what a user waits. The character error rate is measured
# against the listing. A second table reads the crops prepared as the module
# prepares them (gray, light ground; xterm's bitmap font 2x, made sharp and
# its edges softened, DejaVu Sans Mono 10 1.5x) with the command's page
# segmentation modes 3, 4, 6 and 11: how mode 6 was chosen. A third table is accuracy only, over four
# more listings (shell sessions, code, tables, logs) in four terminal fonts,
# about 3,100 characters a font: one crop of some 800 characters is too few
# to tell 1 % from 2 %, and preparation tuned on it alone would fit that crop.
# Codes: a QR code on a full 1920x1080 screen of terminals, by the module and
# by zbarimg. Last, the program as a user meets it: from the end of the drag
# of "Recognize Text/QR" over each of the three terminals until the program
# takes the clipboard with the text, beside the tesseract command at its own
# defaults (automatic layout, OpenMP threads) on the same pixels, and with
# OMP_THREAD_LIMIT=1; and the program's memory before its first recognition
# and after. The module reads a page's lines on one thread per core: on a
# busy machine every figure of it suffers first, so note the load (uptime).
# RUNS=n sets the runs per case (10); the tables also go to
# /tmp/vistrel-ocr-bench.txt, the crops and every reading to /tmp/vistrel-ocr-bench/.
set -euo pipefail
build=$(cd "${1:?usage: harness.sh -- bash bench/ocr_vs_cli.sh <build dir>}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e" && pwd)
# shellcheck source=../tests/e2e/lib.sh
source "$here/lib.sh"
export VISTREL=$build/bin/vistrel
bench=$build/bench/vistrel-ocr-bench
timer=$build/bench/vistrel-capture-latency
RUNS=${RUNS:-10}
OUT=/tmp/vistrel-ocr-bench.txt
work=/tmp/vistrel-ocr-bench
rm -rf "$work" && mkdir -p "$work"
for tool in tesseract zbarimg xterm xdotool xwininfo xclip import convert display "$bench" "$timer" "$VISTREL"; do
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
# ROWS lines of $listing (the listing above unless set), cropped to $crop
# (900x240+0+0 unless set) into NAME.png, NAME.ref the text.
shoot() {
  local name=$1 rows=$2 pid id
  shift 2
  head -n "$rows" "${listing:-$work/listing.txt}" >"$work/$name.ref"
  # No newline after the last line: the terminal would scroll it away.
  xterm "$@" -geometry "150x$rows+0+0" -e bash -c "printf '\e[?25l%s' \"\$(cat '$work/$name.ref')\"; exec sleep 100000" &
  pid=$!
  id=$(timeout 10 xdotool search --sync --pid "$pid" | head -1)
  sleep 1
  import -window "$id" -crop "${crop:-900x240+0+0}" +repage "$work/$name.png"
  kill "$pid"
}
shoot xterm-6x13 18
shoot dejavu-10 14 -fa "DejaVu Sans Mono" -fs 10
shoot dejavu-10-dark 14 -fa "DejaVu Sans Mono" -fs 10 -rv

# stats FILE: "median min" of the numbers in FILE, one a line.
stats() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.0f %.0f\n", v[int(NR / 2) + 1], v[1] }'; }

# time_runs N FILE command...: appends the wall milliseconds of N runs to
# FILE, and their CPU milliseconds (user and system) to FILE.cpu.
time_runs() {
  local n=$1 file=$2 i start end TIMEFORMAT='%3U %3S'
  shift 2
  for ((i = 0; i < n; i++)); do
    start=${EPOCHREALTIME//[.,]/}
    { time "$@" >/dev/null 2>&1; } 2>>"$file.times"
    end=${EPOCHREALTIME//[.,]/}
    echo $(((end - start) / 1000)) >>"$file"
  done
  awk '{ printf "%.0f\n", 1000 * ($1 + $2) }' "$file.times" >>"$file.cpu"
  rm -f "$file.times"
}

# cpu_line LABEL FILE: the CPU line of a command's runs timed into FILE.
cpu_line() {
  read -r median min < <(stats "$2.cpu")
  echo "    $1: cpu median $median ms min $min ms ($(wc -l <"$2.cpu") runs)" | tee -a "$OUT"
}

row() { printf '%-16s %-34s %11s %9s %8s\n' "$@" | tee -a "$OUT"; }
: >"$OUT"
echo "Text, 900x240 terminal crops (wall ms; CPU ms in the lines below each crop)" | tee -a "$OUT"
row crop reader "median ms" "min ms" "CER %"
for name in xterm-6x13 dejavu-10 dejavu-10-dark; do
  img=$work/$name.png ref=$work/$name.ref
  "$bench" text "$img" "$ref" "$RUNS" "$work/$name.vistrel.txt" >"$work/$name.bench"
  read -r median min < <(grep '^request' "$work/$name.bench" | sed -E 's/.*wall median ([0-9.]+) ms min ([0-9.]+) ms.*/\1 \2/')
  first=$(grep '^first' "$work/$name.bench" | sed -E 's/.*wall median ([0-9.]+) ms.*/\1/')
  cer=$(grep '^CER' "$work/$name.bench" | awk '{ print $2 }')
  row "$name" "vistrel module, model loaded" "$median" "$min" "$cer"
  row "" "vistrel module, first request" "$first" - -
  rm -f "$work/cli.ms"* "$work/cli6.ms"*
  time_runs "$RUNS" "$work/cli.ms" tesseract "$img" "$work/$name.cli"
  tesseract "$img" "$work/$name.cli" >/dev/null 2>&1
  row "" "tesseract (default, psm 3)" $(stats "$work/cli.ms") "$("$bench" cer "$ref" "$work/$name.cli.txt" | awk '{ print $2 }')"
  time_runs "$RUNS" "$work/cli6.ms" tesseract "$img" "$work/$name.cli6" --psm 6
  tesseract "$img" "$work/$name.cli6" --psm 6 >/dev/null 2>&1
  row "" "tesseract --psm 6" $(stats "$work/cli6.ms") "$("$bench" cer "$ref" "$work/$name.cli6.txt" | awk '{ print $2 }')"
  grep -E '^(request|first|RSS)' "$work/$name.bench" | sed 's/^/    /' | tee -a "$OUT"
  cpu_line "tesseract (default, psm 3)" "$work/cli.ms"
  cpu_line "tesseract --psm 6" "$work/cli6.ms"
done

echo | tee -a "$OUT"
echo "Page segmentation on the crops as the module prepares them, tesseract command" | tee -a "$OUT"
row crop "mode" "median ms" "min ms" "CER %"
for name in xterm-6x13 dejavu-10 dejavu-10-dark; do
  prepare=(-resize 150%)
  [ "$name" = xterm-6x13 ] && prepare=(-resize 200% -threshold 50% -define convolve:scale='!' -morphology Convolve '3x3: 1,2,1 2,4,2 1,2,1')
  [ "$name" = dejavu-10-dark ] && prepare=(-negate "${prepare[@]}")
  convert "$work/$name.png" -colorspace Gray -filter Triangle "${prepare[@]}" "$work/$name.prepared.png"
  for psm in 3 4 6 11; do
    rm -f "$work/psm.ms"*
    time_runs "$RUNS" "$work/psm.ms" tesseract "$work/$name.prepared.png" "$work/psm" --psm "$psm"
    tesseract "$work/$name.prepared.png" "$work/psm" --psm "$psm" >/dev/null 2>&1
    row "$name" "--psm $psm" $(stats "$work/psm.ms") "$("$bench" cer "$work/$name.ref" "$work/psm.txt" | awk '{ print $2 }')"
  done
done

# Four more listings for the accuracy table.
cat >"$work/more-1.txt" <<'EOF'
$ cat /etc/hosts
127.0.0.1	localhost
::1	localhost ip6-localhost ip6-loopback
$ df -h /var /tmp
Filesystem      Size  Used Avail Use% Mounted on
/dev/nvme0n1p2  468G  211G  234G  48% /
tmpfs           7.8G  1.2M  7.8G   1% /tmp
$ python3 -c 'import sys; print(sys.version_info[:2])'
(3, 11)
$ tail -4 /var/log/syslog
May 17 10:02:11 host systemd[1]: Started Daily apt upgrade and clean activities.
May 17 10:02:14 host kernel: [ 8841.220593] usb 3-2: new high-speed USB device number 7
May 17 10:05:00 host CRON[20417]: (root) CMD (command -v debian-sa1 > /dev/null)
May 17 10:07:45 host dbus-daemon[812]: [session uid=1000 pid=1203] Activating service
$ echo "sum: $((17 * 3 + 4))"; wc -l < README.md
sum: 55
214
$ ls ~/Downloads | grep -E '\.(iso|tar\.xz)$'
debian-12.5.0-amd64-netinst.iso
EOF
cat >"$work/more-2.txt" <<'EOF'
static int parse_header(const char *buf, size_t len, struct header *out)
{
	if (len < HEADER_SIZE || buf[0] != 0x7f)
		return -EINVAL;
	out->version = (uint8_t)buf[1];
	out->flags = read_le16(buf + 2) & 0x0fff;
	memcpy(out->name, buf + 4, sizeof(out->name) - 1);
	for (int i = 0; i < out->count; ++i) {
		if (out->table[i].offset > len) /* truncated? */
			return -ERANGE;
	}
	return 0; // ok
}

def load_config(path: str) -> dict[str, int]:
    with open(path, encoding="utf-8") as f:
        items = [line.split("=", 1) for line in f if "=" in line]
    return {k.strip(): int(v) for k, v in items}
EOF
cat >"$work/more-3.txt" <<'EOF'
  PID USER      PR  NI    VIRT    RES    SHR S  %CPU  %MEM     TIME+ COMMAND
 1203 alice     20   0 4127396 612844 187320 S  12.6   3.8  14:02.17 firefox-esr
  977 root      20   0  389120  92212  61440 S   3.3   0.6   2:11.50 Xorg
 2210 alice     20   0  721504  55908  41216 R   1.0   0.3   0:04.93 gnome-terminal
    1 root      20   0  167744  12960   9088 S   0.0   0.1   0:02.41 systemd
Package                   Version          Architecture Description
libqt6core6:amd64         6.4.2+dfsg-10    amd64        Qt 6 core module
tesseract-ocr             5.3.0-2          amd64        Tesseract command line OCR tool
zbar-tools                0.23.92-7        amd64        QR code / bar code image scanner
commit 3f9e1a7c0b52d4e8a6f1c2b9d7e0a4f5c6b8d9e1 (HEAD -> main, origin/main)
Author: Jane Doe <jane.doe@example.com>
Date:   Fri May 17 09:41:22 2024 +0200
    Fix off-by-one in the ring buffer (#1287)
diff --git a/src/ring.c b/src/ring.c
index 4b1d2c3..9e8f7a6 100644
@@ -41,7 +41,7 @@ size_t ring_free(const struct ring *r)
-	return r->size - r->used;
+	return r->size - r->used - 1;
EOF
cat >"$work/more-4.txt" <<'EOF'
{"id": 4711, "name": "vistrel", "tags": ["x11", "qt6"], "ok": true, "ratio": 0.875}
GET /api/v2/items?page=3&limit=50 HTTP/1.1" 200 18342 "-" "curl/7.88.1"
ERROR 2024-05-17T10:12:33.418Z [worker-3] Timeout after 30000 ms (attempt 2/5)
WARN  2024-05-17T10:12:34.002Z [main] Retrying in 1.5s; queue=17, inflight=4
Traceback (most recent call last):
  File "/home/alice/app/main.py", line 88, in <module>
    result = compute(values[idx], scale=1e-3)
ZeroDivisionError: float division by zero
$ ssh -p 2222 deploy@build-07.internal 'sudo systemctl restart app@blue'
Connection to build-07.internal closed.
$ openssl sha256 dist/app-1.4.2.tar.gz
SHA2-256(dist/app-1.4.2.tar.gz)= 9c1185a5c5e9fc54612808977ee8f548b2258d31
$ printf '%s\n' "Total: 1,024 files; 3 errors; 0 warnings" | tr a-z A-Z
TOTAL: 1,024 FILES; 3 ERRORS; 0 WARNINGS
$ awk -F: '$3 >= 1000 {print $1, $6}' /etc/passwd
alice /home/alice
bob /home/bob
EOF

# errors FILE...: "errors characters" summed over the "CER x % (n characters)" lines in FILEs.
errors() { sed -nE 's/^CER ([0-9.]+) % \(([0-9]+) characters\).*/\1 \2/p' "$@" | awk '{ e += $1 * $2 / 100; n += $2 } END { printf "%.0f %d\n", e, n }'; }

echo | tee -a "$OUT"
echo "Accuracy over four more listings (whole terminals), by font" | tee -a "$OUT"
row font reader "errors" "chars" "CER %"
for font in x6x13 dv9 dv12 nim10; do
  case $font in
    x6x13) options=() ;;
    dv9) options=(-fa "DejaVu Sans Mono" -fs 9) ;;
    dv12) options=(-fa "DejaVu Sans Mono" -fs 12) ;;
    nim10) options=(-fa "Nimbus Mono PS" -fs 10) ;;
  esac
  for i in 1 2 3 4; do
    name=$font-$i
    listing=$work/more-$i.txt crop=900x400+0+0 shoot "$name" "$(wc -l <"$work/more-$i.txt")" "${options[@]}"
    "$bench" text "$work/$name.png" "$work/$name.ref" 1 "$work/$name.vistrel.txt" >"$work/$name.bench"
    tesseract "$work/$name.png" "$work/$name.cli6" --psm 6 >/dev/null 2>&1
    "$bench" cer "$work/$name.ref" "$work/$name.cli6.txt" >"$work/$name.cli6.cer"
  done
  read -r wrong chars < <(errors "$work/$font"-?.bench)
  row "$font" "vistrel module" "$wrong" "$chars" "$(awk -v e="$wrong" -v n="$chars" 'BEGIN { printf "%.2f", 100 * e / n }')"
  read -r wrong chars < <(errors "$work/$font"-?.cli6.cer)
  row "" "tesseract --psm 6" "$wrong" "$chars" "$(awk -v e="$wrong" -v n="$chars" 'BEGIN { printf "%.2f", 100 * e / n }')"
done

# A QR code among terminals on the whole screen.
content="https://example.org/vistrel/bench?screen=1920x1080&id=42"
"$bench" qr "$content" 240 "$work/qr.png"
i=0
for cmd in "ls -lR /usr/include" "dmesg; cat /etc/services" "ps aux; ls -l /etc" "find /usr/share -maxdepth 3"; do
  xterm -geometry 158x40+$(((i % 2) * 960))+$(((i / 2) * 540)) -e bash -c "$cmd | head -3000; exec sleep 100000" &
  screen_windows+=($!)
  timeout 10 xdotool search --sync --pid $! >/dev/null
  i=$((i + 1))
done
# Over the terminals, once they are all up.
display -geometry +1300+420 "$work/qr.png" &
screen_windows+=($!)
xdotool windowraise "$(timeout 10 xdotool search --sync --name 'qr\.png' | head -1)"
sleep 2
import -window root "$work/screen.png"

echo | tee -a "$OUT"
echo "QR code on a 1920x1080 screen of terminals" | tee -a "$OUT"
row "" reader "median ms" "min ms" "found"
"$bench" codes "$work/screen.png" "$content" "$RUNS" >"$work/codes.bench" && found=yes || found=no
read -r median min < <(grep '^codes' "$work/codes.bench" | sed -E 's/.*wall median ([0-9.]+) ms min ([0-9.]+) ms.*/\1 \2/')
row screen "vistrel module (ZXing-cpp)" "$median" "$min" "$found"
rm -f "$work/zbar.ms"*
time_runs "$RUNS" "$work/zbar.ms" zbarimg -q --raw "$work/screen.png"
[ "$(zbarimg -q --raw "$work/screen.png" 2>/dev/null)" = "$content" ] && found=yes || found=no
row "" "zbarimg" $(stats "$work/zbar.ms") "$found"
grep '^codes' "$work/codes.bench" | sed 's/^/    /' | tee -a "$OUT"

# The terminals of the first table again, left on the screen; the program
# reads them from a drag, as a user would.
kill "${screen_windows[@]}"
echo | tee -a "$OUT"
echo "From the end of the drag to the text on the clipboard, the 900x240 terminal areas ($(uptime | sed 's/.*load/load/'))" | tee -a "$OUT"
row area reader "median ms" "min ms" "CER %"
mkdir -p "$XDG_CONFIG_HOME/vistrel"
echo '{}' >"$XDG_CONFIG_HOME/vistrel/defaults.json"
offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"
rss_idle=$(awk '/VmRSS/ { print $2 }' "/proc/$VISTREL_PID/status")
first=
for name in xterm-6x13 dejavu-10 dejavu-10-dark; do
  case $name in
    xterm-6x13) rows=18 options=() ;;
    dejavu-10) rows=14 options=(-fa "DejaVu Sans Mono" -fs 10) ;;
    dejavu-10-dark) rows=14 options=(-fa "DejaVu Sans Mono" -fs 10 -rv) ;;
  esac
  xterm "${options[@]}" -geometry "150x$rows+0+0" -e bash -c "printf '\e[?25l%s' \"\$(cat '$work/$name.ref')\"; exec sleep 100000" &
  terminal=$!
  id=$(timeout 10 xdotool search --sync --pid "$terminal" | head -1)
  sleep 1
  read -r x y < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
  import -window root -crop "900x240+$x+$y" +repage "$work/$name.area.png"
  if [ -z "$first" ]; then
    # The first recognition loads the module and the readers' models.
    read -r first _ < <("$timer" text - 1 "$x" "$y" 900 240)
    row "$name" "vistrel, first drag after start" "$first" - -
  fi
  # Taken in turns, so that a load that comes and goes weighs on the three alike.
  rm -f "$work/drag.ms" "$work/own.ms"* "$work/one.ms"*
  for ((i = 0; i < RUNS; i++)); do
    "$timer" text - 1 "$x" "$y" 900 240 | awk '{ print $1 }' >>"$work/drag.ms"
    time_runs 1 "$work/own.ms" env -u OMP_THREAD_LIMIT tesseract "$work/$name.area.png" "$work/$name.own"
    time_runs 1 "$work/one.ms" tesseract "$work/$name.area.png" "$work/$name.one"
  done
  xclip -selection clipboard -o >"$work/$name.clipboard.txt" 2>/dev/null || true
  read -r median _ < <(stats "$work/drag.ms")
  read -r own _ < <(stats "$work/own.ms")
  read -r one _ < <(stats "$work/one.ms")
  row "$name" "vistrel, drag to clipboard" $(stats "$work/drag.ms") "$("$bench" cer "$work/$name.ref" "$work/$name.clipboard.txt" | awk '{ print $2 }')"
  env -u OMP_THREAD_LIMIT tesseract "$work/$name.area.png" "$work/$name.own" >/dev/null 2>&1
  row "" "tesseract (its defaults)" $(stats "$work/own.ms") "$("$bench" cer "$work/$name.ref" "$work/$name.own.txt" | awk '{ print $2 }')"
  row "" "tesseract, OMP_THREAD_LIMIT=1" $(stats "$work/one.ms") -
  echo "    vistrel / tesseract median: $(awk -v v="$median" -v a="$own" -v b="$one" 'BEGIN { printf "%.2fx its defaults, %.2fx OMP_THREAD_LIMIT=1", v / a, v / b }')" | tee -a "$OUT"
  kill "$terminal"
done
rss_read=$(awk '/VmRSS/ { print $2 }' "/proc/$VISTREL_PID/status")
echo "    vistrel RSS: $rss_idle kB before the first recognition, $rss_read kB after" | tee -a "$OUT"
stop_vistrel
echo "written to $OUT; crops and readings in $work"

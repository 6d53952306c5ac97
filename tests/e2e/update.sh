#!/usr/bin/env bash
# Verifies self-updates against a feed served on 127.0.0.1, with installations of the test program signed by a key pair made here: an offered 1.5.0 shows its card and, on Install, downloads, installs and relaunches into 1.5.0 from the same folder, which posts "Update complete" once; a forced one installs without a card; a bad signature, a truncated download, an archive with a ../ path, a malformed feed and an older version each leave every file of the installation as it was and the program running.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

[ -x "${UPDATE_SUBJECT:-}" ] || fail "UPDATE_SUBJECT does not name the update test's program: '${UPDATE_SUBJECT:-}'"
[ -x "${VISTREL_SIGN:-}" ] || fail "VISTREL_SIGN does not name vistrel-sign: '${VISTREL_SIGN:-}'"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus (run with --dbus)"
# Screenshots of the offer card and the install panel go here when it is set.
shots=${UPDATE_SCREENSHOTS:-}

work=$HARNESS_DIR/update
feed=$work/feed
opt=$work/opt
mkdir -p "$feed" "$opt"
key=$work/test-release.key
public_key=$("$VISTREL_SIGN" generate-key "$key")

# make_installation <parent> <version> <build>: an installation folder <parent>/vistrel of the test
# program (stripped, to keep downloads small), signed, with these build values.
make_installation() {
  local folder=$1/vistrel
  rm -rf "$folder"
  mkdir -p "$folder/bin" "$folder/share/vistrel"
  strip -o "$folder/bin/vistrel" "$UPDATE_SUBJECT"
  "$VISTREL_SIGN" sign-executable "$key" "$folder/bin/vistrel"
  echo "A self-updating Vistrel installation." >"$folder/share/vistrel/self-update"
  printf '{"CFBundleShortVersionString": "%s", "CFBundleVersion": "%s", "VistrelBuildChannel": "release",
 "SUPublicEDKey": "%s", "SUFeedURL": "http://127.0.0.1:9/unused.xml"}\n' \
    "$2" "$3" "$public_key" >"$folder/share/vistrel/subject-bundle.json"
}

# Every file and folder with its type, mode and contents.
snapshot() {
  (cd "$1" && find . -printf '%y %m %s %p\n' | sort && find . -type f -exec sha256sum {} + | sort)
}

# The 1.5.0 archive, and one that also holds vistrel/../escaped (signed all the same).
make_installation "$work/v150" 1.5.0 150
tar -C "$work/v150" -cJf "$feed/vistrel-1.5.0.tar.xz" vistrel
python3 - "$work/v150" "$feed/escaping.tar.xz" <<'EOF'
import io, sys, tarfile
with tarfile.open(sys.argv[2], "w:xz") as archive:
    archive.add(sys.argv[1] + "/vistrel", arcname="vistrel")
    payload = b"written outside the folder\n"
    entry = tarfile.TarInfo("vistrel/../escaped")
    entry.size = len(payload)
    archive.addfile(entry, io.BytesIO(payload))
EOF
head -c 4096 /dev/urandom >"$feed/other.bin"
good_enclosure=$("$VISTREL_SIGN" sign-archive "$key" "$feed/vistrel-1.5.0.tar.xz")
escaping_enclosure=$("$VISTREL_SIGN" sign-archive "$key" "$feed/escaping.tar.xz")
# The signature of other bytes with the archive's true length.
bad_enclosure="$("$VISTREL_SIGN" sign-archive "$key" "$feed/other.bin" | sed 's/ length=.*//') ${good_enclosure#* }"

python3 "$here/update/feed_server.py" "$feed" >"$work/server.out" 2>"$work/server.log" &
wait_for 10 "the feed server to listen" grep -q '^port ' "$work/server.out"
port=$(awk '{print $2}' "$work/server.out")
origin=http://127.0.0.1:$port

# write_feed <name> <short version> <version> <description> <archive path> <enclosure attributes>
write_feed() {
  cat >"$feed/$1.xml" <<EOF
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Vistrel</title>
    <item>
      <title>Vistrel $2</title>
      <sparkle:version>$3</sparkle:version>
      <sparkle:shortVersionString>$2</sparkle:shortVersionString>
      <description><![CDATA[$4]]></description>
      <enclosure url="$origin/$5" $6 type="application/x-xz"/>
    </item>
  </channel>
</rss>
EOF
}
notes='- Faster area capture
- **New:** pinned windows remember their place
- Full changelog: https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0.'
forced="Vistrel-Force-Below: 1.4.5
$notes"
write_feed offer 1.5.0 150 "$notes" slow/vistrel-1.5.0.tar.xz "$good_enclosure"
write_feed forced 1.5.0 150 "$forced" vistrel-1.5.0.tar.xz "$good_enclosure"
write_feed bad-signature 1.5.0 150 "$forced" vistrel-1.5.0.tar.xz "$bad_enclosure"
write_feed truncated 1.5.0 150 "$forced" cut/vistrel-1.5.0.tar.xz "$good_enclosure"
write_feed escaping 1.5.0 150 "$forced" escaping.tar.xz "$escaping_enclosure"
write_feed older 1.3.0 130 "$forced" vistrel-1.5.0.tar.xz "$good_enclosure"
printf '<?xml version="1.0"?>\n<rss version="2.0"><channel><item><title>Vistrel 1.5.0</title>\n' >"$feed/malformed.xml"

# Every "Notify" call on the session bus, whether or not a notification service answers it.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$work/notify.log" 2>&1 &
update_notices() { grep -c '"Update complete"' "$work/notify.log" || true; }

# start_copy <feed name> <version>: runs the installed copy against that feed.
start_copy() {
  export VISTREL=$opt/vistrel/bin/vistrel VISTREL_VERSION=$2 VISTREL_UPDATE_FEED=$origin/$1.xml
  start_vistrel
}

# The copy that replaced the running one: started from the same file, on the new version.
relaunched_pid() {
  local pid
  for pid in $(pgrep -f -- "^$opt/vistrel/bin/vistrel --new-instance$" || true); do
    [ "$pid" != "$VISTREL_PID" ] && echo "$pid" && return 0
  done
  return 1
}

# await_relaunch <old pid>: the old copy ends, the new one prints the 1.5.0 start line and runs from the same file.
await_relaunch() {
  local old=$1
  wait_for 30 "the relaunched copy" eval "relaunched_pid >/dev/null"
  NEW_PID=$(relaunched_pid)
  wait_for 10 "the old copy (pid $old) to end" eval "! kill -0 $old 2>/dev/null"
  wait "$old" || fail "the old copy exited with status $? after installing"
  wait_for 20 "the 1.5.0 start line" grep -q '^vistrel 1.5.0 (build 150, release)' "$VISTREL_STDERR"
  [ "$(readlink "/proc/$NEW_PID/exe")" = "$opt/vistrel/bin/vistrel" ] \
    || fail "the new copy runs from $(readlink "/proc/$NEW_PID/exe"), not from the installation folder"
  [ "$(snapshot "$opt/vistrel")" = "$(snapshot "$work/v150/vistrel")" ] \
    || fail "the installation folder is not the 1.5.0 folder after the update"
  wait_for 10 "the replaced folder to be removed" eval "[ -z \"\$(ls -A '$opt' | grep -v '^vistrel\$')\" ]"
}

stop_pid() {
  kill -TERM "$1"
  wait_for 10 "pid $1 to end" eval "! kill -0 $1 2>/dev/null"
}

# A window of ours with this title, mapped.
window_shown() { xdotool search --all --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# Chooses the updates entry of the tray menu (second from the bottom).
choose_updates_entry() {
  wait_for 15 "the tray icon" tray_icon_window
  eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  wait_for 10 "the menu" menu_open
  xdotool key Up Up Return
}

# --- An offer: a background check shows the badge; the user's choice shows the card; Install installs.
make_installation "$opt" 1.4.0 140
offer_offset=$(log_offset)
start_copy offer 1.4.0
wait_for 15 "the background check" grep -q 'GET /offer.xml' "$work/server.log"
choose_updates_entry
wait_for 15 "the offer card" window_shown "Vistrel 1.5.0"
[ -z "$shots" ] || { sleep 0.5 && import -window root "$shots/update-offer-card.png"; }
before=$(update_notices)
xdotool key Return
wait_for 15 "the install panel" window_shown "Installing Vistrel 1.5.0"
[ -z "$shots" ] || { sleep 0.6 && import -window root "$shots/update-install-panel.png"; }
await_relaunch "$VISTREL_PID"
wait_for 10 "one \"Update complete\" notice" eval "[ \$(update_notices) -eq $((before + 1)) ]"
grep -q '"Vistrel is now on version 1.5.0."' "$work/notify.log" || fail "the notice does not name 1.5.0"
# The updated copy has the shortcuts the old one held until it quit.
wait_for 5 "the updated copy to take the keys the old one held" \
  eval 'log_since "$offer_offset" | grep -q "hotkey-retry registered=[1-9][0-9]* refused=0 earlierGone=true"'
start_test_window "Update probe"
probe_pid=$!
press_and_settle leftHalf ctrl+alt+Left
frame_near "$W" "$(geometry leftHalf "$(outer_frame "$W")")" 1 1 1 1 || fail "Left Half after the update: frame $(outer_frame "$W")"
kill "$probe_pid"
stop_pid "$NEW_PID"

# The next start of the updated copy says nothing more.
before=$(update_notices)
start_copy forced 1.5.0
wait_for 15 "the check of 1.5.0" eval "[ \$(grep -c 'GET /forced.xml' '$work/server.log') -ge 1 ]"
sleep 1
[ "$(update_notices)" -eq "$before" ] || fail "a second \"Update complete\" after the next start"
stop_vistrel

# --- A forced update installs without a card (one would wait for an answer that never comes).
make_installation "$opt" 1.4.0 140
before=$(update_notices)
start_copy forced 1.4.0
await_relaunch "$VISTREL_PID"
wait_for 10 "one \"Update complete\" notice" eval "[ \$(update_notices) -eq $((before + 1)) ]"
stop_pid "$NEW_PID"

# --- Refusals: the installation stays byte for byte as it was, nothing lands outside it, the program runs on.
make_installation "$opt" 1.4.0 140
installed=$(snapshot "$opt/vistrel")
for case in bad-signature:"signature does not match" truncated:"could not be downloaded" \
            escaping:"a path outside its folder"; do
  name=${case%%:*} reason=${case#*:}
  start_copy "$name" 1.4.0
  wait_for 20 "the $name update to be refused" grep -q "^vistrel: update refused: .*$reason" "$VISTREL_STDERR"
  sleep 0.5
  kill -0 "$VISTREL_PID" 2>/dev/null || fail "the program ended after the $name refusal"
  [ "$(snapshot "$opt/vistrel")" = "$installed" ] || fail "the installation changed after the $name refusal"
  [ -z "$(ls -A "$opt" | grep -v '^vistrel$')" ] || fail "the $name refusal left $(ls -A "$opt")"
  [ ! -e "$opt/escaped" ] && [ ! -e "$opt/.escaped" ] || fail "the archive wrote outside its folder"
  stop_vistrel
done

# A malformed feed and an older version: the user's check says so in a card; nothing is downloaded.
for case in malformed:"Couldn't check for updates" older:"You're on the latest release"; do
  name=${case%%:*} card=${case#*:}
  start_copy "$name" 1.4.0
  choose_updates_entry
  wait_for 15 "the card \"$card\"" window_shown "$card"
  xdotool key Return
  wait_for 10 "the card to close" eval "! window_shown \"$card\""
  kill -0 "$VISTREL_PID" 2>/dev/null || fail "the program ended after the $name check"
  [ "$(snapshot "$opt/vistrel")" = "$installed" ] || fail "the installation changed after the $name check"
  stop_vistrel
done
downloads=$(grep -c 'GET /vistrel-1.5.0.tar.xz' "$work/server.log" || true)
[ "$downloads" -eq 2 ] || fail "the archive was downloaded $downloads times (want 2: the forced update and the bad signature)"
echo "update: offer, forced update and five refusals as expected"

# What both harnesses (the X11 tier's harness.sh and the Wayland tiers'
# wayland/harness.sh) share: a scratch folder of their own, and helpers and the
# command stopped on every way out. Sourced after lib.sh, with HARNESS_NAME
# set (it begins every message); helper logs go to HELPER_LOGS (set it once
# the folder exists), and each harness starts its helpers its own way,
# appending "<pid> <name>" to `helpers`.

die() {
  echo "$HARNESS_NAME: $*" >&2
  exit 1
}

# harness_workdir <prefix>: a new /tmp/<prefix>.XXXXXX in `workdir`. A harness
# killed outright cannot remove its folder; the next one removes every folder
# whose harness is gone.
harness_workdir() {
  local stale
  for stale in /tmp/"$1".*; do
    [ -f "$stale/harness.pid" ] || continue
    kill -0 "$(cat "$stale/harness.pid")" 2>/dev/null || rm -rf "$stale"
  done
  workdir=$(mktemp -d "/tmp/$1.XXXXXX")
  echo $$ >"$workdir/harness.pid"
}
helpers=()       # pid and name of every helper, in start order
command_pid=

# stop <pid> <name>: TERM, up to 5 s, then KILL, up to 2 s more.
stop() {
  local pid=$1 name=$2
  kill -TERM "$pid" 2>/dev/null || return 0
  poll_until 5 eval "! kill -0 $pid 2>/dev/null" && return 0
  echo "$HARNESS_NAME: $name (pid $pid) ignored SIGTERM for 5 s; killing it" >&2
  kill -KILL "$pid" 2>/dev/null || true
  poll_until 2 eval "! kill -0 $pid 2>/dev/null" || echo "$HARNESS_NAME: $name (pid $pid) survived SIGKILL" >&2
}

# The same for the command's whole process group (what the command left running).
stop_group() {
  local pgid=$1
  kill -TERM -- "-$pgid" 2>/dev/null || return 0
  poll_until 5 eval "! kill -0 -- -$pgid 2>/dev/null" && return 0
  echo "$HARNESS_NAME: the command's process group $pgid ignored SIGTERM for 5 s; killing it" >&2
  kill -KILL -- "-$pgid" 2>/dev/null || true
  poll_until 2 eval "! kill -0 -- -$pgid 2>/dev/null" || echo "$HARNESS_NAME: process group $pgid survived SIGKILL" >&2
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM HUP
  set +e
  [ -z "$command_pid" ] || stop_group "$command_pid"
  local i
  for ((i = ${#helpers[@]} - 2; i >= 0; i -= 2)); do
    stop "${helpers[i]}" "${helpers[i + 1]}"
  done
  # Outside the tests: E2E_KEEP_DIR keeps a failed run's folder (logs, pictures) for a look.
  if [ "$status" -ne 0 ] && [ -n "${E2E_KEEP_DIR:-}" ] && [ -n "${workdir:-}" ]; then
    mkdir -p "$E2E_KEEP_DIR" && cp -r "$workdir" "$E2E_KEEP_DIR/" && cp /tmp/vistrel-layout.log "$E2E_KEEP_DIR/" 2>/dev/null
  fi
  [ -z "${workdir:-}" ] || rm -rf "$workdir"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# helper_failed <name> <what>: the message for a helper that did not come up.
helper_failed() {
  local name=$1 what=$2
  die "timed out waiting for $what; $name said:
$(tail -n 20 "$HELPER_LOGS/$name.log")"
}

helper_alive() {
  kill -0 "${helpers[-2]}" 2>/dev/null
}

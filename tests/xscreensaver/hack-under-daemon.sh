#!/usr/bin/env bash
# The hack under the real XScreenSaver daemon, on an Xvfb server of its own:
#   hack-under-daemon.sh PROGRAM OUTPUT_DIR
# registers "PROGRAM --root" as the only hack, activates the saver, checks that the show is on
# the screen (OUTPUT_DIR/active.png), deactivates it and checks that the hack has ended and
# that the daemon's log (OUTPUT_DIR/xscreensaver.log) reports no abnormal exit.
# XScreenSaver runs no hack as root: the daemon runs as nobody with a scratch home folder.
# Exit status 77 (skipped) when a client it needs is missing.
set -euo pipefail
program=$1
output=$2
for tool in xscreensaver xscreensaver-command setpriv Xvfb convert import compare; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/setup installs it)"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to run the daemon as another user"; exit 77; }

mkdir -p "$output"
home=$(mktemp -d /tmp/lumenfall-xss-XXXXXX)
chmod 755 "$home"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  cp -f "$home/xscreensaver.log" "$output/" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

# The server accepts every local client (-ac): the daemon's user has no cookie of ours.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -ac -nolisten tcp -screen 0 1280x720x24 >/dev/null 2>&1 &
pids+=($!)
read -r -t 30 -u "$displayfd" number
display=":$number"

cat > "$home/.xscreensaver" <<CONF
timeout:	1:00:00
lock:		False
splash:		False
fade:		False
unfade:		False
mode:		one
selected:	0
programs:	"Lumenfall" $program --root \\n\\

CONF
chown -R nobody:nogroup "$home"
as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" DISPLAY="$display" PATH=/usr/local/bin:/usr/bin:/bin "$@"
}
as_nobody xscreensaver --no-splash --verbose --log "$home/xscreensaver.log" &
pids+=($!)

wait_for() { # seconds, command...
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
hack_running() { pgrep -u nobody -f -- "$program --root" >/dev/null; }
hack_gone() { ! hack_running; }

# Asked too early, while it sets up its input devices, the daemon can hang: wait for its
# helpers to be launched first.
started() { grep -q "launched xscreensaver-auth" "$home/xscreensaver.log"; }
wait_for 30 started || { echo "the daemon did not start"; exit 1; }
wait_for 30 as_nobody xscreensaver-command -time || { echo "the daemon does not answer"; exit 1; }
as_nobody xscreensaver-command -activate >/dev/null
wait_for 30 hack_running || { echo "the daemon did not start the hack"; exit 1; }
# The show builds and animates; then the screen must show it.
sleep 3
import -display "$display" -window root "$output/active.png"
lit=$(convert "$output/active.png" -colorspace Gray -threshold 8% -format "%[fx:mean]" info:)
echo "share of lit pixels while active: $lit"
awk -v lit="$lit" 'BEGIN { exit !(lit > 0.002) }' || { echo "the screen shows no show"; exit 1; }
sleep 1
import -display "$display" -window root "$output/active-later.png"
changed=$(compare -metric AE "$output/active.png" "$output/active-later.png" null: 2>&1 || true)
echo "pixels changed within a second: $changed"
[ "${changed%%.*}" -gt 1000 ] 2>/dev/null || { echo "the show does not move"; exit 1; }

# Cycling kills the hack and starts it again; the daemon reports how the first one ended.
first=$(pgrep -u nobody -f -- "$program --root")
as_nobody xscreensaver-command -cycle >/dev/null
ended() { grep -q "pid $first.*exited" "$home/xscreensaver.log"; }
wait_for 30 ended || { echo "the daemon did not report the end of the cycled hack"; exit 1; }
grep "pid $first.*exited" "$home/xscreensaver.log"
wait_for 30 hack_running || { echo "the daemon did not start the hack again"; exit 1; }

start=$(date +%s%N)
as_nobody xscreensaver-command -deactivate >/dev/null
wait_for 30 hack_gone || { echo "the hack did not end"; exit 1; }
echo "the hack ended $((($(date +%s%N) - start) / 1000000)) ms after the deactivation"
sleep 1
if grep -i "abnormal" "$home/xscreensaver.log"; then
  echo "the daemon reports an abnormal end"
  exit 1
fi
grep -i "lumenfall\|exited\|killed" "$home/xscreensaver.log" | tail -5 || true
echo "passed"

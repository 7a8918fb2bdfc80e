#!/bin/bash
# Runs inside the container that scripts/check-service.sh boots, as root under its systemd:
# installs the package and checks the unit brisolant@.service. Prints "service checked" when
# every check holds, else "FAIL: ..." and what the service logged.
set -uo pipefail

fail() {
    echo "FAIL: $*"
    for unit in brisolant@dock1 brisolant@nosuch; do
        systemctl status --no-pager "$unit" 2>&1 | tail -n 20
    done
    journalctl --no-pager -n 40 -u 'brisolant@*' 2>&1
    exit 1
}

# Waits up to a minute for the command to succeed.
wait_for() {
    for _ in $(seq 600); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

property() { systemctl show -P "$2" "$1"; }

dpkg -i /test/brisolant.deb >/dev/null || fail "the package does not install"
id brisolant >/dev/null || fail "the package made no account brisolant"
echo "account: $(id brisolant)"
[ "$(getent passwd brisolant | cut -d: -f7)" = /usr/sbin/nologin ] || fail "the account can log in"

# A station's settings as the README's steps make them, on a pseudo-terminal that stands for
# a USB adapter: root's, in the dialout group, as udev makes a serial device.
brisolant-station --link /run/station --sample-first --rate 0.5 >/run/station.out 2>&1 &
wait_for test -L /run/station || fail "the station simulator made no terminal"
device=$(readlink /run/station)
chgrp dialout "$device" && chmod 660 "$device"
install -d -o brisolant -g brisolant /srv/brisolant/dock1
sed -e "s|^CommPort=.*|CommPort=$device|" -e "s|^FilePath=.*|FilePath=/srv/brisolant/dock1/|" \
    /etc/brisolant/example.ini >/etc/brisolant/dock1.ini

# A station without a settings file does not start, and its program never runs.
if systemctl start brisolant@nosuch 2>/dev/null; then fail "brisolant@nosuch started"; fi
[ "$(property brisolant@nosuch AssertResult)" = no ] || fail "the missing settings file was not asserted"
[ "$(property brisolant@nosuch ExecMainStartTimestampMonotonic)" = 0 ] ||
    fail "brisolant@nosuch ran its program"

# The unit as shipped runs the packaged program headless with the station's files, under its
# account, sandbox and restart policy. As the same user in the same sandbox, a probe tries the
# folders it must and must not write.
mkdir -p /etc/systemd/system/brisolant@dock1.service.d
cat >/etc/systemd/system/brisolant@dock1.service.d/probe.conf <<'EOF'
[Service]
ExecStartPost=/test/probe.sh /var/lib/brisolant/%i/probe.txt
EOF
cat >/test/probe.sh <<'EOF'
#!/bin/bash
writes() { touch "$1/.probe" 2>/dev/null && rm -f "$1/.probe" && echo "$1 writable" || echo "$1 read-only"; }
{
    id -nG
    for folder in /var/lib/brisolant/dock1 /srv/brisolant/dock1 /etc /usr /var/tmp /tmp; do
        writes "$folder"
    done
    ls /home >/dev/null 2>&1 && echo "/home visible" || echo "/home hidden"
    ls /tmp/outside-file >/dev/null 2>&1 && echo "/tmp shared" || echo "/tmp private"
} >"$1"
EOF
chmod 755 /test/probe.sh
touch /tmp/outside-file
systemctl daemon-reload
# Type=notify: the start returns once the program says it is ready, its port open or waited for.
systemctl start brisolant@dock1 || fail "brisolant@dock1 did not start"
[ "$(property brisolant@dock1 ActiveState)" = active ] || fail "brisolant@dock1 is not active"

records() { grep -qs 1234567890 /srv/brisolant/dock1/LOG-*.txt; }
wait_for records || fail "no record reached /srv/brisolant/dock1"
record=$(ls /srv/brisolant/dock1/LOG-*.txt)
[ "$(stat -c %U "$record")" = brisolant ] || fail "the data file is not the account's"
echo "recorded: $record, $(stat -c '%U:%G %A' "$record")"

# systemctl status shows panel 1, the log holds the records, and the watchdog is fed.
idle() { [ "$(property brisolant@dock1 StatusText)" = "Status: Waiting Idle" ]; }
wait_for idle || fail "the status is not panel 1's: $(property brisolant@dock1 StatusText)"
journalctl --no-pager -u brisolant@dock1 | grep -q "Recorded: .*1234567890" ||
    fail "the log holds no record line"
[ "$(property brisolant@dock1 WatchdogUSec)" != 0 ] || fail "no watchdog"
[ -e /var/lib/brisolant/dock1/dock1.journal.lock ] ||
    fail "the journal's lock is not in the state folder"
echo "status: $(property brisolant@dock1 StatusText); watchdog $(property brisolant@dock1 WatchdogUSec)"

probe=/var/lib/brisolant/dock1/probe.txt
[ "$(stat -c %U /var/lib/brisolant/dock1)" = brisolant ] || fail "the state folder is not the account's"
echo "probe: $(tr '\n' ';' <"$probe")"
for expected in dialout "/var/lib/brisolant/dock1 writable" "/srv/brisolant/dock1 writable" \
    "/etc read-only" "/usr read-only" "/home hidden" "/tmp private"; do
    grep -q "$expected" "$probe" || fail "the sandbox is wrong: not \"$expected\""
done

# A program that dies is started again.
pid=$(property brisolant@dock1 MainPID)
kill -KILL "$pid"
restarted() {
    [ "$(property brisolant@dock1 NRestarts)" = 1 ] &&
        [ "$(property brisolant@dock1 ActiveState)" = active ] &&
        [ "$(property brisolant@dock1 MainPID)" != "$pid" ]
}
wait_for restarted || fail "the killed program was not started again"
echo "restarted after SIGKILL: main process $pid, now $(property brisolant@dock1 MainPID)"

systemctl stop brisolant@dock1 || fail "the service did not stop"
[ "$(property brisolant@dock1 ActiveState)" = inactive ] || fail "the service is still running"
[ "$(property brisolant@dock1 ExecMainStatus)" = 0 ] ||
    fail "SIGTERM ended it with $(property brisolant@dock1 ExecMainStatus), not 0"
echo "service checked"

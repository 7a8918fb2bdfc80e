#!/bin/bash
# Runs inside the container that scripts/check-service.sh boots, as root under its systemd:
# installs the package and checks the unit brisolant@.service. Prints "service checked" when
# every check holds, else "FAIL: ..." and what the service logged.
set -uo pipefail

fail() {
    echo "FAIL: $*"
    for unit in brisolant@dock1 brisolant@nosuch brisolant@unread brisolant@noperm \
        brisolant@share; do
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

# A station's settings from the example, on this port.
settings() { sed -e "s|^CommPort=.*|CommPort=$2|" /etc/brisolant/example.ini >"/etc/brisolant/$1.ini"; }

# A pseudo-terminal that stands for a USB adapter, played by the simulator: root's, in the
# dialout group with the mode given (660 when none), as udev makes a serial device, and reached through the stable name /run/NAME
# once it is ready, as a by-id link is. Prints the terminal's path. The simulator ends when the
# program that had its line open ends; it is started again for a station started again.
station() {
    brisolant-station --link "/run/$1.pty" --sample-first --rate 0.5 >"/run/$1.out" 2>&1 &
    echo $! >"/run/$1.pid"
    wait_for test -L "/run/$1.pty" || fail "the station simulator made no terminal"
    local device
    device=$(readlink "/run/$1.pty")
    chgrp dialout "$device" && chmod "${2:-660}" "$device"
    ln -sfn "$device" "/run/$1.new" && mv -T "/run/$1.new" "/run/$1"
    echo "$device"
}

records() { grep -c 1234567890 /srv/brisolant/dock1/LOG-*.txt 2>/dev/null || echo 0; }
record_count() { cat /srv/brisolant/dock1/LOG-*.txt 2>/dev/null | grep -c . || true; }

textfiles=/var/lib/prometheus/node-exporter
# A build machine's policy that no package may start or restart a service; a PC beside a
# station has none. The container's root is this machine's, its writes in memory.
rm -f /usr/sbin/policy-rc.d
dpkg -i /test/brisolant.deb >/dev/null || fail "the package does not install"
id brisolant >/dev/null || fail "the package made no account brisolant"
echo "account: $(id brisolant)"
[ "$(getent passwd brisolant | cut -d: -f7)" = /usr/sbin/nologin ] || fail "the account can log in"
[ "$(stat -c %U /srv/brisolant)" = brisolant ] || fail "/srv/brisolant is not the account's"

# A station's settings as the README's steps make them: the example with its port, no data
# folder named (the service's own, /srv/brisolant/dock1/, is made at the first scan).
station station >/dev/null
settings dock1 /run/station
# A USB adapter plugged in after the start: a node of ttyUSB's major number, which no device
# answers here. Opening it must fail as an absent device does, not as a forbidden one.
mknod -m 660 /dev/ttyUSB9 c 188 9 && chgrp dialout /dev/ttyUSB9

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
    for folder in /var/lib/brisolant/dock1 /srv/brisolant /etc /usr /var/tmp /tmp; do
        writes "$folder"
    done
    ls /home >/dev/null 2>&1 && echo "/home visible" || echo "/home hidden"
    ls /tmp/outside-file >/dev/null 2>&1 && echo "/tmp shared" || echo "/tmp private"
    echo "adapter: $( (exec 3<>/dev/ttyUSB9) 2>&1)"
} >"$1"
EOF
chmod 755 /test/probe.sh
touch /tmp/outside-file
systemctl daemon-reload
# Type=notify: the start returns once the program says it is ready, its port open or waited for.
systemctl start brisolant@dock1 || fail "brisolant@dock1 did not start"
[ "$(property brisolant@dock1 ActiveState)" = active ] || fail "brisolant@dock1 is not active"

recorded() { [ "$(records)" -ge 1 ]; }
wait_for recorded || fail "no record reached /srv/brisolant/dock1"
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
for expected in dialout "/var/lib/brisolant/dock1 writable" "/srv/brisolant writable" \
    "/etc read-only" "/usr read-only" "/home hidden" "/tmp private" \
    "adapter: .*No such device or address"; do
    grep -q "$expected" "$probe" || fail "the sandbox is wrong: not \"$expected\""
done

# The journal: one start line, the program's lines under the station's own identifier without a
# time stamp of their own, each at its priority; nothing at warning or worse while all is well.
log() { journalctl --no-pager -o cat "$@"; }
log -t brisolant-dock1 | grep -q "^Started Brisolant [0-9.]*: settings /etc/brisolant/dock1.ini; data /srv/brisolant/dock1/; journal /var/lib/brisolant/dock1/dock1.journal; 0 scans waiting from the last run$" ||
    fail "no start line: $(log -t brisolant-dock1 | head -n 3)"
log -t brisolant-dock1 | grep -q "^Recorded: .*1234567890" || fail "a record line carries a time stamp"
[ -z "$(log -u brisolant@dock1 -p warning)" ] ||
    fail "a station that records logged warnings: $(log -u brisolant@dock1 -p warning)"

# The security of the unit as systemd measures it.
exposure=$(systemd-analyze security brisolant@dock1 2>/dev/null | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
echo "systemd-analyze security: $exposure"
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }' || fail "the unit's exposure is $exposure, over 2.0"

# The metrics file in node_exporter's textfile folder, where the account may replace it.
if [ -d "$textfiles" ]; then
    prom=$textfiles/brisolant-dock1.prom
    metrics() { grep -qs 'brisolant_scans_recorded_total{station="dock1"} [1-9]' "$prom"; }
    wait_for metrics || fail "no metrics in $prom: $(cat "$prom" 2>&1)"
    [ "$(stat -c '%U %a' "$prom")" = "brisolant 644" ] || fail "the metrics file is $(stat -c '%U %a' "$prom")"
    if command -v promtool >/dev/null; then
        promtool check metrics <"$prom" || fail "promtool refuses the metrics file"
    fi
    echo "metrics: $(grep -c '^brisolant_' "$prom") series in $prom"
fi

# A program that dies is started again.
pid=$(property brisolant@dock1 MainPID)
kill -KILL "$pid"
restarted() {
    [ "$(property brisolant@dock1 NRestarts)" = 1 ] &&
        [ "$(property brisolant@dock1 ActiveState)" = active ] &&
        [ "$(property brisolant@dock1 MainPID)" != "$pid" ]
}
wait_for restarted || fail "the killed program was not started again"
# The killed program left its terminal exclusive (Qt's TIOCEXCL), and the simulator holds the
# terminal's far end, so the terminal stays refused (210) to the account: the station is
# replugged, as an adapter would be, a new terminal behind the same stable name.
kill "$(cat /run/station.pid)"
station station >/dev/null
before=$(record_count)
records_again() { [ "$(record_count)" -gt "$before" ]; }
wait_for records_again || fail "the restarted station records nothing"
echo "restarted after SIGKILL: main process $pid, now $(property brisolant@dock1 MainPID); it records"

# A settings file the account may not read (root's alone) ends the start at once with exit code
# 6, which is not restarted, and one line that says why.
settings unread /run/station
chmod 600 /etc/brisolant/unread.ini
if systemctl start brisolant@unread 2>/dev/null; then fail "brisolant@unread started"; fi
[ "$(property brisolant@unread ActiveState)" = failed ] || fail "brisolant@unread is not failed"
[ "$(property brisolant@unread ExecMainStatus)" = 6 ] ||
    fail "brisolant@unread ended with $(property brisolant@unread ExecMainStatus), not 6"
[ "$(property brisolant@unread NRestarts)" = 0 ] || fail "brisolant@unread was started again"
log -u brisolant@unread -p err | grep -q "Error: 301. Cannot read the settings file: /etc/brisolant/unread.ini: Permission denied" ||
    fail "the unreadable settings file is not named: $(log -u brisolant@unread)"
echo "unreadable settings: failed with 6, not restarted"

# A device the account may not open: the status says to add the service's account to dialout.
station noperm 600 >/dev/null
settings noperm /run/noperm
systemctl start brisolant@noperm || fail "brisolant@noperm did not start"
noperm_status() { property brisolant@noperm StatusText | grep -q "^Status: 208 .*add the service's account brisolant to the dialout group"; }
wait_for noperm_status || fail "the status of a port without permission: $(property brisolant@noperm StatusText)"
log -u brisolant@noperm -p warning | grep -q "Status: 208" || fail "the 208 is not a warning in the journal"
echo "no permission: $(property brisolant@noperm StatusText | cut -c 1-100)..."
systemctl stop brisolant@noperm

# The README's advice for a data folder on a share: a mount point that is missing leaves the
# station running, its scans waiting. A path without "-" that is missing fails each start; the
# start limit ends the tries with "failed" instead of a loop.
settings share /run/station
sed -i "s|^;FilePath=.*|FilePath=/mnt/records/|" /etc/brisolant/share.ini
mkdir -p /etc/systemd/system/brisolant@share.service.d
printf '[Unit]\nRequiresMountsFor=/mnt/records\n[Service]\nReadWritePaths=-/mnt/records\n' \
    >/etc/systemd/system/brisolant@share.service.d/share.conf
systemctl daemon-reload
systemctl start brisolant@share || fail "brisolant@share did not start without its share"
[ "$(property brisolant@share ActiveState)" = active ] || fail "brisolant@share is not active"
systemctl stop brisolant@share
printf '[Service]\nReadWritePaths=/mnt/records\nRestartSec=100ms\n' \
    >/etc/systemd/system/brisolant@share.service.d/share.conf
systemctl daemon-reload
systemctl start brisolant@share 2>/dev/null || true
gave_up() {
    [ "$(property brisolant@share ActiveState)" = failed ] &&
        journalctl --no-pager -u brisolant@share | grep -q "Start request repeated too quickly"
}
wait_for gave_up || fail "brisolant@share did not give up: $(property brisolant@share ActiveState)"
echo "share missing: runs with ReadWritePaths=-; without, gives up after $(property brisolant@share NRestarts) restarts"

# An upgrade (the package installed again) restarts the station that runs.
systemctl enable brisolant@dock1 2>/dev/null || fail "brisolant@dock1 cannot be enabled"
pid=$(property brisolant@dock1 MainPID)
dpkg -i /test/brisolant.deb >/dev/null || fail "the package does not install over itself"
upgraded() { [ "$(property brisolant@dock1 ActiveState)" = active ] && [ "$(property brisolant@dock1 MainPID)" != "$pid" ]; }
wait_for upgraded || fail "the upgrade did not restart brisolant@dock1"
echo "upgrade: brisolant@dock1 restarted, main process $pid, now $(property brisolant@dock1 MainPID)"

systemctl stop brisolant@dock1 || fail "the service did not stop"
[ "$(property brisolant@dock1 ActiveState)" = inactive ] || fail "the service is still running"
[ "$(property brisolant@dock1 ExecMainStatus)" = 0 ] ||
    fail "SIGTERM ended it with $(property brisolant@dock1 ExecMainStatus), not 0"
log -u brisolant@dock1 | grep -q "^Stopped: [0-9]* scans\? recorded in this run; none kept in the journal$" ||
    fail "no stop line: $(log -u brisolant@dock1 | tail -n 3)"

# Removing the package stops every station and disables it; purging keeps the settings, the
# journals and the records.
systemctl start brisolant@dock1 || fail "brisolant@dock1 did not start again"
dpkg -r brisolant >/dev/null || fail "the package does not remove"
[ "$(property brisolant@dock1 ActiveState)" = inactive ] || fail "brisolant@dock1 runs on after the removal"
if find /etc/systemd/system -lname '*/brisolant@.service' | grep -q .; then
    fail "links to the removed unit are left: $(find /etc/systemd/system -lname '*/brisolant@.service')"
fi
dpkg -P brisolant >/dev/null || fail "the package does not purge"
for kept in /etc/brisolant/dock1.ini /var/lib/brisolant/dock1/dock1.journal.lock /srv/brisolant/dock1; do
    [ -e "$kept" ] || fail "the purge took $kept"
done
echo "removed and purged: stations stopped and disabled; settings, journals and records kept"
echo "service checked"

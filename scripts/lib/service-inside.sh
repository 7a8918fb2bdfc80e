#!/bin/bash
# Runs inside the container that scripts/check-service.sh boots, as root under its systemd:
# installs the package and checks the unit brisolant@.service. Prints "service checked" when
# every check holds, else "FAIL: ..." and what the service logged.
set -uo pipefail

fail() {
    echo "FAIL: $*"
    for unit in brisolant@dock1 brisolant@nosuch brisolant@unread brisolant@noperm \
        brisolant@share brisolant@remote; do
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
log() { journalctl --no-pager -o cat "$@"; }

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

# A station whose settings file cannot be read ends its start at once with exit code 6, which is
# not restarted, and the one line given, which names the file and why; it is a failed unit, which
# systemctl --failed lists.
refused_start() {
    local unit=brisolant@$1
    if systemctl start "$unit" 2>/dev/null; then fail "$unit started"; fi
    systemctl is-failed --quiet "$unit" || fail "$unit is not failed: $(property "$unit" ActiveState)"
    systemctl --failed --plain --no-legend | grep -q "^$unit.service" ||
        fail "systemctl --failed does not list $unit"
    [ "$(property "$unit" ExecMainStatus)" = 6 ] ||
        fail "$unit ended with $(property "$unit" ExecMainStatus), not 6"
    [ "$(property "$unit" NRestarts)" = 0 ] || fail "$unit was started again"
    log -u "$unit" -p err | grep -qxF "$2" || fail "the settings file of $unit is not named: $(log -u "$unit")"
    echo "$2: $unit failed with 6, not restarted"
}

# A station without a settings file.
refused_start nosuch "Error: 304. The settings file is not there: /etc/brisolant/nosuch.ini"

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

# A program that dies is started again; it left its metrics file, and its next run says that the
# run before it did not end cleanly, for the alert on restarts.
prom=$textfiles/brisolant-dock1.prom
pid=$(property brisolant@dock1 MainPID)
kill -KILL "$pid"
if [ -d "$textfiles" ]; then
    [ -e "$prom" ] || fail "the killed program's metrics file is gone"
fi
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
if [ -d "$textfiles" ]; then
    unclean() { grep -qs 'brisolant_previous_run_clean{station="dock1"} 0' "$prom"; }
    wait_for unclean || fail "the run after a kill does not say so: $(cat "$prom" 2>&1)"
fi
echo "restarted after SIGKILL: main process $pid, now $(property brisolant@dock1 MainPID); it records"

# A settings file the account may not read (root's alone).
settings unread /run/station
chmod 600 /etc/brisolant/unread.ini
refused_start unread "Error: 301. Cannot read the settings file: /etc/brisolant/unread.ini: Permission denied"

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

# A station records into the site's PostgreSQL on another address (records.depot, 127.0.0.2 in
# the container's own /etc/hosts and loopback: its name looked up as any host's) with the unit
# as shipped, the password in the file the unit names (/etc/brisolant/NAME.pgpass, the account's
# alone) as the README says, and the station's name from its settings in the table and in its
# metrics; systemd's LoadCredential= leaves its credential folder empty in this container. A
# drop-in that takes the network families away again gets a status that names the cause.
remote_database() {
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | tail -n 1)
    if [ ! -x "$bin/initdb" ] || ! id postgres >/dev/null 2>&1; then
        echo "remote database: not checked, no PostgreSQL server here"
        return
    fi
    mkdir -p /run/pg && chown postgres /run/pg
    runuser -u postgres -- "$bin/initdb" --auth-local=trust --auth-host=scram-sha-256 -U postgres \
        -E UTF8 --no-sync -D /run/pg/data >/run/pg/initdb.log 2>&1 || fail "initdb failed"
    runuser -u postgres -- "$bin/pg_ctl" -D /run/pg/data -l /run/pg/server.log -w -t 60 \
        -o "-k /run/pg -p 5433 -c listen_addresses=127.0.0.2 -c fsync=off" start >/dev/null ||
        fail "the database server did not start: $(tail -n 5 /run/pg/server.log)"
    sql() { psql -h /run/pg -p 5433 -U postgres -v ON_ERROR_STOP=1 -Atq "$@"; }
    sql -c "CREATE ROLE brisolant LOGIN PASSWORD 'rec0rds-Pw'" -c "CREATE DATABASE depot OWNER brisolant" ||
        fail "the database's user and database were not made"

    echo "127.0.0.2 records.depot" >>/etc/hosts
    station remote >/dev/null
    settings remote /run/remote
    printf '[DATABASE]\nConnection=host=records.depot port=5433 dbname=depot user=brisolant\nStation=depot-remote\n' \
        >>/etc/brisolant/remote.ini
    install -m 600 -o brisolant -g brisolant /dev/null /etc/brisolant/remote.pgpass
    printf 'records.depot:5433:depot:brisolant:rec0rds-Pw\n' >/etc/brisolant/remote.pgpass
    systemctl start brisolant@remote || fail "brisolant@remote did not start"
    rows() { sql -d depot -c "SELECT count(*) FROM scan_records WHERE station = 'depot-remote'" 2>/dev/null || echo 0; }
    delivered() { [ "$(rows)" -ge 1 ]; }
    wait_for delivered || fail "no record reached the database on records.depot: $(property brisolant@remote StatusText)"
    if [ -d "$textfiles" ]; then
        named() { grep -qs 'brisolant_db_delivered_total{station="depot-remote"} [1-9]' "$textfiles/brisolant-remote.prom"; }
        wait_for named || fail "the metrics do not carry the table's name: $(cat "$textfiles/brisolant-remote.prom" 2>&1)"
    fi
    echo "remote database: $(rows) rows from station depot-remote on records.depot (127.0.0.2), password from /etc/brisolant/remote.pgpass"

    mkdir -p /etc/systemd/system/brisolant@remote.service.d
    printf '[Service]\nRestrictAddressFamilies=\nRestrictAddressFamilies=AF_UNIX\n' \
        >/etc/systemd/system/brisolant@remote.service.d/families.conf
    systemctl daemon-reload
    systemctl restart brisolant@remote || fail "brisolant@remote did not start again"
    hinted() { property brisolant@remote StatusText | grep -q "RestrictAddressFamilies="; }
    wait_for hinted || fail "a socket refused by the sandbox is not named: $(property brisolant@remote StatusText)"
    echo "sandboxed socket: $(property brisolant@remote StatusText | cut -c 1-160)..."
    systemctl stop brisolant@remote
    rm -r /etc/systemd/system/brisolant@remote.service.d
    systemctl daemon-reload
    runuser -u postgres -- "$bin/pg_ctl" -D /run/pg/data -m fast -w stop >/dev/null
}

# An upgrade (the package installed again) restarts the station that runs.
systemctl enable brisolant@dock1 2>/dev/null || fail "brisolant@dock1 cannot be enabled"
pid=$(property brisolant@dock1 MainPID)
dpkg -i /test/brisolant.deb >/dev/null || fail "the package does not install over itself"
upgraded() { [ "$(property brisolant@dock1 ActiveState)" = active ] && [ "$(property brisolant@dock1 MainPID)" != "$pid" ]; }
wait_for upgraded || fail "the upgrade did not restart brisolant@dock1"
if [ -d "$textfiles" ]; then
    clean() { grep -qs 'brisolant_previous_run_clean{station="dock1"} 1' "$prom"; }
    wait_for clean || fail "the run after an upgrade counts as unclean: $(cat "$prom" 2>&1)"
fi
echo "upgrade: brisolant@dock1 restarted, main process $pid, now $(property brisolant@dock1 MainPID)"

remote_database

# A station stopped on purpose takes its metrics file away: nothing alerts on it.
systemctl stop brisolant@dock1 || fail "the service did not stop"
[ ! -e "$prom" ] || fail "the stopped station left its metrics file"
[ "$(property brisolant@dock1 ActiveState)" = inactive ] || fail "the service is still running"
[ "$(property brisolant@dock1 ExecMainStatus)" = 0 ] ||
    fail "SIGTERM ended it with $(property brisolant@dock1 ExecMainStatus), not 0"
log -u brisolant@dock1 | grep -q "^Stopped: [0-9]* scans\? recorded in this run; none kept in the journal$" ||
    fail "no stop line: $(log -u brisolant@dock1 | tail -n 3)"

# Removing the package stops every station and disables it; purging keeps the settings, the
# journals and the records.
systemctl start brisolant@dock1 || fail "brisolant@dock1 did not start again"
# The last file of a station that crashed before the removal, which the removal takes along.
[ ! -d "$textfiles" ] || echo 'brisolant_port_open{station="crashed"} 0' >"$textfiles/brisolant-crashed.prom"
dpkg -r brisolant >/dev/null || fail "the package does not remove"
[ "$(property brisolant@dock1 ActiveState)" = inactive ] || fail "brisolant@dock1 runs on after the removal"
if find /etc/systemd/system -lname '*/brisolant@.service' | grep -q .; then
    fail "links to the removed unit are left: $(find /etc/systemd/system -lname '*/brisolant@.service')"
fi
dpkg -P brisolant >/dev/null || fail "the package does not purge"
for kept in /etc/brisolant/dock1.ini /var/lib/brisolant/dock1/dock1.journal.lock /srv/brisolant/dock1; do
    [ -e "$kept" ] || fail "the purge took $kept"
done
if [ -d "$textfiles" ]; then
    left=$(ls "$textfiles" | grep '^brisolant-' || true)
    [ -z "$left" ] || fail "the purge left metrics files: $left"
    if getfacl -p "$textfiles" 2>/dev/null | grep -q '^user:brisolant:'; then
        fail "the purge left the account's access to $textfiles"
    fi
fi
echo "removed and purged: stations stopped and disabled; settings, journals and records kept; metrics files and the textfile folder's access list entry gone"
echo "service checked"

#!/usr/bin/env bash
# The site's view of its stations, as its IT person has it: real programs without a window on
# simulated stations, a real node_exporter serving their metrics files, and a real Prometheus
# that scrapes it every second with the shipped rules. It shows that a backlog for the database
# alerts, an upgrade's restart alerts nothing, a retired station alerts nothing, a crash alerts
# (the file it leaves goes stale, and its restarts count), a station whose node_exporter is gone
# alerts, and that every query of the shipped Grafana dashboard runs and returns the stations'
# series. The rules' times are shortened in the copy Prometheus loads (every "for:" 0s, a file
# stale after 10 s instead of 180 s); the stations get a parcel twice a second, so that their
# programs write their files every second. promtool's unit tests of the rules prove the real
# times. Exits 77 (a skip for CTest) without Prometheus or node_exporter.
#
#   scripts/check-monitoring.sh BRISOLANT BRISOLANT-STATION
set -euo pipefail

# As the other tests over pseudo-terminals, in a mount namespace of its own where it can (as root):
# a devpts instance of its own and an empty /run/lock, so that the terminals and lock files of
# other tests and programs on the machine never reach it, nor its own theirs.
if [ -z "${BRISOLANT_OWN_MOUNTS:-}" ] && [ "$(id -u)" -eq 0 ] &&
    unshare --mount --propagation private true 2>/dev/null; then
    exec env BRISOLANT_OWN_MOUNTS=1 unshare --mount --propagation private "$0" "$@"
fi
if [ -n "${BRISOLANT_OWN_MOUNTS:-}" ]; then
    mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts /dev/pts
    mount --bind /dev/pts/ptmx /dev/ptmx
    mount -t tmpfs tmpfs /run/lock
else
    echo "check-monitoring: shares the machine's /dev/pts and /run/lock (not root)"
fi

program=$(realpath "$1")
simulator=$(realpath "$2")
source_dir=$(realpath "$(dirname "$0")/..")
for tool in prometheus prometheus-node-exporter curl jq python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "check-monitoring: skipped: $tool is not installed (scripts/install-deps.sh)"
        exit 77
    fi
done

work=$(mktemp -d)
declare -A pids
cleanup() {
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        echo "--- $log"
        tail -n 15 "$log"
    done
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

# The clock has passed the second given: a program started now has another start time.
after() { [ "$(date +%s)" -gt "$1" ]; }

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Runs a command in the background under a name, its output in NAME.log.
run() {
    local name=$1
    shift
    "$@" >>"$work/$name.log" 2>&1 &
    pids[$name]=$!
}
end() {
    kill "-${2:-TERM}" "${pids[$1]}"
    wait "${pids[$1]}" 2>/dev/null || true
    unset "pids[$1]"
}

# A station: its simulator on a link of its own, its settings from the package's example, and
# the program without a window with the service's folders. A database, when named, is given as
# the [DATABASE] section's Connection.
textfiles=$work/textfiles
mkdir -p "$textfiles"
prepare() {
    local name=$1 connection=${2:-}
    mkdir -p "$work/state/$name" "$work/data/$name"
    sed -e "s|^CommPort=.*|CommPort=$work/$name.pty|" "$source_dir/packaging/example.ini" \
        >"$work/$name.ini"
    if [ -n "$connection" ]; then
        printf '[DATABASE]\nConnection=%s\n' "$connection" >>"$work/$name.ini"
    fi
}
simulate() {
    run "$1-station" "$simulator" --link "$work/$1.pty" --rate 2 --sample-first
    wait_for test -L "$work/$1.pty" || fail "the simulator of $1 made no terminal"
}
start() {
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} run "$1" "$program" --headless \
        --settings "$work/$1.ini" --state-dir "$work/state/$1" --data-dir "$work/data/$1" \
        --metrics-file "$textfiles/brisolant-$1.prom"
}

# The exporter and Prometheus, each on a loopback port of its own.
exporter_port=$(free_port)
run exporter prometheus-node-exporter --collector.disable-defaults --collector.textfile \
    --collector.textfile.directory="$textfiles" --web.listen-address="127.0.0.1:$exporter_port"
sed -E -e 's/^( +for:).*/\1 0s/' \
    -e 's/time\(\) - brisolant_metrics_timestamp_seconds > 180/time() - brisolant_metrics_timestamp_seconds > 10/' \
    "$source_dir/packaging/prometheus/brisolant-alerts.yml" >"$work/rules.yml"
grep -q 'brisolant_metrics_timestamp_seconds > 10' "$work/rules.yml" ||
    fail "the stale file's time was not shortened in the rules' copy"
cat >"$work/prometheus.yml" <<EOF
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - $work/rules.yml
scrape_configs:
  - job_name: node
    static_configs:
      - targets: ['127.0.0.1:$exporter_port']
EOF
prometheus_port=$(free_port)
run prometheus prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
    --web.listen-address="127.0.0.1:$prometheus_port"
api="http://127.0.0.1:$prometheus_port/api/v1"

# The stations (label "station", space-separated, sorted) that a query returns; fails on a query
# that Prometheus refuses.
stations_of() {
    curl -sf --get --data-urlencode "query=$1" "$api/query" |
        jq -r '[.data.result[].metric.station // ""] | unique | join(" ")'
}
# The firing alerts, one "ALERTNAME STATION" a line.
firing() {
    curl -sf "$api/alerts" |
        jq -r '.data.alerts[] | select(.state == "firing") | "\(.labels.alertname) \(.labels.station // "")"'
}
fires() { firing | grep -x "$1 $2" >/dev/null; }
has() { [[ " $(stations_of "$1" 2>/dev/null) " == *" $2 "* ]]; }
value_of() {
    curl -sf --get --data-urlencode "query=$1" "$api/query" | jq -r '.data.result[0].value[1] // ""'
}

# Prometheus sees a run of the station that started at another time than the one given.
started_again() {
    local now
    now=$(value_of "brisolant_start_time_seconds{station=\"$1\"}")
    [ -n "$now" ] && [ "$now" != "$2" ]
}

ready() { curl -sf "http://127.0.0.1:$prometheus_port/-/ready" >/dev/null; }
wait_for ready || fail "Prometheus did not start"

# dock1 records into a database that is not there; dock2 and dock3 record into their files.
refused_port=$(free_port)
prepare dock1 "host=127.0.0.1 port=$refused_port dbname=depot user=brisolant"
prepare dock2
prepare dock3
for name in dock1 dock2 dock3; do
    simulate "$name"
    start "$name"
done
for name in dock1 dock2 dock3; do
    wait_for has 'brisolant_scans_recorded_total > 0' "$name" ||
        fail "Prometheus sees no record of $name: $(stations_of brisolant_scans_recorded_total)"
done
echo "scraped: $(stations_of brisolant_build_info)"

# A backlog for the database alerts: records wait, and none is delivered.
wait_for fires BrisolantDatabaseBacklog dock1 || fail "no backlog alert: $(firing)"
wait_for fires BrisolantDatabaseStalled dock1 || fail "no stalled-delivery alert: $(firing)"
echo "backlog: dock1 has $(value_of 'brisolant_db_waiting{station="dock1"}') records waiting; $(firing | grep -c Database) alerts"

# An upgrade's restart (a stop on purpose, then a start) is a clean one.
started=$(value_of 'brisolant_start_time_seconds{station="dock2"}')
end dock2
[ ! -e "$textfiles/brisolant-dock2.prom" ] || fail "dock2 left its file at a clean end"
wait_for after "$started"
start dock2
wait_for started_again dock2 "$started" || fail "Prometheus did not see dock2 start again"
[ "$(value_of 'brisolant_previous_run_clean{station="dock2"}')" = 1 ] ||
    fail "the restart on purpose counts as unclean"
has 'brisolant:unclean_start_time_seconds' dock2 && fail "the restart on purpose counts toward BrisolantRestarting"
echo "upgrade: dock2 started again, its previous run clean"

# A crash leaves the file, which goes stale; a station retired meanwhile alerts nothing.
end dock3 KILL
end dock2
[ -e "$textfiles/brisolant-dock3.prom" ] || fail "the killed dock3 left no file"
[ ! -e "$textfiles/brisolant-dock2.prom" ] || fail "the retired dock2 left its file"
wait_for fires BrisolantMetricsStale dock3 || fail "no alert for the crashed dock3: $(firing)"
gone_from_prometheus() { ! has 'brisolant_build_info' dock2; }
wait_for gone_from_prometheus || fail "dock2's series stay"
firing | grep " dock2$" >/dev/null && fail "the retired dock2 alerts: $(firing | grep " dock2$")"
echo "crash: dock3's file is stale; retired: dock2 has no series and no alert"

# Crashes in a row count as restarts; the station is started again each time, with its station
# replugged (the killed program left its terminal exclusive).
for round in 1 2 3; do
    started=$(value_of 'brisolant_start_time_seconds{station="dock3"}')
    wait_for after "$started"
    end dock3-station
    simulate dock3
    start dock3
    wait_for started_again dock3 "$started" || fail "Prometheus did not see dock3 start again"
    [ "$(value_of 'brisolant_previous_run_clean{station="dock3"}')" = 0 ] ||
        fail "the start after a kill says its previous run was clean"
    [ "$round" = 3 ] || end dock3 KILL
done
wait_for fires BrisolantRestarting dock3 || fail "three crashes gave no alert: $(firing)"
[ "$(stations_of 'brisolant:unclean_start_time_seconds')" = dock3 ] ||
    fail "restarts counted: $(stations_of 'brisolant:unclean_start_time_seconds')"
echo "restarts: dock3 crashed 3 times and alerts; its file is fresh again"

# Every query of the dashboard runs and returns the stations' series, as Grafana would send it
# with every station chosen.
jq -r '.panels[] | .title as $title | .targets[] | "\($title)\t\(.expr | gsub("\n"; " "))"' \
    "$source_dir/packaging/grafana/brisolant.json" >"$work/queries"
queries=0
while IFS=$'\t' read -r title query; do
    query=${query//\$station/.*}
    query=${query//\$__rate_interval/1m}
    got=$(stations_of "$query") || fail "the panel \"$title\" is refused: $query"
    [[ " $got " == *" dock1 "* || " $got " == *" dock3 "* ]] ||
        fail "the panel \"$title\" shows no station: $query gives \"$got\""
    queries=$((queries + 1))
done <"$work/queries"
[ "$queries" -ge 6 ] || fail "only $queries queries in the dashboard"
echo "dashboard: $queries queries run and return the stations"

# A station whose node_exporter is gone (its PC down) alerts.
end exporter
for name in dock1 dock3; do
    wait_for fires BrisolantStationGone "$name" || fail "no alert for $name, gone: $(firing)"
done
echo "vanished: dock1 and dock3 alert once their node_exporter is gone"
echo "monitoring checked"

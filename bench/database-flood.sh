#!/usr/bin/env bash
# Records delivered to PostgreSQL, against the limit of the same server: COPY of the same rows
# into the same table by psql. A Release build of the real writer keeps COUNT records (written
# to the data file, kept in the log) while the database is away, then starts again with it
# back: the figure is records committed per second, from that start (the log read back a batch
# at a time) to the last commit, in the program's batches of up to 4,096. The database is a throwaway cluster
# on a Unix socket (fsync on, as a site runs it). Then the table is emptied and psql's \copy
# loads the same rows.
#
#   bench/database-flood.sh [--count N]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

count=100000
while (($#)); do
    case "$1" in
        --count) count=$2; shift 2 ;;
        -h | --help) sed -n '2,9p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

release_build build/release --benchmarks bench_database_flood >/dev/null
bin=$(ls -d /usr/lib/postgresql/*/bin | tail -1)
run=$(mktemp -d /tmp/brisolant-dbflood-XXXXXX)
remove_on_exit "$run"
as_owner=()
if [ "$(id -u)" = 0 ]; then
    chown postgres: "$run"
    as_owner=(runuser -u postgres --)
fi
"${as_owner[@]}" "$bin/initdb" -A trust -U postgres -E UTF8 -D "$run/data" >/dev/null
"${as_owner[@]}" "$bin/pg_ctl" -D "$run/data" -l "$run/server.log" -w \
    -o "-k $run -c listen_addresses=''" start >/dev/null
stop_server() {
    "${as_owner[@]}" "$bin/pg_ctl" -D "$run/data" -m immediate stop >/dev/null 2>&1 || true
    _release_clean_up
}
trap stop_server EXIT
connection="host=$run dbname=postgres user=postgres"
mkdir -p "$run/files"
chmod 777 "$run"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "PostgreSQL $("$bin/postgres" --version | awk '{print $3}'), Release build, $count records"
delivery=$(build/release/bench/bench_database_flood "$connection" "$count" "$run/files" \
    "$run/rows.copy")
echo "program: $delivery"
psql "$connection" -q -c "TRUNCATE scan_records"
start=$(date +%s.%N)
psql "$connection" -q -c "\\copy scan_records (station, seq, arrived_at, device, length, width,\
 height, gross_weight, dim_weight, dim_factor, length_unit, weight_unit, barcode, operator_text,\
 line) FROM '$run/rows.copy'"
end=$(date +%s.%N)
copy_rate=$(echo "$count / ($end - $start)" | bc)
echo "psql \\copy: $count records in $(echo "$end - $start" | bc) s: $copy_rate records/s"
program_rate=$(echo "$delivery" | sed -n 's/.*: \([0-9]*\) records\/s.*/\1/p')
echo "ratio: $(echo "scale=2; $program_rate / $copy_rate" | bc) of COPY's rate"

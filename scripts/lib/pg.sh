# shellcheck shell=bash
# A throwaway PostgreSQL cluster for the benchmarks: initdb and pg_ctl into a folder of its own,
# listening on a Unix socket there only (never on the network), run as the postgres account
# when the script runs as root. Sourced from the source tree's root, never run on its own.
#
#   start_pg FOLDER   makes and starts the cluster in FOLDER (made when missing); sets
#                     pg_connection, and pg_bin to the server's programs
#   stop_pg           stops it at once
#   start_run_pg RUN  a cluster in RUN/pg for a run of a benchmark, stopped when the script ends
#                     (with release.sh's clean-up); sets pg_settings, the settings file's lines
#                     that name it for station "north"

start_pg() {
    pg_folder=$1
    mkdir -p "$pg_folder"
    pg_bin=$(ls -d /usr/lib/postgresql/*/bin | tail -1)
    pg_as_owner=()
    if [ "$(id -u)" = 0 ]; then
        chown postgres: "$pg_folder"
        pg_as_owner=(runuser -u postgres --)
    fi
    "${pg_as_owner[@]}" "$pg_bin/initdb" -A trust -U postgres -E UTF8 -D "$pg_folder/data" \
        >/dev/null
    "${pg_as_owner[@]}" "$pg_bin/pg_ctl" -D "$pg_folder/data" -l "$pg_folder/server.log" -w \
        -o "-k $pg_folder -c listen_addresses=''" start >/dev/null
    pg_connection="host=$pg_folder dbname=postgres user=postgres"
}

stop_pg() {
    if [ -n "${pg_folder:-}" ]; then
        "${pg_as_owner[@]}" "$pg_bin/pg_ctl" -D "$pg_folder/data" -m immediate stop \
            >/dev/null 2>&1 || true
    fi
}

start_run_pg() {
    local run=$1
    chmod 755 "$run"  # the postgres account reaches its folder through it
    start_pg "$run/pg"
    trap 'stop_pg; _release_clean_up' EXIT
    pg_settings=("[DATABASE]" "Connection=$pg_connection" "Station=north")
}

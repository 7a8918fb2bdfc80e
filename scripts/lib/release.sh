# shellcheck shell=bash
# Shared by the scripts that build a Release of Brisolant and run it against the station
# simulator. Sourced from the source tree's root, never run on its own.
#
#   release_build FOLDER [--benchmarks] [-DNAME=VALUE...] [TARGET...]
#                                                          configure quietly, then build
#   release_settings FILE PORT DATA_FOLDER BAUD [LINE...]  the settings file the program reads
#   start_station RUN_FOLDER OPTION...                     the simulator in the background:
#                                                          sets station_pid and port
#   end_on_exit PID_VARIABLE...                            end those processes at the end
#   remove_on_exit FOLDER                                  and remove it (KEEP_RUN keeps it)

# Configures FOLDER for a Release and builds the targets (all of them when none is named); what
# the build prints goes to the caller's output. A new folder gets neither tests nor benchmarks
# and ccache where there is one. An existing folder keeps the options it has, so that scripts
# run one after the other never flip its cache and rebuild everything: --benchmarks only ever
# turns the benchmarks on. -D options are passed to every configure of the folder.
release_build() {
    local folder=$1
    shift
    local options=(-DCMAKE_BUILD_TYPE=Release)
    if [ ! -f "$folder/CMakeCache.txt" ]; then
        options+=(-G Ninja -DBRISOLANT_TESTS=OFF -DBRISOLANT_BENCHMARKS=OFF)
        if command -v ccache >/dev/null; then
            options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        fi
    fi
    if [ "${1:-}" = --benchmarks ]; then
        options+=(-DBRISOLANT_BENCHMARKS=ON)
        shift
    fi
    while [[ "${1:-}" == -D* ]]; do
        options+=("$1")
        shift
    done
    cmake -S . -B "$folder" "${options[@]}" >/dev/null
    local targets=()
    if (($#)); then targets=(--target "$@"); fi
    cmake --build "$folder" -j2 "${targets[@]}"
}

# Writes the settings file the program reads beside its executable, with CR LF line ends: the
# port at BAUD, 8N1, records into DATA_FOLDER (which ends in "/"), then any further LINEs.
release_settings() {
    local file=$1 port=$2 data=$3 baud=$4
    shift 4
    printf '%s\r\n' "[COMMUNICATION]" "CommPort=$port" "BaudRate=$baud" "DataBits=8" \
        "Parity=None" "StopBits=1" "[SETTINGS]" "FilePath=$data" "$@" >"$file"
}

# Starts build/release's station simulator with the options, its pseudo-terminal's name in
# RUN_FOLDER/station.out and its log in RUN_FOLDER/station.log; sets station_pid, and port once
# the simulator has said which terminal it plays on.
start_station() {
    local run=$1
    shift
    build/release/tools/brisolant-station "$@" >"$run/station.out" 2>"$run/station.log" &
    station_pid=$!
    for _ in $(seq 100); do
        [ -s "$run/station.out" ] && break
        sleep 0.1
    done
    port=$(head -n 1 "$run/station.out")
    [ -n "$port" ] || { echo "The station simulator did not start." >&2; exit 1; }
}

# When the script ends, however it ends, the processes whose ids the named variables hold by
# then are ended (a script that stops one itself empties its variable), and the folder given
# to remove_on_exit is removed, or kept and named when KEEP_RUN is set.
end_on_exit() {
    _release_pid_variables=("$@")
    trap _release_clean_up EXIT
    trap 'exit 130' INT TERM
}

remove_on_exit() {
    _release_run_folder=$1
}

_release_pid_variables=()
_release_run_folder=""

_release_clean_up() {
    local name pid
    for name in "${_release_pid_variables[@]}"; do
        pid=${!name:-}
        if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    done
    wait 2>/dev/null || true
    if [ -z "$_release_run_folder" ]; then return; fi
    if [ -n "${KEEP_RUN:-}" ]; then
        echo "kept $_release_run_folder" >&2
    else
        rm -rf "$_release_run_folder"
    fi
}

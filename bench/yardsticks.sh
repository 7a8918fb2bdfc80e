#!/usr/bin/env bash
# What a scan costs at the line's pace, Brisolant beside the terminal programs an operator might
# log the line with instead. The station simulator sends random parcels (every one different)
# at RATE scans a second on a line set to 115200 baud, each scan in a read of its own, to one
# program at a time:
#
#   window-xcb        the window on an X server (Xvfb), the server's CPU counted with it
#   window-offscreen  the window drawn offscreen
#   headless          --headless
#   reader            build/release/bench/bench_syncing_reader: the least a program that keeps
#                     every scan does (frames it, appends it to a file, fdatasync), in one thread
#   tio               tio logging the line to a file, alone: its screen is a pseudo-terminal that
#                     a helper drains and throws away, its CPU not counted
#   tio-xterm         the same tio in an xterm on an X server (Xvfb), xterm's and the server's
#                     CPU counted with it: what an operator who logs with tio runs
#   cutecom           CuteCom logging the line to a file on the same kind of X server, where
#                     CuteCom and xdotool are installed (its Logging box is ticked and its
#                     device opened by xdotool; bench/preload/ModemLines.cpp answers the modem
#                     line calls a pseudo-terminal refuses, which CuteCom takes for a lost device)
#
# None of these is a dependency of Brisolant: a developer installs them with
# apt-get install xvfb xdotool tio xterm cutecom valgrind.
#
#   bench/yardsticks.sh [--scans N] [--rate R] [--rounds K] [--seconds S] [--no-instructions]
#                       [--only NAME[,NAME...]]
#
# BRISOLANT_PROGRAM, when set, is the Brisolant executable to measure instead of build/release's
# (an earlier build, say, to compare with).
# CPU: each program takes N scans (default 800) at RATE (default 40); its CPU time, user and
# system, from its first scan to its last, is divided by the scans, and, for the X programs, the
# X server's over the same time is added. The context switches of all the program's threads
# over that time (a thread woken, or put aside for another) are counted a scan too. Each program
# runs K rounds (default 3; 0 leaves CPU times out); each time is the range over the rounds,
# each count the list of them. Times vary with the machine's load; the load average is printed
# with each row.
# Instructions (needs valgrind): each program runs under callgrind at 5 scans a second, and the
# user-space instructions of S seconds (default 20) from its fortieth scan on, its own and, for
# the X programs, the X server's (under callgrind too), are divided by the scans of those
# seconds. They do not vary with the load.
# Each program's row is printed as soon as it is measured; a program that fails (it does not
# open the terminal, say) gets a row saying why, and the others are measured all the same. At
# the end come the table again and the ratios of the window's and headless run's figures to the
# yardsticks'.
# The whole script is read before it runs, so that editing it never disturbs a run.
{
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

scans=800
rate=40
rounds=3
seconds=20
instructions=1
only=""
while (($#)); do
    case "$1" in
        --scans) scans=$2; shift 2 ;;
        --rate) rate=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --no-instructions) instructions=""; shift ;;
        --only) only=$2; shift 2 ;;
        -h | --help) sed -n '2,48p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
if [ -n "$instructions" ] && ! command -v valgrind >/dev/null; then
    echo "valgrind is not installed: instructions are left out" >&2
    instructions=""
fi

release_build build/release --benchmarks brisolant brisolant-station \
    brisolant_modem_lines bench_syncing_reader >/dev/null

subjects=()
for subject in window-xcb window-offscreen headless reader tio tio-xterm cutecom; do
    if [ -n "$only" ] && [[ ",$only," != *",$subject,"* ]]; then continue; fi
    case $subject in
        window-xcb) needs=(Xvfb) ;;
        tio) needs=(tio python3) ;;
        tio-xterm) needs=(tio xterm Xvfb) ;;
        cutecom) needs=(cutecom Xvfb xdotool) ;;
        *) needs=() ;;
    esac
    missing=""
    for program in "${needs[@]}"; do
        command -v "$program" >/dev/null || missing+=" $program"
    done
    if [ -n "$missing" ]; then
        echo "$subject left out: not installed:$missing" >&2
    else
        subjects+=("$subject")
    fi
done

work=$(mktemp -d /tmp/brisolant-yardsticks.XXXXXX)
station_pid=""
program_pid=""
server_pid=""
counted=()
end_on_exit program_pid server_pid station_pid
remove_on_exit "$work"

ticks_per_second=$(getconf CLK_TCK)
# CPU ticks of the processes, user and system.
cpu_ticks() {
    local pid total=0
    for pid in "$@"; do
        total=$((total + $(sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }')))
    done
    echo "$total"
}
# Context switches of all the processes' threads, each a wake-up or a preemption.
switches() { local pid; for pid in "$@"; do cat /proc/"$pid"/task/*/status 2>/dev/null; done |
    awk '/^(non)?voluntary_ctxt_switches:/ { s += $2 } END { print s + 0 }'; }
# The first child of process $1, once it has one.
child_of() {
    local child=""
    for _ in $(seq 300); do
        child=$(pgrep -P "$1" | head -n 1 || true)
        [ -n "$child" ] && break
        sleep 0.1
    done
    echo "$child"
}
# A command run by `python3 -c "$drained_terminal" PID_FILE COMMAND...` has a pseudo-terminal of
# its own whose screen is read and thrown away, as a terminal emulator would read it but without
# drawing it; its process id goes to PID_FILE.
drained_terminal='import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execvp(sys.argv[2], sys.argv[2:])
with open(sys.argv[1], "w") as out:
    out.write("%d\n" % pid)
try:
    while os.read(fd, 65536):
        pass
except OSError:
    pass
os.waitpid(pid, 0)'

# The parcels a program has logged: records in Brisolant's data file, barcode lines in a
# terminal's log.
logged() {
    case $1 in
        window-* | headless) cat "$run"/data/LOG-*.txt 2>/dev/null | wc -l ;;
        *) cat "$run/terminal.log" "$run/home/cutecom.log" 2>/dev/null | grep -c 'Barcode:' ||
            true ;;
    esac
}

# An X server of its own, under LAUNCHER when given; sets server_pid and display.
start_server() {
    rm -f "$run/display"
    ${launcher:-} Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$run/display" 2>"$run/server.log" &
    server_pid=$!
    for _ in $(seq 600); do
        [ -s "$run/display" ] && break
        sleep 0.1
    done
    display=":$(head -n 1 "$run/display")"
}

# Starts SUBJECT on the station's terminal, under LAUNCHER when given; sets program_pid, the
# process to end, and counted, the processes whose CPU and instructions are the subject's.
start_subject() {
    local subject=$1
    case $subject in
        window-* | headless)
            mkdir -p "$run/data"
            cp "${BRISOLANT_PROGRAM:-build/release/brisolant}" "$run/brisolant"
            release_settings "$run/Orvane.ini" "$port" "$run/data/" 115200
            ;;
    esac
    local tio=(tio --baudrate 115200 --log --log-file "$run/terminal.log" "$port")
    case $subject in
        window-xcb)
            DISPLAY=$display QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 ${launcher:-} "$run/brisolant" \
                >"$run/program.log" 2>&1 &
            ;;
        window-offscreen)
            QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 ${launcher:-} "$run/brisolant" \
                >"$run/program.log" 2>&1 &
            ;;
        headless)
            LC_ALL=C.UTF-8 ${launcher:-} "$run/brisolant" --headless >"$run/program.log" 2>&1 &
            ;;
        reader)
            ${launcher:-} build/release/bench/bench_syncing_reader "$port" "$run/terminal.log" \
                >"$run/program.log" 2>&1 &
            ;;
        tio)
            python3 -c "$drained_terminal" "$run/tio.pid" ${launcher:-} "${tio[@]}" \
                </dev/null >/dev/null 2>"$run/program.log" &
            ;;
        tio-xterm)
            DISPLAY=$display ${launcher:-} xterm -geometry 80x24+0+0 -e ${launcher:-} "${tio[@]}" \
                </dev/null >/dev/null 2>"$run/program.log" &
            ;;
        cutecom)
            mkdir -p "$run/home/.config/CuteCom"
            printf '%s\n' "[sessions]" "1\\BaudRate=115200" "1\\DataBits=8" "1\\Device=$port" \
                "1\\FlowControl=0" "1\\OpenMode=3" "1\\Parity=0" "1\\StopBits=1" \
                "1\\autoReconnect=false" "1\\name=Default" "size=1" \
                >"$run/home/.config/CuteCom/CuteCom5.conf"
            HOME=$run/home DISPLAY=$display \
                LD_PRELOAD=$PWD/build/release/bench/libbrisolant_modem_lines.so \
                ${launcher:-} cutecom >"$run/program.log" 2>&1 &
            ;;
    esac
    program_pid=$!
    counted=("$program_pid")
    case $subject in
        # The helper's child is tio (or valgrind running it); the helper is not counted.
        tio)
            for _ in $(seq 300); do
                [ -s "$run/tio.pid" ] && break
                sleep 0.1
            done
            counted=("$(cat "$run/tio.pid")")
            ;;
        # xterm's child is tio (or valgrind running it): both count.
        tio-xterm) counted+=("$(child_of "$program_pid")") ;;
        cutecom) open_cutecom ;;
    esac
}

# CuteCom opens its device and logs only when told to on its window: its Logging box, then Open.
# No window manager runs, so its main window (the largest one shown) lies at the screen's origin.
open_cutecom() {
    local window="" height=0
    for _ in $(seq 600); do
        for candidate in $(DISPLAY=$display xdotool search --onlyvisible --name CuteCom \
            2>/dev/null || true); do
            local h
            h=$(DISPLAY=$display xdotool getwindowgeometry --shell "$candidate" |
                awk -F= '/^HEIGHT=/ { print $2 }')
            if ((h > height)); then window=$candidate height=$h; fi
        done
        ((height > 100)) && break
        sleep 0.1
    done
    sleep 1
    # The Logging box sits at the left of the bottom row, above the status bar.
    DISPLAY=$display xdotool mousemove 206 $((height - 45)) click 1
    sleep 0.5
    DISPLAY=$display xdotool key --window "$window" alt+o
    # Under callgrind the window may take the key before it can act on it: asked again while
    # the device is not open.
    for _ in 1 2 3; do
        for _ in $(seq 100); do
            port_open "$program_pid" && return 0
            sleep 0.2
        done
        DISPLAY=$display xdotool key --window "$window" alt+o
    done
}

# Whether the process or a child of it has the station's terminal open.
port_open() {
    local task
    for task in $(pgrep -P "$1") "$1"; do
        if ls -l "/proc/$task/fd" 2>/dev/null | grep -q -- "-> $port\$"; then return 0; fi
    done
    return 1
}

# Waits until the program has the station's terminal open.
wait_for_port() {
    local pid=$1
    for _ in $(seq 1200); do
        port_open "$pid" && return 0
        kill -0 "$pid" 2>/dev/null || { tail -n 3 "$run/program.log" >&2; exit 1; }
        sleep 0.1
    done
    echo "$subject did not open the terminal" >&2
    exit 1
}

end_run() {
    local name pid
    for pid in ${counted[@]+"${counted[@]}"}; do kill "$pid" 2>/dev/null || true; done
    for name in program_pid server_pid station_pid; do
        if [ -n "${!name}" ]; then kill "${!name}" 2>/dev/null || true; fi
    done
    wait 2>/dev/null || true
    program_pid=""
    server_pid=""
    station_pid=""
    counted=()
}

# Whether SUBJECT draws on an X server of its own.
on_x() { case $1 in window-xcb | tio-xterm | cutecom) return 0 ;; esac; return 1; }

# CPU time a scan of SUBJECT and of its X server, in microseconds, and its context switches a
# scan: result_program, result_server and result_switches.
cpu_round() {
    local subject=$1
    run=$work/$subject-cpu
    rm -rf "$run"
    mkdir -p "$run"
    launcher=""
    server_pid=""
    if on_x "$subject"; then start_server; fi
    # The first scan waits until the program is up, so that its start is not counted.
    start_station "$run" --rate "$rate" --count "$scans" --scan random --wait-open \
        --start-delay 3
    start_subject "$subject"
    wait_for_port "$program_pid"
    sleep 2
    local c0 s0=0 c1 s1=0 w0 w1
    c0=$(cpu_ticks "${counted[@]}")
    w0=$(switches "${counted[@]}")
    if [ -n "$server_pid" ]; then s0=$(cpu_ticks "$server_pid"); fi
    local deadline=$(($(date +%s) + scans / rate * 3 + 60))
    while (($(logged "$subject") < scans)); do
        if (($(date +%s) > deadline)); then
            echo "only $(logged "$subject") of $scans scans logged" >&2
            exit 1
        fi
        sleep 0.05
    done
    c1=$(cpu_ticks "${counted[@]}")
    w1=$(switches "${counted[@]}")
    if [ -n "$server_pid" ]; then s1=$(cpu_ticks "$server_pid"); fi
    end_run
    result_switches=$(awk -v w=$((w1 - w0)) -v n="$scans" 'BEGIN { printf "%.1f", w / n }')
    read -r result_program result_server <<<"$(awk -v p=$((c1 - c0)) -v s=$((s1 - s0)) \
        -v hz="$ticks_per_second" -v n="$scans" \
        'BEGIN { printf "%.0f %.0f\n", 1e6 * p / hz / n, 1e6 * s / hz / n }')"
}

# The instructions in the last dump of each process's callgrind files.
dumped_instructions() {
    local pid dump sum=0 count
    for pid in "$@"; do
        dump=$(ls "$run/out.$pid"* 2>/dev/null | sort -V | tail -n 1)
        [ -n "$dump" ] || continue
        count=$(callgrind_annotate "$dump" 2>/dev/null |
            awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1; exit }')
        sum=$((sum + ${count:-0}))
    done
    echo "$sum"
}

# Thousands of instructions a scan of SUBJECT and of its X server, under callgrind:
# result_program and result_server.
instruction_run() {
    local subject=$1
    run=$work/$subject-instructions
    rm -rf "$run"
    mkdir -p "$run"
    server_pid=""
    # Every process under callgrind writes files of its own, named by its id.
    launcher="valgrind --tool=callgrind --callgrind-out-file=$run/out.%p"
    if on_x "$subject"; then start_server; fi
    start_station "$run" --rate 5 --scan random --wait-open
    start_subject "$subject"
    wait_for_port "$program_pid"
    until (($(logged "$subject") >= 40)); do
        kill -0 "$program_pid" 2>/dev/null || { tail -n 3 "$run/program.log" >&2; exit 1; }
        sleep 0.2
    done
    local all=("${counted[@]}") program=("${counted[@]}") pid first
    if [ -n "$server_pid" ]; then all+=("$server_pid"); fi
    for pid in "${all[@]}"; do callgrind_control --zero "$pid" >/dev/null 2>&1; done
    first=$(logged "$subject")
    sleep "$seconds"
    for pid in "${all[@]}"; do callgrind_control --dump "$pid" >/dev/null 2>&1; done
    local done_scans=$(($(logged "$subject") - first)) server_id=$server_pid
    end_run
    ((done_scans > 0)) || { echo "no scan logged under callgrind in $seconds s" >&2; exit 1; }
    local own server=0
    own=$(dumped_instructions "${program[@]}")
    if [ -n "$server_id" ]; then server=$(dumped_instructions "$server_id"); fi
    read -r result_program result_server <<<"$(awk -v p="$own" -v s="$server" \
        -v n="$done_scans" 'BEGIN { printf "%.0f %.0f\n", p / n / 1000, s / n / 1000 }')"
}

# Runs MEASURE (cpu_round or instruction_run) for SUBJECT in a shell of its own, which ends the
# processes it started however it ends; on success sets the results, on failure says why in
# failure and returns 1.
measure() {
    local kind=$1 subject=$2
    rm -f "$work/result" "$work/failure"
    if (
        trap end_run EXIT
        trap 'exit 130' INT TERM
        "$kind" "$subject"
        echo "$result_program $result_server ${result_switches:-0}" >"$work/result"
    ) 2>"$work/failure"; then
        read -r result_program result_server result_switches <"$work/result"
        return 0
    fi
    failure=$(tail -n 1 "$work/failure")
    failure=${failure:-ended unexpectedly}
    return 1
}

# min-max of a list of numbers, and its median.
range() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END {
    printf "%d-%d", v[1], v[NR] }'; }
median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END {
    print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
sum_lists() { paste -d ' ' <(tr ' ' '\n' <<<"$1" | sed '/^$/d') <(tr ' ' '\n' <<<"$2" |
    sed '/^$/d') | awk '{ printf "%d ", $1 + $2 }'; }

echo "Brisolant beside terminal loggers at the line's pace: $rate scans/s, random parcels"
echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | sed 's/.*: //')"
if [ -n "${BRISOLANT_PROGRAM:-}" ]; then
    echo "build:   $BRISOLANT_PROGRAM (BRISOLANT_PROGRAM)"
else
    echo "build:   build/release ($(git rev-parse --short HEAD 2>/dev/null || echo '?'))"
fi
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
header=$(printf '%-18s %-34s %-30s %-16s %s' "program" "CPU us a scan (range of $rounds)" \
    "instructions a scan (thousands)" "switches a scan" "load average")
echo
echo "$header"

declare -A total_cpu total_ins rows
for subject in "${subjects[@]}"; do
    cpu_program="" cpu_server="" cpu_switches="" cpu_text="-" switch_text="-" notes=""
    for ((round = 1; round <= rounds; round++)); do
        if measure cpu_round "$subject"; then
            cpu_program+="$result_program "
            cpu_server+="$result_server "
            cpu_switches+="$result_switches "
        else
            notes+=" [CPU round $round failed: $failure]"
        fi
    done
    if [ -n "$cpu_program" ]; then
        whole=$(sum_lists "$cpu_program" "$cpu_server")
        total_cpu[$subject]=$(median "$whole")
        cpu_text=$(range "$whole")
        if on_x "$subject"; then
            cpu_text+=" ($(range "$cpu_program") + X $(range "$cpu_server"))"
        fi
        switch_text=${cpu_switches% }
    fi
    ins_text="-"
    if [ -n "$instructions" ]; then
        if measure instruction_run "$subject"; then
            total_ins[$subject]=$((result_program + result_server))
            ins_text=${total_ins[$subject]}
            if on_x "$subject"; then ins_text+=" ($result_program + X $result_server)"; fi
        else
            notes+=" [instructions: under callgrind: $failure]"
        fi
    fi
    rows[$subject]=$(printf '%-18s %-34s %-30s %-16s %s%s' "$subject" "$cpu_text" "$ins_text" \
        "$switch_text" "$(cut -d ' ' -f 1-3 /proc/loadavg)" "$notes")
    echo "${rows[$subject]}"
done

echo
echo "all rows, $(date -u '+%Y-%m-%d %H:%M UTC'):"
echo "$header"
for subject in "${subjects[@]}"; do echo "${rows[$subject]}"; done

echo
echo "ratios of medians (CPU) and of instructions:"
ratio() {
    local a=$1 b=$2
    if [ -n "$a" ] && [ -n "$b" ] && [ "$b" != 0 ]; then
        awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }'
    else
        echo "-"
    fi
}
for pair in window-xcb/cutecom window-xcb/tio-xterm window-xcb/tio window-offscreen/cutecom \
    headless/reader headless/tio; do
    subject=${pair%/*} yardstick=${pair#*/}
    [[ " ${subjects[*]} " == *" $subject "* && " ${subjects[*]} " == *" $yardstick "* ]] ||
        continue
    printf '  %-18s / %-10s CPU %s  instructions %s\n' "$subject" "$yardstick" \
        "$(ratio "${total_cpu[$subject]:-}" "${total_cpu[$yardstick]:-}")" \
        "$(ratio "${total_ins[$subject]:-}" "${total_ins[$yardstick]:-}")"
done
exit
}

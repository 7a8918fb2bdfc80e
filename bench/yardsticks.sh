#!/usr/bin/env bash
# What a scan costs at the line's pace, Brisolant beside the terminal programs an operator might
# log the line with instead. The station simulator sends random parcels (every one different)
# at RATE scans a second on a line set to 115200 baud, each scan in a read of its own, to one
# program at a time:
#
#   window-xcb        the window on an X server (Xvfb), the server's CPU counted with it
#   window-offscreen  the window drawn offscreen
#   headless          --headless
#   tio               tio logging the line to a file, where tio is installed
#   cutecom           CuteCom logging the line to a file on the same kind of X server, where
#                     CuteCom and xdotool are installed (its Logging box is ticked and its
#                     device opened by xdotool; bench/preload/ModemLines.cpp answers the modem
#                     line calls a pseudo-terminal refuses, which CuteCom takes for a lost device)
#
# None of these is a dependency of Brisolant: a developer installs them with
# apt-get install xvfb xdotool tio cutecom valgrind.
#
#   bench/yardsticks.sh [--scans N] [--rate R] [--rounds K] [--seconds S] [--no-instructions]
#                       [--only NAME[,NAME...]]
#
# BRISOLANT_PROGRAM, when set, is the Brisolant executable to measure instead of build/release's
# (an earlier build, say, to compare with).
# CPU: each program takes N scans (default 800) at RATE (default 40); its CPU time, user and
# system, from its first scan to its last, is divided by the scans, and, for the X programs, the
# X server's over the same time is added. The context switches of all the program's threads
# over that time (a thread woken, or put aside for another) are counted a scan too. The
# programs run one after the other, K rounds (default 3; 0 leaves CPU times out); each time is
# the range over the rounds, each count the list of them. Times vary with the machine's load;
# the load average is printed.
# Instructions (needs valgrind): each program runs under callgrind at 5 scans a second, and the
# user-space instructions of S seconds (default 20) from its fortieth scan on, its own and, for
# the X programs, the X server's (under callgrind too), are divided by the scans of those
# seconds. They do not vary with the load.
# Prints both for each program and the ratios of the window's to tio's and to CuteCom's.
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
        -h | --help) sed -n '2,35p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
if [ -n "$instructions" ] && ! command -v valgrind >/dev/null; then
    echo "valgrind is not installed: instructions are left out" >&2
    instructions=""
fi

release_build build/release --benchmarks brisolant brisolant-station \
    brisolant_modem_lines >/dev/null

subjects=()
for subject in window-xcb window-offscreen headless tio cutecom; do
    if [ -n "$only" ] && [[ ",$only," != *",$subject,"* ]]; then continue; fi
    case $subject in
        window-xcb) needs=(Xvfb) ;;
        tio) needs=(tio script) ;;
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
end_on_exit program_pid server_pid station_pid
remove_on_exit "$work"

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# Context switches of all the process's threads, each a wake-up or a preemption.
switches() { cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(non)?voluntary_ctxt_switches:/ { s += $2 } END { print s + 0 }'; }
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

# Starts SUBJECT on the station's terminal, under LAUNCHER when given; sets program_pid.
start_subject() {
    local subject=$1
    case $subject in
        window-* | headless)
            mkdir -p "$run/data"
            cp "${BRISOLANT_PROGRAM:-build/release/brisolant}" "$run/brisolant"
            release_settings "$run/Orvane.ini" "$port" "$run/data/" 115200
            ;;
    esac
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
        tio)
            # tio wants a terminal of its own; script gives it one and throws the screen away.
            script -qfec "${launcher:-} tio --baudrate 115200 --log --log-file $run/terminal.log \
                $port" /dev/null </dev/null >/dev/null 2>"$run/program.log" &
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
    if [ "$subject" = cutecom ]; then open_cutecom; fi
    if [ "$subject" = tio ]; then
        # script's child is the terminal program (or valgrind running it).
        for _ in $(seq 300); do
            child=$(pgrep -P "$program_pid" | head -n 1 || true)
            [ -n "$child" ] && break
            sleep 0.1
        done
        program_pid=$child
    fi
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
}

# Waits until the program has the station's terminal open.
wait_for_port() {
    local pid=$1
    for _ in $(seq 1200); do
        for task in $(pgrep -P "$pid") "$pid"; do
            if ls -l "/proc/$task/fd" 2>/dev/null | grep -q -- "-> $port\$"; then return 0; fi
        done
        kill -0 "$pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
        sleep 0.1
    done
    echo "$subject did not open the terminal" >&2
    exit 1
}

end_run() {
    for name in program_pid server_pid station_pid; do
        if [ -n "${!name}" ]; then kill "${!name}" 2>/dev/null || true; fi
    done
    wait 2>/dev/null || true
    program_pid=""
    server_pid=""
    station_pid=""
}

# CPU time a scan of SUBJECT and of its X server, in microseconds: result_program and
# result_server.
cpu_round() {
    local subject=$1
    run=$work/$subject-cpu
    rm -rf "$run"
    mkdir -p "$run"
    launcher=""
    server_pid=""
    case $subject in window-xcb | cutecom) start_server ;; esac
    # The first scan waits until the program is up, so that its start is not counted.
    start_station "$run" --rate "$rate" --count "$scans" --scan random --wait-open \
        --start-delay 3
    start_subject "$subject"
    wait_for_port "$program_pid"
    sleep 2
    local c0 s0=0 c1 s1=0 w0 w1
    c0=$(cpu_ticks "$program_pid")
    w0=$(switches "$program_pid")
    if [ -n "$server_pid" ]; then s0=$(cpu_ticks "$server_pid"); fi
    local deadline=$(($(date +%s) + scans / rate * 3 + 60))
    while (($(logged "$subject") < scans)); do
        if (($(date +%s) > deadline)); then
            echo "$subject: only $(logged "$subject") of $scans scans logged" >&2
            exit 1
        fi
        sleep 0.05
    done
    c1=$(cpu_ticks "$program_pid")
    w1=$(switches "$program_pid")
    if [ -n "$server_pid" ]; then s1=$(cpu_ticks "$server_pid"); fi
    end_run
    result_switches=$(awk -v w=$((w1 - w0)) -v n="$scans" 'BEGIN { printf "%.1f", w / n }')
    read -r result_program result_server <<<"$(awk -v p=$((c1 - c0)) -v s=$((s1 - s0)) \
        -v hz="$ticks_per_second" -v n="$scans" \
        'BEGIN { printf "%.0f %.0f\n", 1e6 * p / hz / n, 1e6 * s / hz / n }')"
}

# Thousands of instructions a scan of SUBJECT and of its X server, under callgrind: the same
# two results.
instruction_run() {
    local subject=$1
    run=$work/$subject-instructions
    rm -rf "$run"
    mkdir -p "$run"
    server_pid=""
    case $subject in
        window-xcb | cutecom)
            launcher="valgrind --tool=callgrind --callgrind-out-file=$run/server.out"
            start_server
            ;;
    esac
    # A program may start others (CuteCom does): each writes a file of its own.
    launcher="valgrind --tool=callgrind --callgrind-out-file=$run/program.out.%p"
    start_station "$run" --rate 5 --scan random --wait-open
    start_subject "$subject"
    wait_for_port "$program_pid"
    until (($(logged "$subject") >= 40)); do
        kill -0 "$program_pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
        sleep 0.2
    done
    local counted=("$program_pid")
    counted_program=$program_pid
    if [ -n "$server_pid" ]; then counted+=("$server_pid"); fi
    for pid in "${counted[@]}"; do callgrind_control --zero "$pid" >/dev/null 2>&1; done
    local first
    first=$(logged "$subject")
    sleep "$seconds"
    for pid in "${counted[@]}"; do callgrind_control --dump "$pid" >/dev/null 2>&1; done
    local done_scans=$(($(logged "$subject") - first))
    end_run
    total() {
        local dump
        dump=$(ls "$run/$1".out* 2>/dev/null | sort -V | tail -n 1)
        if [ "$1" = program ]; then
            dump=$(ls "$run/program.out.$counted_program"* 2>/dev/null | sort -V | tail -n 1)
        fi
        [ -n "$dump" ] || { echo 0; return; }
        callgrind_annotate "$dump" 2>/dev/null |
            awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1; exit }'
    }
    local own server=0
    own=$(total program)
    if [[ $subject == window-xcb || $subject == cutecom ]]; then server=$(total server); fi
    read -r result_program result_server <<<"$(awk -v p="$own" -v s="$server" \
        -v n="$done_scans" 'BEGIN { printf "%.0f %.0f\n", p / n / 1000, s / n / 1000 }')"
}

echo "Brisolant beside terminal loggers at the line's pace: $rate scans/s, random parcels"
echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | sed 's/.*: //')"
if [ -n "${BRISOLANT_PROGRAM:-}" ]; then
    echo "build:   $BRISOLANT_PROGRAM (BRISOLANT_PROGRAM)"
else
    echo "build:   build/release ($(git rev-parse --short HEAD 2>/dev/null || echo '?'))"
fi
echo "load average at the start: $(cut -d ' ' -f 1-3 /proc/loadavg)"

declare -A cpu_program cpu_server cpu_switches
for ((round = 1; round <= rounds; round++)); do
    for subject in "${subjects[@]}"; do
        cpu_round "$subject"
        cpu_program[$subject]+="$result_program "
        cpu_server[$subject]+="$result_server "
        cpu_switches[$subject]+="$result_switches "
    done
done
declare -A ins_program ins_server
if [ -n "$instructions" ]; then
    for subject in "${subjects[@]}"; do
        instruction_run "$subject"
        ins_program[$subject]=$result_program
        ins_server[$subject]=$result_server
    done
fi
echo "load average at the end:   $(cut -d ' ' -f 1-3 /proc/loadavg)"

# min-max of a list of numbers, and its median.
range() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END {
    printf "%d-%d", v[1], v[NR] }'; }
median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END {
    print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
sum_lists() { paste -d ' ' <(tr ' ' '\n' <<<"$1" | sed '/^$/d') <(tr ' ' '\n' <<<"$2" |
    sed '/^$/d') | awk '{ printf "%d ", $1 + $2 }'; }

echo
printf '%-18s %-34s %-34s %s\n' "program" "CPU us a scan (range of $rounds)" \
    "instructions a scan (thousands)" "context switches a scan"
declare -A total_cpu total_ins
for subject in "${subjects[@]}"; do
    cpu_text="-"
    if ((rounds > 0)); then
        whole=$(sum_lists "${cpu_program[$subject]}" "${cpu_server[$subject]}")
        total_cpu[$subject]=$(median "$whole")
        cpu_text=$(range "$whole")
        case $subject in window-xcb | cutecom)
            cpu_text+=" ($(range "${cpu_program[$subject]}") + X $(range "${cpu_server[$subject]}"))"
            ;;
        esac
    fi
    ins_text="-"
    if [ -n "$instructions" ]; then
        total_ins[$subject]=$((ins_program[$subject] + ins_server[$subject]))
        ins_text=${total_ins[$subject]}
        case $subject in window-xcb | cutecom)
            ins_text+=" (${ins_program[$subject]} + X ${ins_server[$subject]})" ;;
        esac
    fi
    switch_text="-"
    if ((rounds > 0)); then switch_text=${cpu_switches[$subject]% }; fi
    printf '%-18s %-34s %-34s %s\n' "$subject" "$cpu_text" "$ins_text" "$switch_text"
done

echo
echo "ratios of medians (CPU) and of instructions:"
for subject in "${subjects[@]}"; do
    case $subject in tio | cutecom) continue ;; esac
    for yardstick in tio cutecom; do
        [[ " ${subjects[*]} " == *" $yardstick "* ]] || continue
        cpu_ratio="-"
        if ((rounds > 0)); then
            cpu_ratio=$(awk -v a="${total_cpu[$subject]}" -v b="${total_cpu[$yardstick]}" \
                'BEGIN { printf "%.2f", a / b }')
        fi
        ins_ratio="-"
        if [ -n "$instructions" ]; then
            ins_ratio=$(awk -v a="${total_ins[$subject]}" -v b="${total_ins[$yardstick]}" \
                'BEGIN { printf "%.2f", b ? a / b : 0 }')
        fi
        printf '  %-18s / %-8s CPU %s  instructions %s\n' "$subject" "$yardstick" \
            "$cpu_ratio" "$ins_ratio"
    done
done
exit
}

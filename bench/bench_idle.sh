#!/usr/bin/env bash
# What the real station costs while it waits with nothing due: the program of a build, a roster of N
# people, run --headless and with its window hidden in the tray under Xvfb (trayer provides the tray,
# a click on the tray icon hides the window). For each: the CPU of the whole process in % of one core and
# the wake-ups a second of each thread (voluntary and involuntary context switches from /proc), over S
# seconds after the start-up has settled. Prints each figure beside its aim, MISSED where it is not met,
# and FIGURE lines for run-all.sh.
#
#   bench/bench_idle.sh [build folder] [seconds] [people]      (defaults: build, 60, 10000)
set -u
build="$(cd "${1:-build}" && pwd)" || { echo "no build folder: ${1:-build}" >&2; exit 1; }
seconds="${2:-60}"
people="${3:-10000}"
settle=5
aimCpu=0.1      # % of one core
aimMainWakes=2  # main thread wake-ups a second

for tool in sqlite3 xvfb-run trayer xdotool; do
    command -v "$tool" > /dev/null || { echo "bench_idle: $tool is not installed" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$build/bin/." "$work/"
mkdir -m 700 "$work/xdg"
export XDG_RUNTIME_DIR="$work/xdg"
unset QT_QPA_PLATFORM
# A machine without a sound card would get the station's "no sound device" box, which waits for a click:
# SDL's disk driver stands in for a real card (into /dev/null); it is opened only while something plays.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
# Birthdays spread over the year, nobody's today is special.
sqlite3 "$work/draft.dat" "
    WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < $people)
    INSERT INTO birthday (emp_name, birthday, dept, remark1, indate)
    SELECT '员工' || i, date('1970-01-01', '+' || ((i * 37) % 365) || ' days', '+' || (i % 35) || ' years'),
           '部门' || (i % 40), '', '2005-01-01' FROM n;" || exit 1

# The notes on voices shown at the first start wait for a click too: seen already.
printf '[System]\r\nTts_information=1\r\n' > "$work/setinfo.ini"

ticks="$(getconf CLK_TCK)"

cat > "$work/measure.sh" <<'FUNCTIONS'
# utime + stime of the process, in ticks.
cpuTicks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2> /dev/null; }

# One line per thread: "tid name switches".
switches() {
    local task
    for task in /proc/"$1"/task/*; do
        [ -r "$task/status" ] || continue
        awk -v tid="${task##*/}" '
            /^Name:/ { name = $2 }
            /^voluntary_ctxt_switches:/ { v = $2 }
            /^nonvoluntary_ctxt_switches:/ { n = $2 }
            END { print tid, name, v + n }' "$task/status"
    done
}

# Measures pid over the window; prints the report and "cpu% mainWakes" on the last line.
measure() {
    local pid="$1" label="$2"
    sleep "$settle"
    local before after c0 c1 t0 t1
    before="$(switches "$pid")"
    c0="$(cpuTicks "$pid")"
    t0="$(date +%s.%N)"
    sleep "$seconds"
    c1="$(cpuTicks "$pid")"
    t1="$(date +%s.%N)"
    after="$(switches "$pid")"
    if [ -z "$c0" ] || [ -z "$c1" ]; then
        echo "  $label: the program ended early" >&2
        echo "- -"
        return
    fi
    local wall cpu
    wall="$(echo "$t1 - $t0" | bc -l)"
    cpu="$(echo "100 * ($c1 - $c0) / $ticks / $wall" | bc -l)"
    echo "  $label: load $(cut -d' ' -f1-3 /proc/loadavg), $(printf '%.1f' "$wall") s" >&2
    printf '  CPU %.3f %% of one core\n' "$cpu" >&2
    echo "  wake-ups a second by thread:" >&2
    local main
    main="$(awk -v wall="$wall" -v pid="$pid" '
        NR == FNR { seen[$1] = $3; next }
        { rate = ($3 - ($1 in seen ? seen[$1] : 0)) / wall
          if (rate >= 0.05) printf "    %-16s %7.2f\n", $2, rate > "/dev/stderr"
          if ($1 == pid) main = rate }
        END { printf "%.2f", main }' <(echo "$before") <(echo "$after"))"
    echo "$cpu $main"
}

FUNCTIONS
. "$work/measure.sh"

verdict() { # figure aim -> "" or "MISSED"
    awk -v f="$1" -v a="$2" 'BEGIN { if (f == "" || f == "-" || f + 0 >= a + 0) print "MISSED"; else print "" }'
}
wakeVerdict() {
    awk -v f="$1" -v a="$2" 'BEGIN { if (f == "" || f == "-" || f + 0 > a + 0) print "MISSED"; else print "" }'
}

report() {
    local label="$1" cpu="$2" main="$3"
    printf '%s: CPU %.3f %% of a core (aim < %s) %s; main thread %.2f wake-ups/s (aim <= %s) %s\n' \
        "$label" "$cpu" "$aimCpu" "$(verdict "$cpu" "$aimCpu")" "$main" "$aimMainWakes" \
        "$(wakeVerdict "$main" "$aimMainWakes")"
    printf 'FIGURE\tidle CPU, %s, %d people\t%% of a core\t%.3f\t\t\t< %s %s\n' "$label" "$people" "$cpu" "$aimCpu" \
        "$(verdict "$cpu" "$aimCpu")"
    printf 'FIGURE\tmain-thread wake-ups, %s\t/s\t%.2f\t\t\t<= %s %s\n' "$label" "$main" "$aimMainWakes" \
        "$(wakeVerdict "$main" "$aimMainWakes")"
}

echo "bench_idle: $people people, $seconds s each, $(nproc) cores" >&2

# --headless
"$work/kelvora" --headless > "$work/headless.log" 2>&1 &
pid=$!
read -r cpu main < <(measure "$pid" "--headless" | tail -1)
kill -TERM "$pid" 2> /dev/null
wait "$pid" 2> /dev/null
report "--headless" "$cpu" "$main"

# The window hidden in the tray.
cat > "$work/tray.sh" <<'INNER'
#!/usr/bin/env bash
. "$WORK/measure.sh"
trayer --edge bottom --widthtype request > /dev/null 2>&1 &
tray=$!
sleep 1
"$KELVORA" > "$WORK/tray.log" 2>&1 &
pid=$!
# Waits for the tray icon (a small window of the program), then clicks it: the window hides.
icon=""
for _ in $(seq 50); do
    for w in $(xdotool search --pid "$pid" 2> /dev/null); do
        geometry="$(xdotool getwindowgeometry "$w" 2> /dev/null | awk '/Geometry/ { print $2 }')"
        case "$geometry" in [1-9]x[1-9]|[1-3][0-9]x[1-3][0-9]|[1-9]x[1-3][0-9]|[1-3][0-9]x[1-9]) icon="$w" ;; esac
    done
    [ -n "$icon" ] && break
    sleep 0.2
done
if [ -z "$icon" ]; then
    echo "no tray icon found" >&2
    echo "- -"
else
    sleep 2
    xdotool mousemove --window "$icon" 3 3 click 1
    sleep 1
    # The tray icon stays mapped; every other window of the program should be gone.
    shown=0
    for w in $(xdotool search --onlyvisible --pid "$pid" 2> /dev/null); do
        [ "$w" = "$icon" ] || shown=$((shown + 1))
    done
    echo "  windows of the program still shown besides the tray icon: $shown" >&2
    measure "$pid" "hidden in the tray" | tail -1
fi
kill -TERM "$pid" 2> /dev/null
wait "$pid" 2> /dev/null
kill "$tray" 2> /dev/null
INNER
chmod +x "$work/tray.sh"
export seconds settle ticks
read -r cpu main < <(KELVORA="$work/kelvora" WORK="$work" xvfb-run -a -s "-screen 0 1280x800x24" "$work/tray.sh" | tail -1)
report "hidden in the tray" "$cpu" "$main"

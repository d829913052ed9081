#!/usr/bin/env bash
# Runs every benchmark of a build and prints one table of their figures, each beside its baseline
# (run in the same go) and their ratio. Each benchmark's own report is kept in <build>/bench/logs/.
#
#   bench/run-all.sh [build folder]        (default: build)
#   cmake --build build --target bench_all
#
# MUSIC_SECONDS shortens or lengthens the music-only minutes bench_music measures in each of its runs
# (default 120 s); IDLE_SECONDS the window of bench_idle's two runs (default 60 s).
set -u
build="$(cd "${1:-build}" && pwd)" || { echo "no build folder: ${1:-build}" >&2; exit 1; }
logs="$build/bench/logs"
mkdir -p "$logs"
figures="$logs/figures.tsv"
: > "$figures"

find_bench() {
    # Benchmarks are built into <build>/bench; older builds put some into <build>/bin.
    for candidate in "$build/bench/$1" "$build/bin/$1"; do
        [ -x "$candidate" ] && { echo "$candidate"; return 0; }
    done
    return 1
}

ran=" "
run_bench() {
    local name="$1"; shift
    case "$ran" in *" $name "*) return ;; esac
    ran="$ran$name "
    local program
    if ! program="$(find_bench "$name")"; then
        echo "$name: not built, left out" >&2
        return
    fi
    echo "running $name ..." >&2
    # The start-up figure wants a real X server; the others run on the offscreen platform.
    if [ "$name" = bench_startup ] && [ -z "${DISPLAY:-}" ] && command -v xvfb-run > /dev/null; then
        xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$@" > "$logs/$name.txt" 2>&1
    else
        QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" \
            "$program" "$@" > "$logs/$name.txt" 2>&1
    fi
    local status=$?
    if ! grep -q '^FIGURE' "$logs/$name.txt"; then
        echo "$name printed no figures (exit status $status); its report: $logs/$name.txt" >&2
    fi
    grep '^FIGURE' "$logs/$name.txt" | sed "s/^FIGURE/$name/" >> "$figures"
}

run_bench bench_queries
run_bench bench_speech
run_bench bench_music --music-seconds "${MUSIC_SECONDS:-120}"
run_bench bench_startup
# The idle cost of the real program, --headless and hidden in a tray under Xvfb.
if [ -x "$(dirname "$0")/bench_idle.sh" ]; then
    echo "running bench_idle ..." >&2
    "$(dirname "$0")/bench_idle.sh" "$build" "${IDLE_SECONDS:-60}" > "$logs/bench_idle.txt" 2>&1
    grep '^FIGURE' "$logs/bench_idle.txt" | sed "s/^FIGURE/bench_idle/" >> "$figures"
fi
# Benchmarks added later run with their defaults.
for program in "$build"/bench/bench_* "$build"/bin/bench_*; do
    [ -x "$program" ] && [ -f "$program" ] || continue
    name="$(basename "$program")"
    run_bench "$name"
done

cpu="$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
echo
echo "Machine: $(nproc) cores, ${cpu:-unknown CPU}, $(grep MemTotal /proc/meminfo | awk '{printf "%.1f GB", $2 / 1048576}') RAM, $(. /etc/os-release && echo "$PRETTY_NAME")"
echo
awk -F'\t' '
    function dashes(n,    s) { s = ""; while (n-- > 0) s = s "-"; return s }
    BEGIN {
        format = "| %-52s | %18s | %-14s | %14s | %6s | %-8s |\n"
        printf format, "figure", "Kelvora", "baseline", "baseline", "ratio", "aim"
        printf "|%s|%s|%s|%s|%s|%s|\n", dashes(54), dashes(20), dashes(16), dashes(16), dashes(8), dashes(10)
    }
    {
        # bench, what, unit, ours, baseline name, baseline value, aim
        ours = sprintf("%.4g %s", $4, $3)
        base = ($5 == "") ? "" : sprintf("%.4g %s", $6, $3)
        ratio = ($5 != "" && $6 > 0) ? sprintf("%.2f", $4 / $6) : ""
        aim = $7
        # An aim on the ratio is judged here too, whether or not the benchmark judged it.
        if (ratio != "" && match(aim, /^<= *[0-9.]+x/) && aim !~ /MISSED/) {
            limit = substr(aim, RSTART, RLENGTH)
            gsub(/[<= x]/, "", limit)
            if ($4 / $6 > limit + 0) aim = aim " MISSED"
        }
        printf format, $2, ours, $5, base, ratio, aim
    }
' "$figures"

#!/usr/bin/env bash
# Steady-state speed of the headless simulator on the generated crowd cases: for each case a short
# and a long run with the same seed; the long run repeats the short one and goes on, so
# (long cycles - short cycles) / (long time - short time) is the rate of the steady state alone,
# without start-up, loading, network building and the filling of the floor. Median of repeats.
# Also the peak RSS of the runs, and of the arena at 200 and 2 000 persons.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    cat <<'EOF'
Usage: scripts/bench-crowd.sh [OPTIONS]
Measures steady-state cycles per second of vostrel-sim (headless, display off, 100 ms per
cycle) on the generated crowd cases, and peak RSS.

Options:
  --build DIR      build tree with app/vostrel-sim and bench/crowd/crowd_case_files (default build)
  --cases LIST     cases to run, comma-separated, of gallery,corridor,hall,arena,memory
                   (default all; memory: peak RSS of the arena at about 200 and 2 000 persons)
  --repeats N      timed short/long pairs per case (default 5; the median is reported)
  --seed N         seed of every run (default 1)
  --threads N      passed to vostrel-sim as --threads N (refused if vostrel-sim lacks it)
  --quick          a fifth of the steady-state cycles and 3 repeats (unless given), for a first look
  --keep DIR       keep the generated environment files in DIR
  -h, --help       this text
Output: one line per case on standard output; persons are counted in extra untimed runs at
the end of the short run (steady state reached) and of the long run.
EOF
}

build=build
cases=gallery,corridor,hall,arena,memory
repeats=
seed=1
threads=
quick=0
keep=
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$2; shift 2 ;;
        --cases) cases=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --threads) threads=$2; shift 2 ;;
        --quick) quick=1; shift ;;
        --keep) keep=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) echo "bench-crowd.sh: unknown option '$1'" >&2; usage >&2; exit 2 ;;
    esac
done

sim=$(realpath "$build/app/vostrel-sim" 2>/dev/null || true)
gen=$(realpath "$build/bench/crowd/crowd_case_files" 2>/dev/null || true)
for exe in "$sim" "$gen"; do
    if [ -z "$exe" ] || [ ! -x "$exe" ]; then
        echo "bench-crowd.sh: build $build first (needs app/vostrel-sim and" \
            "bench/crowd/crowd_case_files)" >&2
        exit 2
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "bench-crowd.sh: /usr/bin/time is missing (apt-get install time)" >&2
    exit 2
fi

extra=()
if [ -n "$threads" ]; then
    if ! "$sim" --help | grep -q -- '--threads'; then
        echo "bench-crowd.sh: this vostrel-sim has no --threads option" >&2
        exit 2
    fi
    extra+=(--threads "$threads")
fi
if [ -z "$repeats" ]; then repeats=$([ "$quick" = 1 ] && echo 3 || echo 5); fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$gen" "$work"
if [ -n "$keep" ]; then mkdir -p "$keep" && cp "$work"/*.txt "$keep"/; fi
cd "$work"  # the simulator writes nothing here with --no-images, but stays out of the tree

# Cycles of the short run (the floor fills and settles) and of the steady state measured after it.
declare -A warm=([gallery]=6000 [corridor]=5000 [hall]=4000 [arena]=5000)
declare -A steady=([gallery]=30000 [corridor]=8000 [hall]=10000 [arena]=2500)

# run FIELD CYCLES [ARGS...]: runs once; sets secs (wall time), cpu (user + system seconds) and
# rss_kb (peak RSS). On a loaded machine the CPU time is the steadier figure of the two.
run() {
    local field=$1 cycles=$2
    shift 2
    local t0 t1
    t0=$EPOCHREALTIME
    /usr/bin/time -f '%M %U %S' -o usage.txt "$sim" --field "$field" --cycles "$cycles" --seed "$seed" \
        --no-images --quiet "${extra[@]}" "$@" >/dev/null 2>run.err || {
        echo "bench-crowd.sh: vostrel-sim failed on $field:" >&2
        cat run.err >&2
        exit 1
    }
    t1=$EPOCHREALTIME
    secs=$(echo "$t1 - $t0" | bc -l)
    read -r rss_kb user sys < <(tail -1 usage.txt)
    cpu=$(echo "$user + $sys" | bc -l)
}

# persons FIELD CYCLES: persons inside at the end of a run of CYCLES (an untimed run).
persons() {
    run "$1" "$2" --metrics metrics.json
    inside_at_end
}

inside_at_end() { sed -n 's/.*"inside_at_end": *\([0-9]*\).*/\1/p' metrics.json; }

# spread VALUES...: "median (min-max)", rounded.
spread() {
    local sorted
    sorted=$(printf '%s\n' "$@" | sort -g)
    printf '%.0f (%.0f-%.0f)' "$(median <<<"$sorted")" "$(head -1 <<<"$sorted")" \
        "$(tail -1 <<<"$sorted")"
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)," \
    "$(nproc) cores, seed $seed, $repeats repeats${threads:+, --threads $threads}"
printf '%-9s %13s %7s %7s %21s %21s %7s\n' case persons short long 'cycles/s (min-max)' \
    'per CPU-s (min-max)' 'RSS MB'
for c in ${cases//,/ }; do
    if [ "$c" = memory ]; then
        for n in 200 2000; do
            run "arena-$n.txt" $((warm[arena] + steady[arena])) --metrics metrics.json
            n_end=$(inside_at_end)
            printf '%-9s %13s %7s %7s %21s %21s %7.1f\n' "arena-$n" "$n_end" - \
                $((warm[arena] + steady[arena])) - - "$(echo "$rss_kb / 1024" | bc -l)"
        done
        continue
    fi
    if [ -z "${warm[$c]:-}" ]; then
        echo "bench-crowd.sh: unknown case '$c'" >&2
        exit 2
    fi
    short=${warm[$c]}
    more=${steady[$c]}
    if [ "$quick" = 1 ]; then more=$((more / 5)); fi
    long=$((short + more))
    rates=() cpu_rates=() rss=()
    for ((r = 0; r < repeats; r++)); do
        run "$c.txt" "$short"
        s=$secs c0=$cpu
        run "$c.txt" "$long"
        rates+=("$(echo "$more / ($secs - $s)" | bc -l)")
        cpu_rates+=("$(echo "$more / ($cpu - $c0)" | bc -l)")
        rss+=("$rss_kb")
    done
    p_short=$(persons "$c.txt" "$short")
    p_long=$(persons "$c.txt" "$long")
    rss_mb=$(echo "$(printf '%s\n' "${rss[@]}" | median) / 1024" | bc -l)
    printf '%-9s %13s %7d %7d %21s %21s %7.1f\n' "$c" "$p_short->$p_long" "$short" "$long" \
        "$(spread "${rates[@]}")" "$(spread "${cpu_rates[@]}")" "$rss_mb"
done
echo "# load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"

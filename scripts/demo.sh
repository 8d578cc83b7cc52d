#!/usr/bin/env bash
# One-command demo: sets the machine up, builds, and runs the simulator on a sample
# environment with the example follower driving the robot after the followed person.
# Ctrl-C stops everything it started. See --help.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: scripts/demo.sh [options] [office|station|cafeteria]

Runs the simulator component (vostrel) on a sample environment (default: station) and the
example follower component, connected to it, so the robot follows a person. Installs the
packages and builds first. Uses the naming service on 127.0.0.1:2809 when one answers
there, otherwise starts omniNames on 127.0.0.1 for the run. Shows the simulator's window
when a display is reachable; otherwise writes every cycle's image as a PNG and says where.
Serves the live view on http://127.0.0.1:8080/ (another port when that one is taken).
Ctrl-C stops everything the script started.

Options:
  --seconds N       stop after N seconds (default: run until Ctrl-C)
  --seed N          seed of the simulator's random sequence, a whole number from 0 to
                    4294967295 (default: the calendar time); the seed in use is printed,
                    so that a run can be repeated
  --frames DIR      also write every cycle's image as DIR/NNNN.png
  --ns HOST:PORT    use this naming service instead of finding or starting one
  --build-dir DIR   build tree to build and run from (default: build)
  --no-build        skip package setup and build; run what the build tree has
  --run-dir DIR     where the logs (and, without a display, the frames) go
                    (default: run/demo under the repository)
  --vostrel PATH    run this simulator executable instead of BUILD/app/vostrel
  -h, --help        show this text
EOF
}

caller=$PWD
root=$(cd "$(dirname "$0")/.." && pwd)

env_name=station
seconds=
seed=
frames=
ns=
build_dir=build
do_build=1
vostrel_bin=
run_dir=

die() {
    echo "demo: $*" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case $1 in
        -h | --help) usage; exit 0 ;;
        --seconds)
            [ $# -ge 2 ] || die "--seconds needs a number"
            seconds=$2
            shift 2
            ;;
        --seed)
            [ $# -ge 2 ] || die "--seed needs a number"
            seed=$2
            shift 2
            ;;
        --frames)
            [ $# -ge 2 ] || die "--frames needs a directory"
            frames=$2
            shift 2
            ;;
        --ns)
            [ $# -ge 2 ] || die "--ns needs HOST:PORT"
            ns=$2
            shift 2
            ;;
        --build-dir)
            [ $# -ge 2 ] || die "--build-dir needs a directory"
            build_dir=$2
            shift 2
            ;;
        --vostrel)
            [ $# -ge 2 ] || die "--vostrel needs a path"
            vostrel_bin=$2
            shift 2
            ;;
        --run-dir)
            [ $# -ge 2 ] || die "--run-dir needs a directory"
            run_dir=$2
            shift 2
            ;;
        --no-build) do_build=0; shift ;;
        office | station | cafeteria) env_name=$1; shift ;;
        *) usage >&2; die "unknown argument: $1" ;;
    esac
done

if [ -n "$seconds" ] && ! [[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]]; then
    die "--seconds wants a whole number of seconds above 0, not '$seconds'"
fi
if [ -n "$seed" ] && ! [[ $seed =~ ^[0-9]{1,10}$ && $((10#$seed)) -le 4294967295 ]]; then
    die "--seed wants a whole number from 0 to 4294967295, not '$seed'"
fi
if [ -n "$ns" ] && ! [[ $ns =~ ^[^:/[:space:]]+:[0-9]+$ ]]; then
    die "--ns wants HOST:PORT, not '$ns'"
fi
# Paths given on the command line are taken from where the script was called.
absolute() {
    case $1 in /*) echo "$1" ;; *) echo "$caller/$1" ;; esac
}
if [ "$build_dir" = build ]; then build_dir=$root/build; else build_dir=$(absolute "$build_dir"); fi
if [ -n "$frames" ]; then
    frames=$(absolute "$frames")
    mkdir -p "$frames" || die "cannot create $frames"
fi
run_dir=$(absolute "${run_dir:-$root/run/demo}")
mkdir -p "$run_dir" || die "cannot create $run_dir"
if [ -n "$vostrel_bin" ]; then
    vostrel_bin=$(absolute "$vostrel_bin")
    [ -x "$vostrel_bin" ] || die "$vostrel_bin is not an executable"
fi
cd "$root"

if [ "$do_build" = 1 ]; then
    scripts/setup.sh
    scripts/build.sh "$build_dir"
fi
vostrel_bin=${vostrel_bin:-$build_dir/app/vostrel}
follower_bin=$build_dir/app/follower
ctl_bin=$build_dir/app/vostrel-ctl
for exe in "$vostrel_bin" "$follower_bin" "$ctl_bin"; do
    [ -x "$exe" ] || die "$exe is missing; build first (without --no-build)"
done

# What this script started, so that the clean-up touches nothing else.
ns_pid=
ns_dir=
vostrel_pid=
follower_pid=
cleaned=0

# SIGTERM, then SIGKILL if the process is still there after $2 seconds.
stop_pid() {
    local pid=$1 grace=$2 i
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < grace * 10; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "demo: process $pid did not stop, killing it" >&2
        kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
}

# The follower first, so it does not steer a simulator that is going away; the naming
# service last, so the components can unbind their names. Called from the EXIT trap.
# shellcheck disable=SC2317
cleanup() {
    [ "$cleaned" = 1 ] && return
    cleaned=1
    trap '' INT TERM
    stop_pid "$follower_pid" 5
    stop_pid "$vostrel_pid" 10
    stop_pid "$ns_pid" 5
    if [ -n "$ns_dir" ]; then
        rm -rf "$ns_dir"
    fi
}
trap cleanup EXIT
trap 'echo; echo "demo: stopping"; exit 0' INT TERM

ctl() {
    timeout 15 "$ctl_bin" --ns "$ns" "$@"
}

ns_answers() {
    timeout 10 "$ctl_bin" --ns "$1" ls >/dev/null 2>&1
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Waits up to $2 seconds for the component $1 to be listed in the state $4 (default ACTIVE)
# on the naming service; fails early when it is listed in ERROR or its process $3 has ended.
wait_active() {
    local name=$1 deadline=$((SECONDS + $2)) pid=$3 want=${4:-ACTIVE} state
    while [ "$SECONDS" -lt "$deadline" ]; do
        state=$(ctl ls 2>/dev/null | sed -n "s|^\(.*/\)\{0,1\}$name\.rtc  *||p" | head -n 1)
        case $state in
            "$want") return 0 ;;
            ERROR) echo "demo: $name is in the ERROR state" >&2; return 1 ;;
        esac
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.25
    done
    return 1
}

show_log() {
    echo "--- last lines of $1:" >&2
    tail -n 20 "$1" >&2 || true
}

# ---- naming service ----
if [ -z "$ns" ]; then
    if ns_answers 127.0.0.1:2809; then
        ns=127.0.0.1:2809
        echo "demo: using the naming service on $ns"
    else
        omninames=$(command -v omniNames || true)
        [ -n "$omninames" ] || die "omniNames is not installed (package omniorb-nameserver)"
        ns_dir=$(mktemp -d "${TMPDIR:-/tmp}/vostrel-demo-ns.XXXXXX")
        # The usual port if it is free, so that other tools find it; any free one otherwise.
        for attempt in 1 2 3 4 5; do
            if [ "$attempt" = 1 ]; then port=2809; else port=$((20000 + RANDOM % 40000)); fi
            port_in_use "$port" && continue
            "$omninames" -start "$port" -datadir "$ns_dir" \
                -ORBendPoint "giop:tcp:127.0.0.1:$port" >"$ns_dir/omniNames.out" 2>&1 &
            ns_pid=$!
            for ((i = 0; i < 40; i++)); do
                ns_answers "127.0.0.1:$port" && break
                kill -0 "$ns_pid" 2>/dev/null || break
                sleep 0.25
            done
            if ns_answers "127.0.0.1:$port"; then
                ns=127.0.0.1:$port
                break
            fi
            stop_pid "$ns_pid" 2
            ns_pid=
            rm -rf "${ns_dir:?}"/*
        done
        [ -n "$ns" ] || die "could not start a naming service on 127.0.0.1"
        echo "demo: started a naming service on $ns (pid $ns_pid)"
    fi
elif ! ns_answers "$ns"; then
    die "no naming service answers on $ns"
fi

# ---- display ----
# The simulator waits inactive until the follower is connected, so that the robot follows
# from the first cycle rather than after a head start of the person.
vostrel_opts=(-f examples/rtc.conf
    -o "corba.nameservers:$ns"
    -o "Simulato.Vostrel.config_file:examples/vostrel_$env_name.conf"
    -o "manager.components.preactivation:"
    -o "vostrel.display.annotate:YES")
if [ -n "$seed" ]; then
    vostrel_opts+=(-o "vostrel.seed:$((10#$seed))")
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if [ -z "$frames" ]; then
        frames=$run_dir/frames
        mkdir -p "$frames"
        rm -f "$frames"/*.png
    fi
    echo "demo: no display (DISPLAY and WAYLAND_DISPLAY are unset); the images go to $frames/"
fi
if [ -n "$frames" ]; then
    vostrel_opts+=(-o "vostrel.display.frames:$frames")
fi
# The live view in a browser, on 127.0.0.1 only: 8080 when free.
view_port=8080
port_in_use "$view_port" && view_port=$((20000 + RANDOM % 40000))
vostrel_opts+=(-o "vostrel.web.port:$view_port")

# ---- simulator ----
# Run from the repository root: the configuration names the environment files relative to
# it (the spatial network's debug images land in ./Images).
"$vostrel_bin" "${vostrel_opts[@]}" >"$run_dir/vostrel.log" 2>&1 &
vostrel_pid=$!
echo "demo: vostrel on $env_name (pid $vostrel_pid), console in $run_dir/vostrel.log"
if ! wait_active Vostrel0 60 "$vostrel_pid" INACTIVE; then
    echo "demo: Vostrel0 did not come up" >&2
    show_log "$run_dir/vostrel.log"
    exit 1
fi
view_url=$(sed -n 's/^vostrel: live view at //p' "$run_dir/vostrel.log" | head -n 1)
echo "demo: live view: ${view_url:-none (see $run_dir/vostrel.log)}  <- open this in a browser"

# ---- follower ----
url="rtcname://$ns"
preconnect="Follower0.peopledata?port=$url/Vostrel0.peopledata&subscription_type=new"
preconnect+=",Follower0.velocity?port=$url/Vostrel0.robotControlInfo"
"$follower_bin" -f examples/follower.conf -o "corba.nameservers:$ns" \
    -o "manager.components.preconnect:$preconnect" >"$run_dir/follower.log" 2>&1 &
follower_pid=$!
echo "demo: follower (pid $follower_pid), console in $run_dir/follower.log"
if ! wait_active Follower0 30 "$follower_pid"; then
    echo "demo: Follower0 did not come up active" >&2
    show_log "$run_dir/follower.log"
    exit 1
fi

# The follower connects itself on start; should that have failed, connect from here.
connected() {
    # Prints the number of connections listed under the port $2 of component $1.
    ctl cat "$1" 2>/dev/null | awk -v port="$1.$2" '
        /^  [^ ]/ { here = ($1 == port) }
        here && /^    connection / { n++ }
        END { print n + 0 }'
}
for pair in "peopledata Vostrel0.peopledata subscription_type=new" \
    "velocity Vostrel0.robotControlInfo"; do
    read -r port peer opts <<<"$pair"
    if [ "$(connected Follower0 "$port")" = 0 ]; then
        echo "demo: connecting Follower0.$port and $peer"
        # shellcheck disable=SC2086  # opts is empty or one key=value
        ctl connect "$peer" "Follower0.$port" $opts >/dev/null ||
            { echo "demo: cannot connect Follower0.$port and $peer" >&2; exit 1; }
    fi
done

# ---- start ----
# Activation builds the environment's network and may outlast the component's wait for it,
# which the tool then reports as a failure although the activation goes on: the state says.
ctl activate Vostrel0 >/dev/null 2>&1 || true
if ! wait_active Vostrel0 60 "$vostrel_pid"; then
    echo "demo: Vostrel0 did not become active" >&2
    show_log "$run_dir/vostrel.log"
    exit 1
fi
# The component prints the seed it uses, also when it drew one from the clock.
seed_line=$(grep -m 1 "^vostrel: random seed [0-9]" "$run_dir/vostrel.log" || true)
if [ -n "$seed_line" ]; then
    used=$(sed 's/^vostrel: random seed \([0-9]*\).*/\1/' <<<"$seed_line")
    echo "demo: random seed $used (repeat this run with --seed $used)"
elif [ -n "$seed" ]; then
    echo "demo: random seed $((10#$seed))"
fi

echo "demo: running: the robot follows person 2 of the crowd."
if [ -n "$frames" ]; then
    echo "demo: frames: $frames/*.png (one per cycle)"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: the window titled Vostrel shows the run"
fi
if [ -n "$seconds" ]; then
    echo "demo: stopping after $seconds s"
else
    echo "demo: Ctrl-C stops everything"
fi

# ---- run ----
start=$SECONDS
while :; do
    if ! kill -0 "$vostrel_pid" 2>/dev/null; then
        wait "$vostrel_pid" && status=0 || status=$?
        vostrel_pid=
        echo "demo: vostrel ended (exit status $status)" >&2
        show_log "$run_dir/vostrel.log"
        exit 1
    fi
    if ! kill -0 "$follower_pid" 2>/dev/null; then
        wait "$follower_pid" && status=0 || status=$?
        follower_pid=
        echo "demo: follower ended (exit status $status)" >&2
        show_log "$run_dir/follower.log"
        exit 1
    fi
    if [ -n "$seconds" ] && [ $((SECONDS - start)) -ge "$seconds" ]; then
        echo "demo: $seconds s are up, stopping"
        break
    fi
    sleep 0.5
done
exit 0

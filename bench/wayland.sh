#!/usr/bin/env bash
# Vellomarin on native Wayland and on XWayland, under a headless Weston of its own:
# memory, wake-ups and CPU at rest, and screenshots of the title bar and of the
# window at scale 2. bench/README.md ("Wayland") says how to read the output.
#
# Usage: bench/wayland.sh [BINARY] [SECONDS]
#   BINARY   default build/src/app/vellomarin; SECONDS measured, default 20
#   OUT=DIR  where the screenshots go, default build/wayland-bench
# Needs weston, xwayland, qt6-wayland and imagemagick (scripts/setup.sh bench).
set -euo pipefail

bin=$(realpath "${1:-build/src/app/vellomarin}")
secs=${2:-20}
settle=5
out=$(realpath -m "${OUT:-build/wayland-bench}")
mkdir -p "$out"
work=$(mktemp -d)
started=()
stop_all() {
    local p
    for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${started[@]}"; do wait "$p" 2>/dev/null || true; done
    started=()
}
trap 'stop_all; rm -rf "$work"' EXIT

# No screen blanking, a plain background to crop the window from, no panel.
cat > "$work/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff203040
panel-position=none
EOF

# start_weston SCALE: a compositor with XWayland in a private runtime directory (0700,
# as libwayland wants). --debug lets weston-screenshooter take the screen.
start_weston() {
    stop_all
    rm -rf "$work/rt" "$work/weston.log" && mkdir -m 0700 "$work/rt"
    export XDG_RUNTIME_DIR=$work/rt
    weston --backend=headless-backend.so --use-pixman --scale="$1" --xwayland --debug \
        --config="$work/weston.ini" --socket=bench --log="$work/weston.log" 2>/dev/null &
    started+=($!)
    for _ in $(seq 100); do
        xdisplay=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" 2>/dev/null)
        [ -S "$work/rt/bench" ] && [ -n "$xdisplay" ] && return 0
        sleep 0.1
    done
    echo "wayland.sh: weston did not start; see its log:" >&2
    cat "$work/weston.log" >&2
    exit 1
}

# run VAR=VALUE...: the program in a clean environment with only these display
# variables, no sound server (the beep falls back to the platform's bell); prints its pid.
run() {
    env -i PATH="$PATH" HOME="$work" LANG=C.UTF-8 XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
        PULSE_SERVER="unix:$work/no-sound-server" "$@" "$bin" >>"$work/program.log" 2>&1 &
    started+=($!)
    echo $!
}

# counters PID: voluntary context switches and CPU ns, summed over the threads.
counters() {
    local t v=0 c=0
    for t in /proc/"$1"/task/*; do
        v=$((v + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status")))
        c=$((c + $(cut -d' ' -f1 "$t/schedstat")))
    done
    echo "$v $c"
}

# shoot NAME: the screen, trimmed to the window (everything not background).
shoot() {
    (cd "$work" && WAYLAND_DISPLAY=bench weston-screenshooter >/dev/null)
    convert "$work"/wayland-screenshot-*.png -trim +repage "$out/$1.png"
    rm -f "$work"/wayland-screenshot-*.png
}

# detail NAME: how much the picture loses when halved and doubled again (RMSE, 0-1).
# A window drawn at 1x and enlarged by the compositor loses almost nothing (about 0);
# one drawn at 2x loses its fine strokes. The best of the four pixel alignments.
detail() {
    local best=1 dx dy w h e
    read -r w h < <(identify -format '%w %h' "$out/$1.png")
    for dx in 0 1; do
        for dy in 0 1; do
            convert "$out/$1.png" -crop "$((2 * ((w - dx) / 2)))x$((2 * ((h - dy) / 2)))+$dx+$dy" \
                +repage "$work/a.png"
            convert "$work/a.png" -filter box -resize 50% -filter point -resize 200% "$work/b.png"
            e=$(compare -metric RMSE "$work/a.png" "$work/b.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
            best=$(awk -v a="$best" -v b="$e" 'BEGIN {print (b < a) ? b : a}')
        done
    done
    printf '%.4f' "$best"
}

printf 'vellomarin at rest under weston (headless, pixman), %s s after %s s to settle\n' "$secs" "$settle"
start_weston 1
declare -A pid
pid[native]=$(run WAYLAND_DISPLAY=bench)
pid[native-nodeco]=$(run WAYLAND_DISPLAY=bench QT_WAYLAND_DISABLE_WINDOWDECORATION=1)
pid[xwayland]=$(run WAYLAND_DISPLAY=bench DISPLAY="$xdisplay")
sleep "$settle"
# The X server too: it works only for the xwayland case, which a desktop that runs
# XWayland anyway pays part of.
pid[Xwayland-server]=$(pgrep -n -P "${started[0]}" Xwayland)
declare -A before
for k in "${!pid[@]}"; do before[$k]=$(counters "${pid[$k]}"); done
sleep "$secs"
printf '%-16s %9s %9s %7s %8s %s\n' case RSS_MiB wakeups/s CPU_% threads "Mesa EGL/LLVM loaded"
for k in native native-nodeco xwayland Xwayland-server; do
    p=${pid[$k]}
    read -r v0 c0 <<<"${before[$k]}"
    read -r v1 c1 < <(counters "$p")
    rss=$(awk '/^VmRSS/ {print $2}' /proc/"$p"/status)
    egl=$(grep -qE 'libEGL_mesa|libLLVM' /proc/"$p"/maps && echo yes || echo no)
    awk -v k="$k" -v r="$rss" -v v=$((v1 - v0)) -v c=$((c1 - c0)) -v s="$secs" \
        -v t="$(ls /proc/"$p"/task | wc -l)" -v e="$egl" \
        'BEGIN {printf "%-16s %9.1f %9.1f %7.3f %8d %s\n", k, r / 1024, v / s, c / s / 1e7, t, e}'
done

# Screenshots, one window at a time so that the trim finds it alone.
# Output scale 1: the title bars, then QT_SCALE_FACTOR=2; output scale 2: the
# compositor's own scaling.
for scale in 1 2; do
    start_weston "$scale"
    factors=(1 2)
    [ "$scale" = 2 ] && factors=(1)
    for f in "${factors[@]}"; do
        kinds=(native xwayland)
        [ "$scale$f" = 11 ] && kinds+=(native-nodeco)
        for k in "${kinds[@]}"; do
            vars=(WAYLAND_DISPLAY=bench QT_SCALE_FACTOR="$f")
            [ "$k" = xwayland ] && vars+=(DISPLAY="$xdisplay")
            [ "$k" = native-nodeco ] && vars+=(QT_WAYLAND_DISABLE_WINDOWDECORATION=1)
            p=$(run "${vars[@]}")
            sleep 4
            name="$k-output$scale-qtscale$f"
            shoot "$name"
            kill "$p"
            wait "$p" 2>/dev/null || true
            sleep 1
            printf '%-30s %s px, detail lost when halved %s\n' "$name" \
                "$(identify -format '%wx%h' "$out/$name.png")" "$(detail "$name")"
        done
    done
done
echo "screenshots in $out"

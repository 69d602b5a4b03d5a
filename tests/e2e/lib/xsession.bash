# Shared by the end-to-end scripts: a private X server (Xvfb), the demo or a tool started on it
# under a guard, screenshots taken until the screen holds still, and a picture comparison at the
# display's 5-6-5 precision. Everything started here is stopped by the EXIT trap.
#
# Usage from a script:  source "$SRC/tests/e2e/lib/xsession.bash"; need_tools ...; start_xvfb

E2E_PIDS=()       # processes to stop at exit, newest last
E2E_WORK=""       # the script's temporary folder
XVFB_PID=""

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Stops everything this script started; the script's own exit status stands.
e2e_cleanup() {
    local status=$? pid
    set +e
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill "$pid" 2>/dev/null && sleep 0.2
        kill -9 "$pid" 2>/dev/null
    done
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    if [ -n "$E2E_WORK" ] && [ -z "${E2E_KEEP:-}" ]; then rm -rf "$E2E_WORK"; fi
    exit "$status"
}
trap e2e_cleanup EXIT

# Fails with a clear message naming the tools (and their Debian packages) that are missing.
need_tools() {
    local missing=() tool
    for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 || missing+=("$tool"); done
    if [ ${#missing[@]} -gt 0 ]; then
        fail "missing tools: ${missing[*]} (Debian packages xvfb, xdotool, imagemagick," \
            "x11-utils; scripts/deps.sh installs them)"
    fi
}

# A temporary folder for this script's files; kept when E2E_KEEP is set.
make_work_dir() {
    E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarn-e2e.XXXXXX")
    [ -n "${E2E_KEEP:-}" ] && echo "work folder: $E2E_WORK" >&2
    return 0
}

# Starts a fresh Xvfb of the given geometry (default 640x480x16) on a display number it picks
# itself (-displayfd: no race with other servers), and exports DISPLAY once it accepts clients.
start_xvfb() {
    local screen=${1:-640x480x16} fifo number
    fifo="$E2E_WORK/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fifo" >"$E2E_WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    if ! read -r -t 15 number <"$fifo"; then
        cat "$E2E_WORK/xvfb.log" >&2
        fail "Xvfb did not start"
    fi
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY
    # The demo and tools run on the SDL2 host with SDL2's X11 driver and nothing else: if SDL2
    # cannot use it, they fail instead of drawing into an off-screen driver.
    export TARN_HOST=sdl2 SDL_VIDEODRIVER=x11
    # A sanitizer build must not fail for what the system's libraries keep until exit.
    export LSAN_OPTIONS="suppressions=$(dirname "${BASH_SOURCE[0]}")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
    xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"
}

# Starts a program in the background from folder $1 with its output in $E2E_WORK/$2.out/.err;
# sets PROGRAM_PID.
start_program() {
    local dir=$1 name=$2
    shift 2
    (cd "$dir" && exec "$@") >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" &
    PROGRAM_PID=$!
    E2E_PIDS+=("$PROGRAM_PID")
}

# Fails unless the program's standard error is free of the SDL2 host's complaints (no video, an
# off-screen driver, no window).
check_sdl_video() {
    local err=$1
    if grep -q "tarn: SDL2" "$err"; then
        cat "$err" >&2
        fail "SDL2 did not get its x11 video driver (see above)"
    fi
}

# Waits up to 20 s for a visible window with exactly this name while program $2 runs; prints
# the window's id.
wait_window() {
    local name=$1 pid=$2 id="" deadline=$((SECONDS + 20))
    while [ -z "$id" ]; do
        id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -1) || true
        [ -n "$id" ] && break
        if ! alive "$pid" || [ $SECONDS -ge $deadline ]; then
            alive "$pid" || echo "the program ended early" >&2
            cat "$E2E_WORK"/*.err >&2 2>/dev/null || true
            fail "no window \"$name\" appeared"
        fi
        sleep 0.2
    done
    echo "$id"
}

# Writes a screenshot of the whole screen to $1.
screenshot() {
    import -silent -window root "$1" 2>/dev/null || xwd -root -silent | convert xwd:- "$1"
}

# Number of pixels that differ between two pictures by more than the fuzz (default 0).
pixels_differing() {
    local n
    n=$(compare -metric AE -fuzz "${3:-0}" "$1" "$2" null: 2>&1) || true
    echo "${n%% *}"
}

# Reduces a picture to the display's 5-6-5 precision (the low bits of each channel cleared), on a
# black screen-sized canvas with the picture at the top left.
reduce_565() {
    local in=$1 out=$2 size=$3 range red green
    range=$(convert xc: -format '%[fx:QuantumRange]' info:)
    red=$((range - (range + 1) / 32 + 1))
    green=$((range - (range + 1) / 64 + 1))
    convert "$in" -alpha off -background black -gravity NorthWest -extent "$size" \
        -channel R -evaluate and "$red" -channel G -evaluate and "$green" \
        -channel B -evaluate and "$red" +channel -depth 8 "PNG24:$out"
}

# Takes screenshots until two in a row are identical and that picture matches $1 at 5-6-5
# precision (one step of tolerance per channel), or fails after $2 seconds (default 20) naming
# the first pixel that differs. Pictures are left in $E2E_WORK as $3-screen.png / $3-expected.png.
expect_screen() {
    local expected=$1 limit=${2:-20} tag=${3:-screen} size deadline prev="" shot n diff
    size=$(xdpyinfo | awk '/dimensions:/ {print $2}')
    reduce_565 "$expected" "$E2E_WORK/$tag-expected.png" "$size"
    deadline=$((SECONDS + limit))
    n=0
    while :; do
        shot="$E2E_WORK/$tag-shot$((n % 2)).png"
        screenshot "$shot"
        if [ -n "$prev" ] && [ "$(pixels_differing "$prev" "$shot")" = "0" ]; then
            reduce_565 "$shot" "$E2E_WORK/$tag-screen.png" "$size"
            diff=$(pixels_differing "$E2E_WORK/$tag-screen.png" "$E2E_WORK/$tag-expected.png" 5%)
            [ "$diff" = "0" ] && return 0
        fi
        if [ $SECONDS -ge $deadline ]; then
            [ -n "$diff" ] || { reduce_565 "$shot" "$E2E_WORK/$tag-screen.png" "$size"; diff="?"; }
            report_first_difference "$E2E_WORK/$tag-screen.png" "$E2E_WORK/$tag-expected.png"
            fail "$tag: the screen did not show the expected picture within ${limit} s" \
                "($diff pixels differ)"
        fi
        prev=$shot
        n=$((n + 1))
        sleep 0.3
    done
}

# Names the first pixel (top row first) where two pictures differ, with both colours, and keeps
# both pictures (E2E_KEEP) so they can be looked at.
report_first_difference() {
    local actual=$1 expected=$2 where
    compare -fuzz 5% "$actual" "$expected" -compose src -highlight-color white \
        -lowlight-color black "txt:$E2E_WORK/difference.txt" 2>/dev/null || true
    where=$(grep -m1 -i "#FFFFFF" "$E2E_WORK/difference.txt" | cut -d: -f1) || true
    if [ -n "$where" ]; then
        echo "first differing pixel at $where: screen" \
            "$(convert "$actual" -crop "1x1+${where%,*}+${where#*,}" -format '%[pixel:p]' info:)" \
            "expected" \
            "$(convert "$expected" -crop "1x1+${where%,*}+${where#*,}" -format '%[pixel:p]' info:)" >&2
    fi
    E2E_KEEP=1
    echo "pictures kept: $actual $expected" >&2
}

# True while process $1 runs (a process that ended but was not waited for yet does not count).
alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != "Z" ]
}

# Processor time (user + system, in clock ticks) a process has used so far.
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$1/stat"
}

# Waits up to $2 seconds for process $1 to end; fails if it does not (and kills it). Sets
# EXIT_CODE.
wait_exit() {
    local pid=$1 limit=$2 deadline
    deadline=$((SECONDS + limit))
    while alive "$pid"; do
        if [ $SECONDS -ge $deadline ]; then
            kill -9 "$pid" 2>/dev/null
            fail "the program did not end within ${limit} s"
        fi
        sleep 0.1
    done
    EXIT_CODE=0
    wait "$pid" || EXIT_CODE=$?
}

# Shared by the input tests on the SDL2 host and under wine: talking to tarninputprobe, which
# prints every change TarnInput sees, and the one sequence of keys, mouse motion, the four mouse
# buttons and the wheel that both send with xdotool and check.
#
# The caller has started the probe with start_program (output in $E2E_WORK/probe.out), stored
# its process in $probe, and may set PROBE_WAIT (seconds to wait for a line, default 5).

# The probe's lines, without the carriage returns a Windows build ends them with.
probe_lines() { tr -d '\r' <"$E2E_WORK/probe.out"; }
mark() { probe_lines | wc -l; }

# Waits until the probe printed a line matching the extended regular expression $1 after the
# line count $2 (lines before it are old news).
expect_line() {
    local pattern=$1 from=${2:-0} deadline=$((SECONDS + ${PROBE_WAIT:-5}))
    until probe_lines | tail -n "+$((from + 1))" | grep -Eq "$pattern"; do
        if [ $SECONDS -ge $deadline ] || ! alive "$probe"; then
            echo "--- probe output:" >&2
            probe_lines >&2
            tr -d '\r' <"$E2E_WORK/probe.err" >&2
            fail "the probe never printed /$pattern/"
        fi
        sleep 0.1
    done
}

# Sends every kind of input once and checks that TarnInput saw each.
drive_input_probe() {
    local pair key button code from
    # Keys: held long enough for several updates, so both edges are seen.
    for pair in a:97 5:53 space:32; do
        key=${pair%:*}
        code=${pair#*:}
        from=$(mark)
        xdotool keydown "$key"
        expect_line "^key $code .* pressed$" "$from"
        xdotool keyup "$key"
        expect_line "^key $code .* released$" "$from"
    done

    # Mouse motion: right, then up (relative motion, whatever the pointer's place).
    from=$(mark)
    xdotool mousemove_relative -- 40 0
    expect_line '^mouse [1-9][0-9]* 0$' "$from"
    from=$(mark)
    xdotool mousemove_relative -- 0 -40
    expect_line '^mouse 0 -[1-9][0-9]*$' "$from"

    # Buttons left, right, middle and the first extra button are key codes 256 to 259.
    for pair in 1:256 3:257 2:258 8:259; do
        button=${pair%:*}
        code=${pair#*:}
        from=$(mark)
        xdotool mousedown "$button"
        expect_line "^key $code .* pressed$" "$from"
        xdotool mouseup "$button"
        expect_line "^key $code .* released$" "$from"
    done

    # The wheel: X buttons 4 and 5 are one notch away from and towards the user.
    from=$(mark)
    xdotool click 4
    expect_line '^wheel up 1$' "$from"
    from=$(mark)
    xdotool click 5
    expect_line '^wheel down 1$' "$from"
}

#!/usr/bin/env bash
# Sound under wine, through Wine's DirectSound and its ALSA driver: the machine has no sound
# card, so ALSA is given a configuration of this test's own whose default device writes what it
# is sent to a file (ALSA's file plugin over its null device). tarnsnd plays a sound of the test
# data to its end and must exit 0, and the file must hold sound that is not silence. Run by
# scripts/run-windows.sh (WINEPREFIX set).
# Usage: sound.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=$1
SRC=$2
source "$SRC/tests/e2e/lib/xsession.bash"

need_tools wine od
[ -f "$BIN/tarnsnd.exe" ] || fail "$BIN/tarnsnd.exe is not built"

make_work_dir
played=$E2E_WORK/played.raw
cat >"$E2E_WORK/asound.conf" <<CONF
pcm.!default {
    type file
    slave.pcm { type null }
    file "$played"
    format "raw"
}
CONF
export ALSA_CONFIG_PATH=$E2E_WORK/asound.conf

for sound in tone.ogg boom.wav; do
    rm -f "$played"
    status=0
    timeout 60 wine "$BIN/tarnsnd.exe" play "Z:$SRC/tests/data/sound/$sound" \
        >"$E2E_WORK/out" 2>&1 || status=$?
    if [ "$status" != 0 ]; then
        tr -d '\r' <"$E2E_WORK/out" >&2
        fail "tarnsnd play $sound ended with $status"
    fi
    [ -s "$played" ] || fail "$sound: nothing reached ALSA's output"
    # Any byte but zero: the file holds more than silence.
    loud=$(od -An -v -tu1 "$played" | tr -s ' ' '\n' | grep -cv '^0*$' || true)
    [ "$loud" -gt 1000 ] || fail "$sound: ALSA's output is silent ($loud bytes not zero)"
    echo "PASS: tarnsnd played $sound under wine; $(stat -c %s "$played") bytes reached ALSA," \
        "$loud of them not zero"
done

#!/usr/bin/env bash
# qbxtool built for Windows, run under Wine, must say and write what the
# Linux build does: the same solver answers, the same shoe for a seed, the
# same verdicts and the same tables, byte for byte.
# Usage: tool_parity.sh LINUX_QBXTOOL WINDOWS_QBXTOOL_EXE
set -uo pipefail

linux_tool=$(realpath "$1")
windows_tool=$(realpath "$2")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for side in linux windows; do
    mkdir -p "$work/$side/dataout"
    cp -R "$root/examples/setup" "$work/$side/setup"
    cp "$root/tests/data/mix_game_ck.txt" "$work/$side/dataout/ck071226_1.txt"
    cp "$root/tests/data/mix_game_nk.txt" "$work/$side/dataout/nk071226_1.txt"
    cp "$root/tests/data/circular_game_ck.txt" "$work/$side/dataout/ck081226_2.txt"
    cp "$root/tests/data/circular_game_nk.txt" "$work/$side/dataout/nk081226_2.txt"
done

# Each command runs in its side's folder with relative paths, so that what
# it prints names the same files on both systems.
commands=(
    "solve setup/shoe.txt --setup ."
    "solve setup/shoe.txt --setup . --json"
    "shoe --hands 25 --seed 11 --min 2 --max 5 --setup ."
    "check ."
    "verify dataout"
    "sessions dataout"
    "csv dataout -o events.csv --hands hands.csv --setup ."
)
failed=0
for command in "${commands[@]}"; do
    # shellcheck disable=SC2086
    (cd "$work/linux" && "$linux_tool" $command >out.txt 2>&1; echo "exit $?" >>out.txt)
    # shellcheck disable=SC2086
    (cd "$work/windows" && "$wine" "$windows_tool" $command 2>&1 | tr -d '\r' >out.txt; echo "exit ${PIPESTATUS[0]}" >>out.txt)
    if ! cmp -s "$work/linux/out.txt" "$work/windows/out.txt"; then
        echo "FAIL: qbxtool $command differs under Wine:"
        diff "$work/linux/out.txt" "$work/windows/out.txt" | head -n 10
        failed=1
    else
        echo "ok: qbxtool $command ($(tail -n 1 "$work/linux/out.txt"), $(wc -l <"$work/linux/out.txt") lines alike)"
    fi
done
for table in events.csv hands.csv; do
    if ! cmp -s "$work/linux/$table" "$work/windows/$table"; then
        echo "FAIL: $table differs under Wine"
        failed=1
    else
        echo "ok: $table byte for byte"
    fi
done
exit "$failed"

#!/usr/bin/env bash
# A Windows program that stands alone: a GUI program (no console window),
# 64-bit, with a manifest, and needing no DLL beyond those every Windows
# installation has (nothing of MinGW, Qt or the C++ run time to lose).
#   check_exe.sh PROGRAM.exe
set -uo pipefail
exe="$1"
objdump=x86_64-w64-mingw32-objdump
# Part of every Windows 10 and later (which Qt 6 needs), API sets included.
system_dlls="advapi32 authz comdlg32 d3d9 d3d11 dwmapi dxgi gdi32 imm32 kernel32 mpr msvcrt netapi32
ole32 oleaut32 setupapi shcore shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 wtsapi32
api-ms-win-core-synch-l1-2-0 api-ms-win-core-winrt-l1-1-0 api-ms-win-core-winrt-string-l1-1-0 api-ms-win-crt-runtime-l1-1-0 bcrypt crypt32 dwrite cfgmgr32 rpcrt4
secur32 usp10 winspool comctl32 ntdll"

failed=0
fail() {
    echo "check_exe: $exe: $*" >&2
    failed=1
}
headers=$("$objdump" -p "$exe") || {
    echo "check_exe: $exe: not a Windows program" >&2
    exit 1
}
grep -q '^Magic.*020b' <<<"$headers" || fail "not a 64-bit program"
grep -qE '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers" || fail "not a GUI program (subsystem 2)"
while read -r dll; do
    base=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")
    grep -qw -- "$base" <<<"$system_dlls" || fail "needs $dll, which Windows does not have"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
# The manifest: resource type 24. grep reads to the end (no -q): with
# pipefail, a grep that stopped at the first match would leave the writer
# of a large program's dump to die of SIGPIPE, and the pipe to fail.
"$objdump" -s -j .rsrc "$exe" 2>/dev/null | tr -d '\n ' | grep 'dpiAwareness' >/dev/null ||
    strings -el "$exe" | grep dpiAwareness >/dev/null ||
    strings "$exe" | grep '<dpiAwareness' >/dev/null || fail "has no manifest declaring its DPI awareness"
if grep -q "^Characteristics.*debug\|\.debug_info" <(x86_64-w64-mingw32-objdump -h "$exe"); then
    fail "is not stripped"
fi
((failed == 0)) && echo "check_exe: $exe: a 64-bit GUI program with its manifest, needing only system DLLs"
exit "$failed"

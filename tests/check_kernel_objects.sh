#!/usr/bin/env bash
# The vector kernels are compiled for wider instruction sets than the rest of
# the program, so they must share no code with it: each kernel object defines
# one external symbol, its table (an inline function defined there could be
# picked by the linker for every caller, instructions and all). And their
# arithmetic is in the written order: no fused multiply-add.
#   check_kernel_objects.sh NM OBJDUMP OBJECT...
set -euo pipefail
nm=$1
objdump=$2
shift 2
[ "$#" -gt 0 ] || { echo "FAIL: no kernel objects given"; exit 1; }
status=0
for object in "$@"; do
    defined=$("$nm" -g --defined-only "$object" | awk 'NF == 3 { print $3 }')
    if [ "$defined" != "$(printf '%s\n' "$defined" | grep -E '^[a-z0-9]+_kernels$' || true)" ] ||
        [ "$(printf '%s\n' "$defined" | grep -c .)" -ne 1 ]; then
        echo "FAIL: $object defines more than its table:"
        printf '  %s\n' $defined
        status=1
    fi
    if "$objdump" -d "$object" | grep -qE '[[:space:]]vf(n?m(add|sub)|maddsub|msubadd)[0-9]'; then
        echo "FAIL: fused multiply-add in $object"
        status=1
    fi
done
[ "$status" -ne 0 ] || echo "ok: $# kernel objects, each only its table, no fused multiply-add"
exit "$status"

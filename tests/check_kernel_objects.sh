#!/usr/bin/env bash
# The vector kernels are compiled for wider instruction sets than the rest of
# the program, so they must share no code with it: a kernel object defines
# its table and no code another object could be linked to (an inline
# function emitted there could be picked by the linker for every caller,
# instructions and all). And their arithmetic is in the written order: no
# fused multiply-add.
#   check_kernel_objects.sh NM OBJDUMP OBJECT...
set -euo pipefail
nm=$1
objdump=$2
shift 2
[ "$#" -gt 0 ] || { echo "FAIL: no kernel objects given"; exit 1; }
status=0
for object in "$@"; do
    # Code another object could be linked against (sanitizer builds add
    # their own helpers), and the table itself.
    code=$("$nm" -g --defined-only "$object" | awk 'NF == 3 && $2 ~ /^[TWi]$/ && $3 !~ /^__(odr_)?[at]san/ { print $3 }')
    if [ -n "$code" ]; then
        echo "FAIL: $object defines code others could link to:"
        printf '  %s\n' $code
        status=1
    fi
    if ! "$nm" -g --defined-only "$object" | awk 'NF == 3 { print $3 }' | grep -qE '^[a-z0-9]+_kernels$'; then
        echo "FAIL: $object defines no kernel table"
        status=1
    fi
    if "$objdump" -d "$object" | grep -qE '[[:space:]]vf(n?m(add|sub)|maddsub|msubadd)[0-9]'; then
        echo "FAIL: fused multiply-add in $object"
        status=1
    fi
done
[ "$status" -ne 0 ] || echo "ok: $# kernel objects, their tables and no shared code, no fused multiply-add"
exit "$status"

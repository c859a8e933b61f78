#!/bin/sh
# Where the large stack cannot be reserved (an address-space limit, as in many CI sandboxes), the
# run falls back to the process's own stack. A chain of 60,000 headers must then end with a
# report, never a crash: the out-of-memory message and exit code 254, or a complete run that
# wrote its rule.
program="$1"
dir=$(mktemp -d "${TMPDIR:-/tmp}/incwalk32-deep.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
printf '#include "h0.h"\n' >main.c
awk 'BEGIN { for (i = 0; i < 60000; i++) { f = "h" i ".h"; printf "#include \"h%d.h\"\n", i + 1 > f; close(f) } }'
: >h60000.h
err=$( (ulimit -v 700000 && exec "$program" /nologo main.c) 2>&1 >out.txt)
code=$?
if [ "$code" -eq 254 ] && [ "$err" = "incwalk32: sorry, out of memory" ]; then exit 0; fi
if [ "$code" -eq 0 ] && [ -z "$err" ] && grep -q '^"main.obj": "main.c"' out.txt; then exit 0; fi
echo "expected exit 254 and the out-of-memory report (or a complete run); got exit $code and '$err'"
exit 1

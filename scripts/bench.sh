#!/usr/bin/env bash
# Builds the default preset and runs the benchmarks: the router operations
# against the simulator paced at 9600 bit/s, and the program's start
# offscreen, and a bench of routers at once through cofralin-cli. Prints the
# figures as Markdown tables. Arguments go to cofralin_bench (--runs N,
# --start-runs N, --no-start, --no-operations, --routers N, --no-cli).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default > /dev/null
cmake --build --preset default --target cofralin_bench cofralin-cli > /dev/null
exec build/default/bench/cofralin_bench "$@"

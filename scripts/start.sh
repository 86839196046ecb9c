#!/usr/bin/env bash
# Installs what is missing, builds, and starts Cofralin with COM1 wired to the
# bundled router simulator. Extra arguments go to q73sim (see q73sim --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
# Only what runs here: the tests and benchmarks are built by the test command.
cmake --build --preset default --target cofralin q73sim
build=build/default
device_link="$build/run/q73sim-com1"
"$build/sim/q73sim" --link "$device_link" --pace "$@" > "$build/q73sim.out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$device_link" ] && break; sleep 0.1; done
cd "$build/run"
COFRALIN_COM1="$PWD/q73sim-com1" ./cofralin

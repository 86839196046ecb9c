#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole
# test suite: the tests, the serial drivers' tests in a virtual machine, the
# installed Debian package against the simulator, and the tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-format.sh
bash scripts/check-layers.sh

cmake --preset ci
cmake --build --preset ci
ctest --preset ci
bash scripts/vm-test.sh build/ci

bash scripts/package-test.sh build/ci

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

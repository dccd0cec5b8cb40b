#!/usr/bin/env bash
# Builds tessra-bench and runs it: Tessra next to sqlite3 on 1,000, 10,000
# and 100,000 records. Arguments are passed to it (--help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target tessra-bench
exec build/dev/bin/tessra-bench "$@"

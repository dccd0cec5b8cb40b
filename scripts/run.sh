#!/usr/bin/env bash
# Builds Tessra and runs it in this terminal on the bundled sample databases.
# Arguments are passed to the program (a tsq file to import and open, or /f).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh dev
exec build/dev/bin/tessra "$@"

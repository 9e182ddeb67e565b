#!/usr/bin/env bash
# Runs a program that opens top-level windows: on the display already there (scripts/test.sh
# runs the Windows tests under one virtual display), or else under a virtual display of its own.
set -euo pipefail
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"

#!/usr/bin/env bash
# Sets up the machine, builds the program and opens it. With a display it shows the
# main window; without one it runs the whole analysis of the bundled sample on the
# command line and prints the results table.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build" >/dev/null
cd "$here/examples"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$here/build/app/obrotk"
elif [ -x "$here/build/cli/obrotk-cli" ]; then
  exec "$here/build/cli/obrotk-cli" "$here/examples/sample.fdt" --methods spiral,newton,smirnov,nonparam,mle "$@"
else
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build/app/obrotk"
fi

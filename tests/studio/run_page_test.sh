#!/usr/bin/env bash
# Runs the studio's browser test (studio_page_test.mjs). Node, Debian's
# chromium and the pinned npm packages are needed: scripts/setup installs
# them. Where one is missing the test fails; it never skips.
# Usage: run_page_test.sh NODE_MODULES SCREENSHOT
# with STUDIO_PROGRAM, DUNEFORGE, MODELINFO and STUDIO_EXAMPLES set.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
missing() {
  echo "studio page: FAILED: $1 is missing; bash scripts/setup installs it" >&2
  exit 1
}
command -v node >/dev/null || missing "node (Debian's nodejs)"
CHROMIUM=$(command -v chromium) || missing "chromium"
export CHROMIUM
export NODE_MODULES=$1 SCREENSHOT=$2
[ -f "$NODE_MODULES/puppeteer-core/package.json" ] || missing "the pinned puppeteer-core in $NODE_MODULES"
mkdir -p "$(dirname "$SCREENSHOT")"
exec node "$here/studio_page_test.mjs"

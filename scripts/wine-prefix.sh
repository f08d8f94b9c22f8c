#!/usr/bin/env bash
# Creates the Wine prefix used by the tests and the demo, without any prompt.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
qb_wine_prefix

#!/usr/bin/env bash
# Runs a Windows program under Wine without ever waiting for a person.
# The prefix is created by scripts/wine-prefix.sh; tests share one wineserver.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec wine "$@"

#!/usr/bin/env bash
# The alerting rules as shipped: promtool (unpacked by scripts/bootstrap, never installed) checks
# them, and runs alert_rules_test.yml, whose series fire each rule and whose others must not.
# usage: alert_rules_test.sh PROMTOOL
set -euo pipefail
here=$(dirname "$(realpath "$0")")
[[ -x $1 ]] || { echo "no $1: run scripts/bootstrap"; exit 77; }
"$1" check rules "$here/../../packaging/prometheus/kalvor-sync.rules.yml"
cd "$here" && "$1" test rules alert_rules_test.yml

#!/usr/bin/env bash
# Runs Steinberg's validator on the bundle; exit code 77 (skipped) when the
# tool is not there, so the project's own tests never depend on it.
#   run_validator.sh VALIDATOR BUNDLE [-e]
set -uo pipefail
validator=$1 bundle=$2
shift 2
if [[ ! -x $validator ]]; then
    echo "validator not found at $validator: skipped"
    exit 77
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$validator" "$@" "$bundle" >"$log" 2>&1
status=$?
if ((status != 0)); then
    cat "$log"
fi
grep -E '^Result: ' "$log" | sed "s/^/validator $*: /"
exit "$status"

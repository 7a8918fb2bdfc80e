#!/usr/bin/env bash
# Checks the alert rules shipped for a site's Prometheus: promtool's own check, then their unit
# tests (packaging/prometheus/tests), which prove each alert fires when it should and stays
# quiet when it should not; and the example Alertmanager configuration with amtool, where
# Debian's prometheus-alertmanager is installed. Exits 77 (a skip for CTest) when promtool is not
# installed (Debian's package prometheus brings it).
set -euo pipefail
cd "$(dirname "$0")/../packaging/prometheus"
if ! command -v promtool >/dev/null; then
    echo "check-alert-rules: skipped: promtool is not installed (apt install prometheus)"
    exit 77
fi
promtool check rules brisolant-alerts.yml
for test in tests/*.test.yml; do
    promtool test rules "$test"
done
if command -v amtool >/dev/null; then
    amtool check-config alertmanager-example.yml
else
    echo "check-alert-rules: alertmanager-example.yml unchecked: amtool is not installed" \
        "(apt install prometheus-alertmanager)"
fi

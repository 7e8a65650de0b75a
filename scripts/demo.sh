#!/usr/bin/env bash
# The main job: builds the demonstration database demo.sqlite in the project folder, verifies it
# and exports its text communication into demo-out/. Uses a settings file of its own, so the
# user's binding is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
tramela=build/cli/tramela
settings=build/demo-settings.toml
run() { "$tramela" --settings "$settings" "$@"; }

rm -rf demo.sqlite demo.sqlite-wal demo.sqlite-shm demo-out
mkdir demo-out
run demo demo.sqlite
run --db demo.sqlite about
run --db demo.sqlite verify
run --yes --db demo.sqlite export-txt demo-out

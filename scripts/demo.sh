#!/usr/bin/env bash
# Builds the demonstration database demo.sqlite in the project folder and runs the main job on
# it. Uses a settings file of its own, so the user's binding is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
tramela=build/cli/tramela
settings=build/demo-settings.toml
run() { "$tramela" --settings "$settings" "$@"; }

rm -f demo.sqlite demo.sqlite-wal demo.sqlite-shm
run new-database demo.sqlite
run --db demo.sqlite create-tables
run --db demo.sqlite company --code 42 --date 01/03/2024 --protocol 1 \
    --responsible "Ufficio Esercizio" --start 01/01/2024 --end 31/12/2024
run --db demo.sqlite about

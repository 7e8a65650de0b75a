#!/usr/bin/env bash
# Fails when a C++ source of the project is not as clang-format writes it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

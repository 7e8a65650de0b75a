#!/usr/bin/env bash
# Lists every #include under src/ that runs upward in the layer stack, and fails on any.
#
# The layers, from the ground up; a file may include its own layer and the layers below it:
#   ui store workspace calendar network comm reports views utilities app
# Inside comm/ the formats txt/, xml/ and gtfs/ stand side by side: each may include comm/'s own
# files and its own folder, never another format's.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(ui store workspace calendar network comm reports views utilities app)
declare -A rank
for i in "${!layers[@]}"; do
    rank[${layers[$i]}]=$i
done

status=0
while IFS= read -r file; do
    relative=${file#src/}
    layer=${relative%%/*}
    if [[ -z ${rank[$layer]+set} ]]; then
        echo "$file: la cartella $layer non appartiene a nessuno strato" >&2
        status=1
        continue
    fi
    own_format=""
    if [[ $layer == comm && $relative == comm/*/* ]]; then
        own_format=${relative#comm/}
        own_format=${own_format%%/*}
    fi
    while IFS=: read -r line included; do
        target=${included%%/*}
        if [[ $target == "$included" || -z ${rank[$target]+set} ]]; then
            continue # a header of a library, not of a layer
        fi
        if ((rank[$target] > rank[$layer])); then
            echo "$file:$line: include verso l'alto: \"$included\" ($layer non può includere $target)"
            status=1
        elif [[ $target == comm && $layer == comm ]]; then
            rest=${included#comm/}
            if [[ $rest == */* ]]; then
                format=${rest%%/*}
                if [[ $format != "$own_format" ]]; then
                    echo "$file:$line: include tra formati: \"$included\" (comm/$format non è comm/${own_format:-})"
                    status=1
                fi
            fi
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
        sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' || true)
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if ((status == 0)); then
    echo "Strati: nessun include verso l'alto."
fi
exit $status

#!/bin/sh
# Stands in for the external secure sender and its certificate tester in the tests.
#   TRAMELA_FAKE_RECORD  file that receives the arguments after the program's name, one a line
#   TRAMELA_FAKE_ANSWER  when set, copied to the response file (the sixth argument)
#   TRAMELA_FAKE_EXIT    the exit code (0 when unset)
if [ -n "$TRAMELA_FAKE_RECORD" ]; then
    : > "$TRAMELA_FAKE_RECORD"
    for argument in "$@"; do
        printf '%s\n' "$argument" >> "$TRAMELA_FAKE_RECORD"
    done
fi
if [ -n "$TRAMELA_FAKE_ANSWER" ]; then
    cp "$TRAMELA_FAKE_ANSWER" "$6"
fi
exit "${TRAMELA_FAKE_EXIT:-0}"

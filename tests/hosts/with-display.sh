#!/bin/sh
# Runs a command under an Xvfb display of its own. The first display number tried is random, so
# that tests started at the same moment do not race for the same one.
start=$((100 + $(od -An -N2 -tu2 /dev/urandom) % 800))
exec xvfb-run -a -n "$start" -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"

#!/usr/bin/env bash
# Draws the pictures of docs/ from their Graphviz sources (Debian package graphviz):
#   scripts/draw-docs.sh      writes docs/pictures/*.svg next to each .dot
set -euo pipefail
cd "$(dirname "$0")/../docs/pictures"
command -v dot >/dev/null || { echo "draw-docs: needs Graphviz's dot (apt install graphviz)" >&2; exit 2; }
for source in *.dot; do
    dot -Tsvg "$source" -o "${source%.dot}.svg"
done

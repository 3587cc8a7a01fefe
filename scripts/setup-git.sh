#!/usr/bin/env bash
# Lets `git diff` and `git log -p` show the Windows-1252 error lists of the case corpus as
# readable text (the lists themselves stay bytes). Run once per clone.
set -euo pipefail
cd "$(dirname "$0")/.."
git config diff.cp1252.textconv 'iconv -f WINDOWS-1252 -t UTF-8'
git config diff.cp1252.cachetextconv true
echo "git diff now decodes *.err.fisico and *.err.logico from Windows-1252"

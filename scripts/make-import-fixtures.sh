#!/usr/bin/env bash
# Makes the workbooks the import tests read (tests/birthdays/data/hr-roster.xls and .xlsx) from
# hr-roster.fods, as a spreadsheet program saves them: LibreOffice does the saving.
set -euo pipefail
cd "$(dirname "$0")/../tests/birthdays/data"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
for format in xls xlsx; do
    soffice "-env:UserInstallation=file://$profile" --headless --convert-to "$format" --outdir . hr-roster.fods
done

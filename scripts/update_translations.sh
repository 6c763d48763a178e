#!/usr/bin/env bash
# Brings i18n/kestrane_en.ts up to date with the texts of the source (lupdate): new texts come in
# unfinished, texts no longer in the source are marked vanished. Translate them (Qt Linguist, or
# by hand in the file), then build: the programs compile the file in. With an output file as its
# argument it writes there instead (the translation check uses that).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-i18n/kestrane_en.ts}"
if [ "$out" != i18n/kestrane_en.ts ]; then cp i18n/kestrane_en.ts "$out"; fi
# The folders whose texts a user sees; tests, benchmarks, tools and fuzz checks are left out.
dirs=(app comm companions demo i18n macro manual platform records remote sampling sending settings text
      timeline traffic widgets)
# The tree's file drops texts no longer in the source; a copy (the check) keeps them marked, so
# the check sees them.
keep=()
if [ "$out" = i18n/kestrane_en.ts ]; then keep=(-no-obsolete); fi
/usr/lib/qt6/bin/lupdate -silent -locations none -source-language ja -target-language en "${keep[@]}" \
  -tr-function-alias QT_TRANSLATE_NOOP+=I18N_NOOP -extensions cpp,h "${dirs[@]}" -ts "$out"

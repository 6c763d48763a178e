#!/usr/bin/env bash
# Runs lupdate over the sources into a copy of i18n/kestrane_en.ts and fails, naming them, when a
# text has no finished English translation (new or changed in the source) or the file still holds
# a text the source no longer has.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
bash "$root/scripts/update_translations.sh" "$tmp/kestrane_en.ts"
python3 - "$tmp/kestrane_en.ts" <<'PY'
import sys
import xml.etree.ElementTree as ET
faults = []
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    name = context.findtext("name")
    for message in context.iter("message"):
        translation = message.find("translation")
        kind = translation.get("type") if translation is not None else "missing"
        if kind in ("unfinished", "vanished", "obsolete", "missing") or not (translation.text or "").strip():
            what = {"vanished": "no longer in the source", "obsolete": "no longer in the source"}.get(kind, "not translated")
            faults.append(f"{name}: {message.findtext('source')!r}: {what}")
for fault in faults:
    print(fault)
if faults:
    print(f"{len(faults)} fault(s): run scripts/update_translations.sh and translate i18n/kestrane_en.ts")
    sys.exit(1)
print("every text translated, none obsolete")
PY

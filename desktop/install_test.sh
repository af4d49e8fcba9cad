#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix and checks what a desktop reads of it: the menu entry, the
# software-centre entry, the MIME type, the manual pages, the icon files and the shell completion; then
# runs the installed kalendro-export on the demo mailbox.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

desktop_id=io.github.kalendro.kalendro
for file in bin/kalendro bin/kalendro-export share/applications/$desktop_id.desktop \
  share/metainfo/$desktop_id.metainfo.xml share/mime/packages/kalendro.xml share/man/man1/kalendro.1.gz \
  share/man/man1/kalendro-export.1.gz share/bash-completion/completions/kalendro-export \
  share/icons/hicolor/scalable/apps/kalendro.svg share/doc/kalendro/copyright share/doc/kalendro/changelog.Debian.gz; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
for size in 16 32 48 64 128 256; do
  identified=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/kalendro.png")
  [ "$identified" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $identified"
done

desktop-file-validate "$prefix/share/applications/$desktop_id.desktop" || fail "desktop-file-validate rejects the entry"
appstreamcli validate --pedantic --no-net "$prefix/share/metainfo/$desktop_id.metainfo.xml" >/dev/null ||
  fail "appstreamcli rejects the metainfo: $(appstreamcli validate --pedantic --no-net "$prefix/share/metainfo/$desktop_id.metainfo.xml")"
"$source/desktop/entries_agree.py" "$prefix/share/applications/$desktop_id.desktop" \
  "$prefix/share/metainfo/$desktop_id.metainfo.xml" "$source" || fail "the metainfo and the desktop entry disagree"

update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "update-mime-database rejects the MIME package"
for glob in '*.pst' '*.ost'; do
  grep -qxF "50:application/vnd.ms-outlook:$glob" "$prefix/share/mime/globs2" || fail "$glob is not an Outlook data file"
done

for page in kalendro kalendro-export; do
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page(1): $warnings"
  MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME" || fail "man renders no $page(1)"
done

completions=$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" &&
  COMP_LINE="kalendro-export contacts --no-" && COMP_POINT=${#COMP_LINE} &&
  COMP_WORDS=(kalendro-export contacts --no-) && COMP_CWORD=2 && _kalendro_export && echo "${COMPREPLY[*]}"' \
  _ "$prefix/share/bash-completion/completions/kalendro-export")
[ "$completions" = "--no-birthday --no-anniversary" ] || fail "completion of 'contacts --no-' gave '$completions'"

mkdir "$prefix/player"
"$prefix/bin/kalendro-export" calendar --store "$source/samples/demo-mailbox.json" --target "$prefix/player" \
  --from 2026-12-01 --to 2026-12-31 >/dev/null
head -1 "$prefix/player/Calendars/vCalendar.ics" | grep -q '^BEGIN:VCALENDAR' || fail "the installed export wrote no calendar"

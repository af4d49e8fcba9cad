#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package with scripts/package, checks it with lintian, installs it with dpkg, runs the
# installed kalendro-export on the demo mailbox, checks that dpkg installed what `cmake --install` lists,
# then removes and purges it and checks that of its paths exactly those are left that were there before.
#   package_test.sh SOURCE_DIR
# Exits with 77 (skipped), saying why, when not run as root, when a tool is missing or when a kalendro
# package is installed already (the test would replace it and take it away).
set -euo pipefail
source=$(realpath "$1")
build=$source/build/package
deb=$build/kalendro_0.5.1-1_amd64.deb
desktop_id=io.github.kalendro.kalendro
skip() {
  echo "package test skipped: $*"
  exit 77
}
fail() {
  echo "package test: $*" >&2
  exit 1
}
# The package's state in dpkg's database: empty or not-installed when dpkg has none.
package_state() {
  dpkg-query -W -f='${db:Status-Status}' kalendro 2>/dev/null || true
}
# Each path of a list that is there now.
present() {
  while read -r path; do [ ! -e "$path" ] || echo "$path"; done <"$1"
}

[ "$(id -u)" = 0 ] || skip "dpkg -i needs root"
for tool in dpkg-deb dpkg-shlibdeps lintian appstreamcli file; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps installs it)"
done
case $(package_state) in
  "" | not-installed) ;;
  *) skip "a kalendro package is on this machine already ($(package_state))" ;;
esac

work=$(mktemp -d)
remove_package() {
  dpkg --purge kalendro >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap remove_package EXIT

KALENDRO_PACKAGE_DIR=$build "$source/scripts/package" >"$work/package.log" 2>&1 || {
  cat "$work/package.log" >&2
  fail "scripts/package failed"
}
[ -f "$deb" ] || fail "scripts/package made no $deb"

# No error; and each warning's tag is explained in the README, where a user of the package reads of it.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
! grep -q '^E: ' "$work/lintian.txt" || fail "lintian found errors"
while read -r tag; do
  grep -qF "\`$tag\`" "$source/README.md" || fail "lintian's warning $tag is not explained in the README"
done < <(sed -n 's/^W: kalendro[^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian.txt" | sort -u)

depends=$(dpkg-deb -f "$deb" Depends)
for package in fonts-liberation2 libqt6widgets6 libcurl4 libxml2 libc6; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "the package does not depend on $package: $depends"
done

# What the install of the same build lists, as the package's files should be.
DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
sed "s|^$work/root||" "$build/install_manifest.txt" | sort >"$work/manifest"

dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -vx '\.' | sort >"$work/contents"
present "$work/contents" >"$work/present-before"

dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
dpkg -L kalendro | grep -vxF /. | sort >"$work/listed"
diff "$work/contents" "$work/listed" || fail "dpkg -L differs from the package's contents (< package, > dpkg)"
while read -r path; do [ -d "$path" ] || echo "$path"; done <"$work/listed" >"$work/files"
diff "$work/manifest" "$work/files" || fail "dpkg -L differs from the install manifest (< manifest, > dpkg)"

mkdir "$work/player"
/usr/bin/kalendro-export calendar --store "$source/samples/demo-mailbox.json" --target "$work/player" \
  --from 2026-12-01 --to 2026-12-31 >/dev/null || fail "the installed kalendro-export calendar failed"
head -1 "$work/player/Calendars/vCalendar.ics" | grep -q '^BEGIN:VCALENDAR' || fail "the installed export wrote no calendar"
/usr/bin/kalendro-export contacts --store "$source/samples/demo-mailbox.json" --output "$work/contacts.vcf" \
  >/dev/null 2>&1 || fail "the installed kalendro-export contacts failed"
head -1 "$work/contacts.vcf" | grep -q '^BEGIN:VCARD' || fail "the installed export wrote no contacts"

appstreamcli validate --no-net "/usr/share/metainfo/$desktop_id.metainfo.xml" ||
  fail "appstreamcli rejects the installed metainfo"

dpkg -r kalendro >/dev/null || fail "dpkg -r failed"
dpkg --purge kalendro >/dev/null || fail "dpkg --purge failed"
case $(package_state) in
  "" | not-installed) ;;
  *) fail "dpkg still knows the package after its purge ($(package_state))" ;;
esac
present "$work/listed" >"$work/present-after"
diff "$work/present-before" "$work/present-after" ||
  fail "the purge left other paths than were there before the install (< before, > after)"
echo "package test: $(wc -l <"$work/files") files installed by dpkg, all of them removed again"

#!/bin/sh
# Installs the build into temporary prefixes and checks what a desktop
# makes of it: the desktop entry, the file types (by content too), the
# icon, the man page, bash completion and the AppStream metainfo.
#
#   tests/install_test.sh BUILD_DIR
set -eu
build="$1"
work=$(mktemp -d /tmp/tarnwick-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# 1. Into a prefix of its own: everything lands under it.
prefix="$work/usr"
cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
desktop="$share/applications/org.tarnwick.Tarnwick.desktop"
metainfo="$share/metainfo/org.tarnwick.Tarnwick.metainfo.xml"
mimexml="$share/mime/packages/tarnwick.xml"
man="$share/man/man1/tarnwick.1.gz"
completion="$share/bash-completion/completions/tarnwick"
[ -x "$prefix/bin/tarnwick" ] || fail "no program in $prefix/bin"
for f in "$desktop" "$metainfo" "$mimexml" "$man" "$completion" "$share/icons/hicolor/scalable/apps/tarnwick.svg"; do
  [ -f "$f" ] || fail "not installed: $f"
done
for size in 16 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/tarnwick.png"
  [ -f "$png" ] || fail "no ${size}px icon"
  got=$(identify -format '%wx%h' "$png")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}px icon is $got"
done
# Installed straight into a prefix, the file types are known at once.
[ -f "$share/mime/mime.cache" ] || fail "the MIME database of the prefix was not updated"

# 2. Staged under DESTDIR, as a package build does: nothing outside it,
# and the caches are left to the package's triggers.
stage="$work/stage"
staged=/opt/tarnwick-staged-$$
DESTDIR="$stage" cmake --install "$build" --prefix "$staged" >/dev/null
[ -x "$stage$staged/bin/tarnwick" ] || fail "DESTDIR was not honoured"
[ ! -e "$staged" ] || fail "installed outside DESTDIR"
[ ! -e "$stage$staged/share/mime/mime.cache" ] || fail "a staged install updated the MIME cache"

# 3. The desktop entry.
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=tarnwick %f' "$desktop" || fail "Exec line"
grep -qx 'Categories=Office;Viewer;' "$desktop" || fail "Categories line"
grep -qx 'Icon=tarnwick' "$desktop" || fail "Icon line"
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
  grep -q "<mime-type type=\"$type\">" "$mimexml" || fail "the entry names $type, which the MIME package does not define"
done

# 4. The file types: valid XML, accepted by update-mime-database, and
# recognised by GIO from the prefix, by name and by content.
xmllint --noout "$mimexml" || fail "xmllint"
out=$(XDG_DATA_DIRS="$share:/usr/share" XDG_DATA_HOME="$work/home" update-mime-database "$share/mime" 2>&1) || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database complained: $out"
files="$work/files"
mkdir -p "$files" "$work/home"
printf '%%OP%%DETitle\n%%CO:A,8,0%%x\n' > "$files/options-first"
printf '%%CO:A,24,72%%cell\n' > "$files/columns-first"
printf 'Dear Ann,\n%%OP%% is not at the start\n' > "$files/letter"
printf 'anything\n' > "$files/report.pd"
# (Beside the others, not among them: the completion test lists those.)
mkdir -p "$work/sniff"
printf '%%OP%%DETitle\n%%CO:A,8,0%%x\n' > "$work/sniff/budget.pd"
printf '#N canvas 0 50 450 300 12;\n#X obj 30 27 osc~ 440;\n' > "$work/sniff/patch.pd"
printf 'a.pd\nb.pd\n' > "$files/docs.l"
printf '%%{\n#include <stdio.h>\n%%}\n%%%%\n.\tECHO;\n%%%%\n' > "$files/scanner.l"
type_of() {
  XDG_DATA_DIRS="$1:/usr/share" XDG_DATA_HOME="$work/home" \
    gio info -a standard::content-type "$2" 2>/dev/null | sed -n 's/^ *standard::content-type: //p'
}
check_type() {  # data dirs, file, expected type
  got=$(type_of "$1" "$files/$2")
  [ "$got" = "$3" ] || fail "$2 is seen as '$got', not $3"
}
check_type "$share" options-first application/x-pipedream
check_type "$share" columns-first application/x-pipedream
check_type "$share" letter text/plain
check_type "$share" docs.l application/x-pipedream-list
# A .pd file is a PipeDream document by its content, not by its name: on
# a desktop without a Pure Data type, and with one in either order.
check_type "$share" ../sniff/budget.pd application/x-pipedream
check_type "$share" report.pd text/plain
check_type "$share" ../sniff/patch.pd text/plain
puredata="$work/puredata/mime"
mkdir -p "$puredata/packages"
cat > "$puredata/packages/puredata.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="text/x-puredata">
    <comment>Pure Data patch</comment>
    <sub-class-of type="text/plain"/>
    <glob pattern="*.pd"/>
    <magic priority="50"><match type="string" offset="0" value="#N canvas"/></magic>
  </mime-type>
</mime-info>
XML
update-mime-database "$puredata" >/dev/null 2>&1
for dirs in "$work/puredata:$share" "$share:$work/puredata"; do
  check_type "$dirs" ../sniff/budget.pd application/x-pipedream
  check_type "$dirs" ../sniff/patch.pd text/x-puredata
done
# Where a lex type claims *.l at the usual weight, .l files stay lex sources.
lex="$work/lex/mime"
mkdir -p "$lex/packages"
cat > "$lex/packages/lex.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="text/x-lex">
    <comment>Lex source</comment>
    <sub-class-of type="text/x-csrc"/>
    <glob pattern="*.l"/>
  </mime-type>
</mime-info>
XML
update-mime-database "$lex" >/dev/null 2>&1
# (In either order of the data folders: a tie of weights would leave the
# choice to that order.)
for dirs in "$work/lex:$share" "$share:$work/lex"; do
  check_type "$dirs" scanner.l text/x-lex
  check_type "$dirs" docs.l text/x-lex
  check_type "$dirs" options-first application/x-pipedream
done

# 5. The man page renders without complaint and names every option and
# format the program's own help names.
rendered=$(MANWIDTH=80 man --warnings -l "$man" 2>"$work/man.err") || fail "man -l"
[ ! -s "$work/man.err" ] || fail "man page warnings: $(cat "$work/man.err")"
help=$("$prefix/bin/tarnwick" --help)
options=$(printf '%s\n' "$help" | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "no options in --help"
formats=$(printf '%s\n' "$help" | sed -n '/^FORMAT is one of/,/^$/p' | sed -n 's/^  \([a-z][a-z, ]*[a-z]\)  .*/\1/p' | tr ',' ' ')
[ -n "$formats" ] || fail "no formats in --help"
for o in $options; do
  printf '%s\n' "$rendered" | grep -q -- "$o" || fail "the man page does not mention $o"
done
for f in $formats; do
  printf '%s\n' "$rendered" | grep -qw -- "$f" || fail "the man page does not mention the format $f"
done
version=$("$prefix/bin/tarnwick" --version | sed 's/^tarnwick //')
printf '%s\n' "$rendered" | grep -q "Tarnwick $version" || fail "the man page is not of version $version"

# 6. Bash completion offers the same options and formats.
complete_words() {  # words of the command line, the last one being completed
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tarnwick; printf "%s\n" "${COMPREPLY[@]}" | sort' \
    _ "$completion" "$@"
}
got=$(complete_words tarnwick --)
want=$(printf '%s\n' $options | grep -vx -- '--' | sort)
[ "$got" = "$want" ] || fail "completion offers options '$(echo $got)', --help has '$(echo $want)'"
got=$(complete_words tarnwick --convert-to "")
want=$(printf '%s\n' $formats | sort)
[ "$got" = "$want" ] || fail "completion offers formats '$(echo $got)', --help has '$(echo $want)'"
got=$(cd "$files" && complete_words tarnwick "")
[ "$got" = "$(printf 'docs.l\nreport.pd\nscanner.l')" ] || fail "completion offers files '$(echo $got)'"

# 7. The AppStream metainfo, of the program's version.
appstreamcli validate --no-net "$metainfo" >/dev/null || appstreamcli validate --no-net --explain "$metainfo" >&2 ||
  fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"

echo "install test passed"

#!/bin/sh
# The real program under Xvfb with real key presses: it shows the
# document's title, pages down, finds a word on a later page with Ctrl+F
# (the screenshot shows it marked), quits on Escape and leaves Quillon.ini
# beside itself; started again the same way, from another folder than the
# document's, it opens the same document; it lives through a burst of
# window resizes; a list file on its command line shows its names whole at
# once, Enter opens the first document, Ctrl+N the next; a real spreadsheet
# switched to the PipeDream layout with Ctrl+Shift+L shows another page,
# keeps that layout over a restart and gives the plain page back when
# switched again.
#
#   tests/e2e_test.sh path/to/tarnwick SAMPLES_DIR
set -eu
exe="$1"; samples="$2"
work=$(mktemp -d /tmp/tarnwick-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/program" "$work/docs"
cp "$exe" "$work/program/tarnwick"
cp "$samples"/welcome.pd "$samples"/budget.pd "$samples"/samples.l "$work/docs/"
cp "$(dirname "$0")/data/real-documents/spreadsheets/pd4-example-financial.pd" "$work/docs/financial.pd"
{
  printf '%%OP%%DELong test document\n%%CO:A,12,72%%'
  i=1; while [ $i -le 300 ]; do printf 'line %d\n' $i; i=$((i+1)); done
} > "$work/docs/long.pd"

fail() { echo "FAIL: $*" >&2; exit 1; }

cat > "$work/session.sh" <<'INNER'
set -eu
work="$1"
fail() {
  echo "FAIL: $*" >&2
  for w in $(xdotool search --name . 2>/dev/null); do echo "  window $w: $(xdotool getwindowname "$w")" >&2; done
  exit 1
}
wait_title() {  # waits for a window whose name matches, prints its id
  for i in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
distinct_colours() { convert "$1" -format '%k' info:; }

quit() {  # Escape, then waits for the program to end
  xdotool key Escape
  for i in $(seq 200); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "Escape did not quit ($1)"
  return 0
}

# 1. A document named relative to the folder it is started from: its
# title, Page Down, Escape.
(cd "$work" && exec "$work/program/tarnwick" docs/long.pd) & pid=$!
id=$(wait_title "Tarnwick - Long test document") || fail "no window titled with the document's title"
sleep 0.5
xdotool windowfocus --sync "$id" 2>/dev/null || true
import -window "$id" "$work/before.png"
[ "$(distinct_colours "$work/before.png")" -gt 2 ] || fail "the window's screenshot is blank"
xdotool key --clearmodifiers Next
sleep 0.5
import -window "$id" "$work/after.png"
if compare -metric AE "$work/before.png" "$work/after.png" null: 2>/dev/null; then
  fail "Page Down did not change the page"
fi
# Ctrl+F, a word on a later page, Enter: the page moves to it and marks it.
amber() { convert "$1" -fill black +opaque '#FFC107' -fill white -opaque '#FFC107' -format '%[fx:round(mean*w*h)]' info:; }
[ "$(amber "$work/after.png")" -eq 0 ] || fail "something is marked before any find"
xdotool key ctrl+f
sleep 0.3
xdotool type --delay 20 "LINE 250"
xdotool key Return
sleep 0.5
import -window "$id" "$work/found.png"
[ "$(amber "$work/found.png")" -gt 50 ] || fail "Ctrl+F did not mark the word on the page"
compare -metric AE "$work/after.png" "$work/found.png" null: 2>/dev/null && fail "the find did not move the page"
[ -n "${TARNWICK_E2E_SHOTS:-}" ] && cp "$work/found.png" "$TARNWICK_E2E_SHOTS/found.png"
xdotool key Escape  # closes the find bar
sleep 0.3
kill -0 $pid 2>/dev/null || fail "Escape in the find bar quit the program"
quit "document"
for key in WindowState Left Top Width Height; do
  grep -q "^$key=" "$work/program/Quillon.ini" || fail "Quillon.ini has no $key"
done
grep -qx "InitDir=$work/docs/" "$work/program/Quillon.ini" || fail "InitDir is not the document's absolute folder"
grep -qx "File1=$work/docs/long.pd" "$work/program/Quillon.ini" || fail "File1 is not the document's absolute path"

# 1b. The same start again (as a second 'make run'): the name is still
# taken from the start folder, not from the saved one.
(cd "$work" && exec "$work/program/tarnwick" docs/long.pd) & pid=$!
id=$(wait_title "Tarnwick - Long test document") || fail "the second start did not open the document"
sleep 0.3

# 1c. A burst of resizes, as fast as they come.
i=0
while [ $i -lt 300 ]; do
  xdotool windowsize "$id" $((300 + (i * 37) % 600)) $((200 + (i * 53) % 500)) 2>/dev/null || true
  i=$((i + 1))
done
sleep 1
kill -0 $pid 2>/dev/null || fail "the program died in a burst of resizes"
xdotool windowsize --sync "$id" 640 480 2>/dev/null || true
sleep 0.5
import -window "$id" "$work/resized.png"
[ "$(distinct_colours "$work/resized.png")" -gt 2 ] || fail "the window is blank after the resizes"
xdotool windowfocus --sync "$id" 2>/dev/null || true
quit "after the resizes"

# The list comes up in a saved 900 x 600 window.
sed -i -e 's/^Width=.*/Width=13500/' -e 's/^Height=.*/Height=9000/' -e 's/^WindowState=.*/WindowState=0/' \
  "$work/program/Quillon.ini"

# 2. A list file: its list, Enter, Ctrl+N, Escape.
"$work/program/tarnwick" "$work/docs/samples.l" & pid=$!
id=$(wait_title "Tarnwick") || fail "no window for the list"
sleep 0.5
xdotool windowfocus --sync "$id" 2>/dev/null || true
# Each name shows whole: every line of ink in the list is several times
# wider than high ("welcome.pd" and "budget.pd"; an elided name is a
# short "..."). The menu bar is cut off first.
import -window "$id" "$work/list.png"
[ -n "${TARNWICK_E2E_SHOTS:-}" ] && cp "$work/list.png" "$TARNWICK_E2E_SHOTS/list.png"
convert "$work/list.png" -crop +0+20 +repage -colorspace gray -threshold 60% -negate "$work/ink.png"
height=$(convert "$work/ink.png" -format '%h' info:)
# One value a pixel row (above 0 where the row has ink), then the bands of
# rows with ink as "top height".
convert "$work/ink.png" -scale "1x$height!" -depth 8 -compress none pgm:- |
  awk 'NR > 3 { for (i = 1; i <= NF; i++) v[n++] = $i }
       END { s = -1; for (y = 0; y <= n; y++) { ink = (y < n && v[y] > 0)
             if (ink && s < 0) s = y; if (!ink && s >= 0) { print s, y - s; s = -1 } } }' > "$work/bands.txt"
whole=0
while read -r top h; do
  [ "$h" -ge 4 ] || continue
  w=$(convert "$work/ink.png" -crop "x$h+0+$top" +repage -trim -format '%w' info: 2>/dev/null || echo 0)
  [ "$w" -ge $((4 * h)) ] && whole=$((whole + 1))
done < "$work/bands.txt"
[ "$whole" -ge 2 ] || fail "the list's names are not drawn whole ($whole of 2; bands: $(tr '\n' ';' < "$work/bands.txt"))"
xdotool key Return
wait_title "Tarnwick - Tarnwick sample: a welcome" >/dev/null || fail "Enter did not open the first listed document"
xdotool key ctrl+n
wait_title "Tarnwick - Household budget" >/dev/null || fail "Ctrl+N did not open the next listed document"
quit "list"
grep -qx "File1=$work/docs/samples.l" "$work/program/Quillon.ini" || fail "the list file is not File1"

# 3. A real spreadsheet in both layouts.
shot_of() {  # starts the viewer on the spreadsheet, waits, takes a picture, leaves it running
  "$work/program/tarnwick" "$work/docs/financial.pd" & pid=$!
  id=$(wait_title "Tarnwick - ") || fail "no window for the spreadsheet"
  sleep 0.7
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  import -window "$id" "$1"
}
same() { compare -metric AE "$1" "$2" null: 2>/dev/null; }
grep -q "^Layout=PipeDream" "$work/program/Quillon.ini" && fail "the PipeDream layout is on before it was chosen"
shot_of "$work/plain.png"
xdotool key --clearmodifiers ctrl+shift+l
sleep 0.7
import -window "$id" "$work/pipedream.png"
[ "$(distinct_colours "$work/pipedream.png")" -gt 2 ] || fail "the PipeDream layout's page is blank"
same "$work/plain.png" "$work/pipedream.png" && fail "Ctrl+Shift+L did not change the page"
quit "spreadsheet"
grep -qx "Layout=PipeDream" "$work/program/Quillon.ini" || fail "the layout chosen is not in Quillon.ini"
shot_of "$work/restarted.png"
same "$work/pipedream.png" "$work/restarted.png" || fail "after a restart the page is not the PipeDream layout's"
xdotool key --clearmodifiers ctrl+shift+l
sleep 0.7
import -window "$id" "$work/back.png"
same "$work/plain.png" "$work/back.png" || fail "switching back did not give the plain page"
quit "spreadsheet"
grep -qx "Layout=" "$work/program/Quillon.ini" || fail "the plain layout is not kept as an empty Layout"
echo "e2e: all checks passed"
INNER

xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh "$work/session.sh" "$work"

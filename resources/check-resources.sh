#!/usr/bin/env bash
# Checks the resource script and its pictures:
#   - lirva.rc compiles with windres, and the compiled object holds every
#     template, menu, bitmap, icon, picture and record that the program loads;
#   - the pictures have the sizes and colour formats the program relies on;
#   - the manifest asks for common controls 6 and nothing else.
# Exits non-zero on the first group that fails, after printing every problem.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
WINDRES=${WINDRES:-i686-w64-mingw32-windres}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail=0
bad() { echo "check-resources: $*" >&2; fail=1; }

# --- the script compiles -----------------------------------------------------
if ! "$WINDRES" -I "$root" -I "$here" "$here/lirva.rc" -O coff -o "$tmp/res.o"; then
  echo "check-resources: windres failed" >&2
  exit 1
fi
"$WINDRES" -i "$tmp/res.o" -O rc -o "$tmp/back.rc" || { echo "check-resources: cannot read back the object" >&2; exit 1; }

# --- what the compiled object holds ----------------------------------------
has() { grep -qE "$1" "$tmp/back.rc" || bad "compiled resources lack: $2"; }
for d in LPLAYDLG LPROGRESSDIALOG LABOUT LTERMS LINSTALLINGDLG LSELECTRELATEDDLG; do
  has "^\"$d\" DIALOGEX" "dialog $d"
done
has '^1 DIALOGEX' 'dialog 1 (main window)'
has '^1 MENU' 'menu 1'
has '^3 MENU' 'context menu 3'
for b in PLAYBITMAP SCRUBBITMAP STOPBITMAP STARTBITMAP REWINDBITMAP FORWARDBITMAP ENDBITMAP LDBGREEN LDBRED; do
  has "^\"$b\" 2 " "bitmap $b"
done
for n in 1 2 3 4 5; do has "^$n 2 " "toolbar bitmap $n"; done
has '^1 14 ' 'icon group 1'
has '^2 14 ' 'icon group 2 (tag button)'
has '^1 800' 'picture 1 of type 800'
has '^1 24 ' 'manifest'
has '^1 VERSIONINFO' 'version record'
has '^1 RCDATA' 'licence text'
has 'VALUE "ProductName", "Lirva"' 'ProductName "Lirva"'
has 'VALUE "CompanyName", "Vantoral"' 'CompanyName "Vantoral"'
has 'FILEVERSION 1, 0, 0, 0' 'FILEVERSION 1,0,0,0'
# The main window must keep the standard dialog class and the caption by
# which other copies of the program find it.
awk '/^1 DIALOGEX/{on=1} on&&/^END/{exit} on' "$tmp/back.rc" > "$tmp/main.rc"
grep -q '^CAPTION "Lirva"$' "$tmp/main.rc" || bad 'dialog 1 caption is not "Lirva"'
grep -q '^CLASS' "$tmp/main.rc" && bad 'dialog 1 must use the standard dialog class'
# custom controls in their places
grep -q 'CONTROL "", 105, "LWAVEWINDOW"' "$tmp/back.rc" || bad 'LWaveWindow control 105 missing'
grep -q 'CONTROL "", 104, "LDBDISPLAY"' "$tmp/back.rc" || bad 'LDBDisplay control 104 missing'
grep -q 'CONTROL "", 108, "LDBEDIT", 0x5001000b' "$tmp/back.rc" || bad 'LDBEdit control 108 (style bits 0x000B) missing'
grep -q 'CONTROL "", 999, "LAW"' "$tmp/back.rc" || bad 'LAW control 999 missing'

# --- pictures ---------------------------------------------------------------
ident() { identify -format "$2" "$1" 2>/dev/null; }
bmp_type() { [ "$(ident "$1" '%m')" = BMP3 ] || bad "$(basename "$1"): not a plain Windows BMP (BITMAPINFOHEADER)"; }

for f in "$here"/toolbar-{1-help,2-add,3-remove,4-play,5-tag}.bmp; do
  [ -f "$f" ] || { bad "missing $(basename "$f")"; continue; }
  bmp_type "$f"
  [ "$(ident "$f" '%wx%h')" = 22x24 ] || bad "$(basename "$f"): $(ident "$f" '%wx%h'), want 22x24"
  [ "$(ident "$f" '%[pixel:p{0,0}]')" = 'srgb(192,192,192)' ] || bad "$(basename "$f"): background is not RGB(192,192,192)"
done

for n in play scrub stop start rewind forward end; do
  f=$here/player-$n.bmp
  [ -f "$f" ] || { bad "missing $(basename "$f")"; continue; }
  bmp_type "$f"
  w=$(ident "$f" '%w'); h=$(ident "$f" '%h')
  { [ "$w" -ge 16 ] && [ "$w" -le 20 ] && [ "$h" -ge 16 ] && [ "$h" -le 20 ]; } ||
    bad "$(basename "$f"): ${w}x${h}, want 16..20 pixels square"
  [ "$(ident "$f" '%[pixel:p{0,0}]')" = 'srgb(192,192,192)' ] || bad "$(basename "$f"): mask colour RGB(192,192,192) not in the corner"
done

# Level-meter patterns: 9 x 32, 16 colours, top row black, then columns
# black, colour, colour three times.
for pair in ldbgreen:0,255,0 ldbred:255,0,0; do
  f=$here/${pair%%:*}.bmp; want=${pair#*:}
  [ -f "$f" ] || { bad "missing $(basename "$f")"; continue; }
  bmp_type "$f"
  [ "$(ident "$f" '%wx%h %z')" = '9x32 4' ] || bad "$(basename "$f"): $(ident "$f" '%wx%h %z-bit'), want 9x32 4-bit"
  identify -verbose "$f" | grep -q 'Colormap entries: 16$' || bad "$(basename "$f"): palette is not 16 colours"
  convert "$f" -depth 8 txt:- | awk -v want="($want)" -v name="$(basename "$f")" '
    /^#/ { next }
    { split($1, xy, /[,:]/); x = xy[1]; y = xy[2]; c = $2
      expect = (y == 0 || x % 3 == 0) ? "(0,0,0)" : want
      if (c != expect) { printf "check-resources: %s: pixel %d,%d is %s, want %s\n", name, x, y, c, expect; bad = 1; exit } }
    END { exit bad }' >&2 || fail=1
done

f=$here/about.jpg
if [ -f "$f" ]; then
  [ "$(ident "$f" '%m')" = JPEG ] || bad "about.jpg is not a JPEG"
  w=$(ident "$f" '%w'); h=$(ident "$f" '%h')
  { [ "$w" -ge 300 ] && [ "$w" -le 400 ] && [ "$h" -ge 100 ] && [ "$h" -le 160 ]; } ||
    bad "about.jpg: ${w}x${h}, want 300..400 x 100..160"
  [ "$(ident "$f" '%[interlace]')" = None ] || bad "about.jpg must be baseline, not progressive"
  [ "$(ident "$f" '%[colorspace]')" = sRGB ] || bad "about.jpg must be an RGB picture"
else
  bad "missing about.jpg"
fi

[ "$(ident "$here/lirva.ico" '%wx%h ')" = '32x32 16x16 ' ] || bad "lirva.ico: $(ident "$here/lirva.ico" '%wx%h '), want 32x32 and 16x16"
[ "$(ident "$here/tag.ico" '%wx%h')" = 16x16 ] || bad "tag.ico: $(ident "$here/tag.ico" '%wx%h'), want 16x16"

# --- manifest ---------------------------------------------------------------
for m in "$here/lirva.manifest" "$here/lirva-amd64.manifest"; do
  grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$m" || bad "$(basename "$m") does not ask for common controls 6.0.0.0"
  grep -qiE 'trustInfo|requestedExecutionLevel|compatibility|supportedOS|dpiAware' "$m" && bad "$(basename "$m") must ask for nothing but common controls 6"
  [ "$(grep -c '<dependentAssembly>' "$m")" = 1 ] || bad "$(basename "$m") must name exactly one dependent assembly"
done
# Each build's manifest names its own processor; otherwise the common controls
# 6 assembly is not found and the program gets the old controls.
[ "$(grep -c 'processorArchitecture="x86"' "$here/lirva.manifest")" = 2 ] || bad 'lirva.manifest must name x86 twice'
[ "$(grep -c 'processorArchitecture="amd64"' "$here/lirva-amd64.manifest")" = 2 ] || bad 'lirva-amd64.manifest must name amd64 twice'
diff <(sed 's/"x86"/"amd64"/' "$here/lirva.manifest") "$here/lirva-amd64.manifest" >/dev/null || bad 'the two manifests differ in more than the processor'


if [ "$fail" = 0 ]; then
  echo "check-resources: all good"
fi
exit $fail

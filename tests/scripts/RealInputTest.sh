#!/usr/bin/env bash
# The main window under a window manager, acted on with real X input (Xvfb, openbox, xdotool):
#   close-cancel, close-escape: the close key of the window manager (Alt+F4) on unsaved work, then
#     Cancel or Escape at the save question: the window stays where it was, with its patterns and
#     its unsaved state (the question comes again), and the program goes on;
#   duplicate: a right click on a selected row of the patterns list, then Duplicate: one copy;
#   drag: the second row of the patterns list, selected, pressed and dragged above the first
#     with the button held: the two change places;
#   busy: a second start hands a large P 1 CIF to the empty window, whose thread is then busy
#     reading it: the progress window comes up while it is (untitled, above the rest, a text above
#     a bar) and goes when the structure is in the list;
#   peak-tip: a peak cut off by the top of the plot, near the top of the screen, with the pointer
#     resting on it: its tip opens on the screen and stays; its arrow expands and collapses it, and
#     the collapsed tip stays while the pointer rests, a drag on the plot let go over it changes nothing;
#   overview-box: one wheel notch over the plot: the overview box is on the screen half a second
#     later, and gone once its delay has passed;
#   large-window: the window made larger than the screen, File > Exit's question and Preferences
#     open wholly on the screen, and their Cancel buttons can be clicked;
#   asking-continue, asking-cancel: the program started with 21 files asks about them; meanwhile a
#     second start hands one more file over and ends; after Continue the 21 and the handed file are
#     listed, after Cancel the handed file alone;
#   many-new-window: a second start hands 21 files to the window that holds patterns: it asks
#     about them, and after Continue they open in a new window that does not ask again;
#   session-size: a session saved at 1200 x 790, its window then made 1000 x 600, and the session
#     handed over by a second start: the new window for it cascades and is 1200 x 790.
#   emptied-field: in the Instrument pane the wavelength's text cleared and Enter pressed, then a
#     lone "-" left with Tab: each time the field shows the wavelength in use again; 2 and Enter
#     then show 2.000;
#   dismissed-question: the reflexions limit taken off a large cell, Continue clicked at the
#     question about the many reflexions: while the long work that follows runs (its progress window
#     up), the place where the question was no longer shows its picture;
#   session-keys: a session opened with File > Open by its name typed without the extension, in a
#     new window: there Ctrl+L, Ctrl+Shift+K and Ctrl+Alt+W act at once, with no click first.
#   peak-tip-rest: the pointer on a peak and then resting two pixels up it: the tip goes, and a
#     move of one pixel more over the same peak opens it again;
#   peak-tip-node: a background curve given to the measured pattern, the pointer on its node at
#     the plot's right end, where a small rutile peak's tip opens over it: the node is dragged up;
#   folder-with-damaged-file: started with a folder of a good CIF and one cut inside its atom loop:
#     after OK at the alert about the cut one, the good structure is listed.
#   splitter-tracker: in the Scattering Factors palette, the bar between graph and list pressed and
#     dragged down in steps with the button held: the tracker is on the screen at the bar from the
#     press and at the pointer after each step; after the release it is gone and the bar is there.
#   open-wait-cursor: File > Open of a large P 1 CIF into the empty window: while the work holds the
#     program's thread, the pointer resting over the main window shows the wait cursor (the X
#     server's cursor image is that of the watch), the place where the file dialog was shows the
#     main window again, and once the work is done the cursor is the arrow again.
# Where a control is, the program says itself (QLW_CONTROL_MAP and SIGUSR1), and which windows have
# been painted since they were shown. Every wait is for what the program says, a window's state or
# picture, or a file, within a generous limit; long work is held open while it is looked at
# (QLW_HOLD_PROGRESS, honoured only with the control map), so it is long on any machine. The sleeps
# left set the pace of a person's input (a drag, the double-click time) or give something that must
# not happen its time to show: a slower machine cannot make them fail a sound program.
# Usage: RealInputTest.sh PROGRAM SOURCE_DIR CASE. Exit 77 (skipped) only without Xvfb, openbox or xdotool.
set -u
program=$1 source=$2 case=$3
for tool in Xvfb openbox xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/deps.sh --test installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($case): $*"
  [ -s "$work/map" ] && { echo "--- where the program's windows were:"; cat "$work/map"; }
  [ -s "$work/program.log" ] && { echo "--- the program's output:"; cat "$work/program.log"; }
  exit 1
}

# Runs its arguments until they succeed, for at most LIMIT tenths of a second (default 600) of
# wall-clock time, however long each try takes; they are tried once more at the end.
limit=600
tenths() { local t=${EPOCHREALTIME/[.,]/}; echo $((10#$t / 100000)); }
until_ok() {
  local end=$(($(tenths) + limit))
  until "$@"; do
    [ "$(tenths)" -lt "$end" ] || { "$@"; return; }
    sleep 0.1
  done
}

# A display of our own, at whatever number is free, with the window manager on it.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
until_ok test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n 1 "$work/display")"
HOME="$work" openbox --startup "touch '$work/managing'" >"$work/openbox.log" 2>&1 &
pids+=($!)
until_ok test -f "$work/managing" || fail "openbox did not start: $(cat "$work/openbox.log")"

mkdir -m 700 "$work/registry" "$work/run"
# Sites spread over a P 1 cell of EDGE Å, N of them, as a CIF on standard output.
spread_sites() {
  awk -v edge="$1" -v n="$2" 'BEGIN {
    print "data_spread"; print "_cell_length_a " edge; print "_cell_length_b " edge; print "_cell_length_c " edge
    print "_cell_angle_alpha 90"; print "_cell_angle_beta 90"; print "_cell_angle_gamma 90"
    print "_symmetry_space_group_name_H-M \047P 1\047"
    print "loop_"; print "_atom_site_label"; print "_atom_site_type_symbol"
    print "_atom_site_fract_x"; print "_atom_site_fract_y"; print "_atom_site_fract_z"
    g = (sqrt(5) - 1) / 2
    for (i = 0; i < n; i++) {
      x = 0.0713 + (3 * i + 1) * g; y = x + g; z = y + g
      printf "O%d O %.6f %.6f %.6f\n", i + 1, x - int(x), y - int(y), z - int(z)
    }
  }'
}
files=("$source/examples/rutile.cif" "$source/tests/data/Quartz.cif")
expected_rows=2
[ "$case" = busy ] && files=()
# Copies of a structure, for the question about many files (more than 20).
many() {
  local i
  mkdir -p "$work/many"
  for ((i = 1; i <= 21; i++)); do cp "$source/examples/rutile.cif" "$work/many/rutile-$i.cif"; done
  ls "$work/many"/*.cif
}
case "$case" in asking-*) mapfile -t files < <(many) ;; esac
if [ "$case" = dismissed-question ]; then
  # Without a limit, some 400,000 reflexions to 2 theta = 180 degrees: the question about many
  # comes up. The work after it is held open while it is looked at, so its length does not matter.
  spread_sites 45 300 >"$work/large.cif"
  files=("$work/large.cif") expected_rows=1
fi
[ "$case" = peak-tip-node ] && files=("$source/examples/rutile.cif" "$source/examples/rutile-anatase-measured.dat")
if [ "$case" = folder-with-damaged-file ]; then
  mkdir "$work/folder"
  cp "$source/examples/rutile.cif" "$work/folder/a-good.cif"
  sed '/^O1 /q' "$source/examples/rutile.cif" | head -c -20 >"$work/folder/b-cut.cif"
  files=("$work/folder") expected_rows=1
fi
[ "$case" = open-wait-cursor ] && files=() expected_rows=0
# While $work/hold exists, the work that shows the progress window stays open (for the cases that
# look at that window).
export QLW_HOLD_PROGRESS="$work/hold"
HOME="$work" QLW_REGISTRY_DIR="$work/registry" QLW_RUNTIME_DIR="$work/run" QLW_CONTROL_MAP="$work/map" \
  "$program" "${files[@]}" >"$work/program.log" 2>&1 &
app=$!
pids+=($app)

# The program writes where its windows, controls, list rows and menu items are (screen pixels).
# Only the program is signalled: once it has ended, its pid may be another process's.
name=$(basename "$program" | cut -c 1-15)
is_program() { [ "$(cat "/proc/$app/comm" 2>/dev/null)" = "$name" ]; }
# The map of a process of the program (each writes it to the same file), and the program's own.
# A process busy with long work writes it once its thread is free again, or not at all once it ended.
map_of() {
  rm -f "$work/map"
  kill -USR1 "$1" 2>/dev/null || return 1
  limit=1200 until_ok map_written "$1"
  cat "$work/map" 2>/dev/null
}
map_written() { [ -f "$work/map" ] || ! kill -0 "$1" 2>/dev/null; }
map() { is_program && map_of "$app"; }
# The middle of the first line of the map that matches the pattern, as "X Y".
middle_of() { map | grep -m 1 -E "$1" | awk '{ print $(NF-3) + int($(NF-1) / 2), $(NF-2) + int($NF / 2) }'; }
rows() { map | grep -c '^row 3606 '; }
# The patterns list's row texts, top to bottom, one a line.
titles() { map | grep '^row 3606 ' | sed -E 's/^row 3606 [0-9]+ "(.*)" -?[0-9]+ -?[0-9]+ [0-9]+ [0-9]+$/\1/'; }
rows_are() { [ "$(rows)" = "$1" ]; }
rows_at_least() { [ "$(rows)" -ge "$1" ]; }
asked() { map | grep -q '"Save changes to Untitled?"'; }
not_asked() { ! asked; }
# Up and drawn: placed by the window manager, so that its buttons are where the map says.
asked_drawn() {
  local now
  now=$(map)
  grep -q '"Save changes to Untitled?"' <<<"$now" && grep -q '^painted "Quillonographic"$' <<<"$now"
}
menu_open() { map | grep -q '^menu '; }
# The program's main windows on the display (of the process given by the options): xdotool's name
# search also gives the native child windows inside them (tool bar, menu bar, panes), which have no
# name of their own, so each found is checked for the title itself.
main_windows() {
  local id
  for id in $(xdotool search --onlyvisible "$@" --name ' - Quillonographic$' 2>/dev/null); do
    xdotool getwindowname "$id" 2>/dev/null | grep -q ' - Quillonographic$' && echo "$id"
  done
}
main_window() { main_windows --pid "$app" | head -n 1; }
main_shown() { [ -n "$(main_window)" ]; }
click() { timeout 20 xdotool mousemove $1 click "$2"; }
# The progress window: the status manager's own, with its window class.
status_window() { xwininfo -root -tree 2>/dev/null | grep -m 1 'Quillonographic-CLXStatusWnd' | awk '{ print $1 }'; }
status_shown() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
# The progress window up: its id in $seen. Its picture is the background the server shows from the
# moment it is mapped.
status_up() {
  seen=$(status_window)
  [ -n "$seen" ] && status_shown "$seen"
}
# Whether the window titled as the pattern says has been painted since it was shown.
painted() { map | grep -q "^painted \"$1\"\$"; }
# Holds the next long work open until let go.
hold() { touch "$work/hold"; }
let_go() { rm -f "$work/hold"; }

until_ok main_shown || fail "the main window did not come up"
case "$case" in busy | asking-*) ;; *) until_ok rows_are "$expected_rows" || fail "the structures are not listed" ;; esac
# Looked for until found: a search made while the program's windows come and go may find none.
main_found() { window=$(main_window); [ -n "$window" ]; }
until_ok main_found || fail "the main window went"

# Keys go to the active window: asks the window manager for it until it is the main window.
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
# Asked again every 2 s, for at most two minutes.
activate_once() {
  xdotool windowactivate "$window" >/dev/null 2>&1
  limit=20 until_ok is_active
}
activate() {
  limit=1200 until_ok activate_once && return 0
  local active
  active=$(xdotool getactivewindow 2>&1)
  fail "the window manager did not activate the main window $window (active: $active \"$(xdotool getwindowname "$active" 2>&1)\" of $(xdotool getwindowpid "$active" 2>&1); program $app; $(xwininfo -id "$active" 2>&1 | grep -E 'Map State|geometry'))"
}

# Alt+F4 is openbox's close key; the question comes up for the unsaved document.
# Now and then the close key is let go by (seen in a few of some hundred runs, with the main window
# active and idle): with no question 20 s after it (nothing in the program takes that long), the key
# is pressed once more, as a user would.
close_with_question() {
  local attempt
  for attempt in 1 2; do
    activate
    xdotool key --clearmodifiers alt+F4
    if limit=200 until_ok asked; then
      until_ok asked_drawn || fail "the save question was not drawn"
      return 0
    fi
    echo "note: no save question 20 s after the close key; pressing it again"
  done
  fail "the save question did not come up (active: $(xdotool getactivewindow 2>&1))"
}

# The question about many files, up in the program whose map is read.
many_asked() {
  local now
  now=$(map)
  grep -q -E '^control [0-9]+ "Continue"' <<<"$now" && grep -q '^painted "Opening Many Files"$' <<<"$now"
}
# Another main window of the program (a new process): its window id, and then its process.
other_window() { main_windows | grep -v -x "$window" | head -n 1; }
other_shown() { [ -n "$(other_window)" ]; }
rows_of() { map_of "$1" | grep -c '^row 3606 '; }
second_start() {
  HOME="$work" QLW_REGISTRY_DIR="$work/registry" QLW_RUNTIME_DIR="$work/run" QLW_CONTROL_MAP="$work/map" \
    timeout 120 "$program" "$@" >"$work/second.log" 2>&1
}

# Clicks the button that the map line matching $2 names until the command $1 succeeds: a click
# that reaches a box before the window manager has placed it is lost (seen under load), so while
# the box stays up it is clicked again where the map now says it is.
press_until() {
  pressed() {
    eval "$1" && return 0
    click "$(middle_of "$2")" 1
    limit=100 until_ok eval "$1"
  }
  until_ok pressed "$1" "$2"
}
ended() { ! kill -0 "$app" 2>/dev/null; }

# Don't Save ends the program.
quit() {
  close_with_question
  press_until ended "^control [0-9]+ \"Don't Save\"" || fail "Don't Save did not end the program"
  wait "$app"
  local status=$?
  [ "$status" = 0 ] || fail "the program ended with status $status"
}

# How many pixels of the rectangle X Y W H, less the rectangle in the optional 5th to 8th
# arguments, differ between two pictures; the total after a slash. The picture's layout (its
# header's length, bits a pixel, bytes a line, colours) is read from its header.
differing_in() {
  local layout=($(od -An -v -tu4 --endian=big -N 100 "$work/$1.xwd" | tr -s ' \n' ' '))
  { cmp -l "$work/$1.xwd" "$work/$2.xwd"; true; } |
    awk -v skip=$((layout[0] + layout[19] * 12)) -v bpp=$((layout[11] / 8)) -v bpl="${layout[12]}" \
      -v x="$3" -v y="$4" -v w="$5" -v h="$6" -v ox="${7:-0}" -v oy="${8:-0}" -v ow="${9:-0}" -v oh="${10:-0}" '
    function inside(px, py) {
      return px >= x && px < x + w && py >= y && py < y + h && !(px >= ox && px < ox + ow && py >= oy && py < oy + oh)
    }
    BEGIN { for (py = y; py < y + h; py++) for (px = x; px < x + w; px++) if (inside(px, py)) total++ }
    $1 > skip {
      k = $1 - 1 - skip; py = int(k / bpl); px = int((k % bpl) / bpp)
      if (inside(px, py) && !((px, py) in seen)) { seen[px, py]; n++ }
    }
    END { print n + 0 "/" total + 0 }'
}

# Pictures of the whole screen, in rectangles of screen pixels; $work/before.xwd is one that stays
# the same from one look to the next.
screen_shot() { xwd -silent -root >"$work/$1.xwd" || fail "no picture of the screen"; }
screen_still() { screen_shot before; screen_shot again; cmp -s "$work/before.xwd" "$work/again.xwd"; }

# While held work shows its progress window ($seen), the place of the closed window in $box (with its
# frame) shows what stood there before it came, but for the progress window itself. $1 names it.
# QLW_KEEP_SHOT=FILE keeps the picture taken during the work for a look.
expect_drawn_again() {
  local status changed
  status=($(xwininfo -id "$seen" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'))
  screen_shot work
  status_shown "$seen" || fail "the work ended before its picture was taken, though held"
  [ -n "${QLW_KEEP_SHOT:-}" ] && cp "$work/work.xwd" "$QLW_KEEP_SHOT"
  changed=$(differing_in before work "${box[@]}" "${status[@]}")
  [ $((${changed%/*} * 10)) -lt "${changed#*/}" ] ||
    fail "$1's place was not drawn again for the work (${changed} pixels differ from before it)"
}

case "$case" in
  close-cancel | close-escape)
    activate
    xdotool key --clearmodifiers ctrl+bracketleft
    placed=$(map | grep '^window ".* - Quillonographic"')
    close_with_question
    if [ "$case" = close-cancel ]; then
      click "$(middle_of '^control 2 "Cancel"')" 1
    else
      xdotool key Escape
    fi
    until_ok not_asked || fail "the question stayed up"
    kill -0 "$app" 2>/dev/null || fail "the program ended"
    until_ok main_shown || fail "the main window is no longer on screen"
    same_main() { [ "$(main_window)" = "$window" ]; }
    until_ok same_main || fail "another main window took its place"
    [ "$(map | grep '^window ".* - Quillonographic"')" = "$placed" ] || fail "the window moved or changed size"
    rows_are 2 || fail "the patterns are gone"
    # Still unsaved: closing asks again.
    quit
    ;;
  duplicate)
    row=$(middle_of '^row 3606 0 ')
    click "$row" 1
    click "$row" 3
    until_ok menu_open || fail "no menu came up"
    click "$(middle_of '^menu "Duplicate"')" 1
    until_ok rows_at_least 3 || fail "Duplicate made no copy"
    until_ok eval '! menu_open' || fail "the menu stayed up"
    # Whatever a second menu or a second command would do has had its time.
    sleep 1
    ! menu_open || fail "a second menu came up"
    rows_are 3 || fail "Duplicate made $(rows) rows of 2, not 3"
    quit
    ;;
  drag)
    before=$(titles)
    [ "$(echo "$before" | wc -l)" = 2 ] || fail "the rows have no titles: $before"
    first=$(echo "$before" | sed -n 1p) second=$(echo "$before" | sed -n 2p)
    top=($(map | grep -m 1 '^row 3606 0 ' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
    # On the second row's title, then to the upper quarter of the first row, in small steps.
    read -r x y <<<"$(middle_of '^row 3606 1 ')"
    to=$((top[1] + top[3] / 4))
    click "$x $y" 1
    # Past the double-click time: the press below is a press of its own.
    sleep 1
    timeout 20 xdotool mousemove "$x" "$y" mousedown 1
    for ((at = y - 2; at > to; at -= 3)); do
      timeout 20 xdotool mousemove "$x" "$at"
      sleep 0.05
    done
    timeout 20 xdotool mousemove "$x" "$to"
    sleep 0.2
    timeout 20 xdotool mouseup 1
    swapped() { [ "$(titles)" = "$(printf '%s\n%s' "$second" "$first")" ]; }
    until_ok swapped || fail "the rows were not reordered: $(titles | tr '\n' '|') (before: $first|$second)"
    quit
    ;;
  busy)
    # Sites spread over a small P 1 cell: reading them is the long part, not the reflexions. The
    # reading is held open until its progress window has been looked at.
    spread_sites 30 100000 >"$work/busy.cif"
    listed() { rows_are 1 && [ -z "$(status_window)" ]; }
    hold
    HOME="$work" QLW_REGISTRY_DIR="$work/registry" QLW_RUNTIME_DIR="$work/run" \
      "$program" "$work/busy.cif" >"$work/second.log" 2>&1 || fail "the second start failed: $(cat "$work/second.log")"
    limit=1800 until_ok status_up || fail "no progress window came up while the file was read"
    info=$(xwininfo -id "$seen")
    # The window's picture: dark text in its upper part, the bar's highlight colour in its lower
    # (the marquee's block enters from the left, so a picture may show none of it yet).
    width=$(echo "$info" | awk '/Width:/ { print $2 }') height=$(echo "$info" | awk '/Height:/ { print $2 }')
    text=0 bar=0 counts=""
    text_and_bar() {
      xwd -silent -id "$seen" >"$work/status.xwd" 2>/dev/null || return 1
      counts=$(tail -c $((width * height * 4)) "$work/status.xwd" | od -An -v -tu1 -w4 |
        awk -v w="$width" -v h="$height" '{
          row = int((NR - 1) / w)
          if (row < h / 2 && $1 < 90 && $2 < 90 && $3 < 90) text++
          if (row >= h / 2 && $1 > 180 && $2 > 90 && $2 < 150 && $3 < 40) bar++
        } END { print text + 0, bar + 0 }')
      read -r text bar <<<"$counts"
      [ "$text" -gt 20 ] && [ "$bar" -gt 20 ]
    }
    until_ok text_and_bar
    # QLW_KEEP_SHOT=FILE keeps the picture for a look.
    [ -n "${QLW_KEEP_SHOT:-}" ] && cp "$work/status.xwd" "$QLW_KEEP_SHOT"
    status_shown "$seen" || fail "the progress window went while the reading was held"
    [ "$text" -gt 20 ] || fail "the progress window shows no text ($counts dark and highlight pixels; $info)"
    [ "$bar" -gt 20 ] || fail "the progress window shows no bar ($counts dark and highlight pixels; $info)"
    echo "$info" | grep -q 'has no name' || fail "the progress window has a title: $info"
    echo "$info" | grep -q 'Override Redirect State: yes' || fail "the window manager frames the progress window: $info"
    let_go
    limit=1800 until_ok listed || fail "the progress window stayed, or the structure is not listed ($(rows) rows)"
    quit
    ;;
  large-window)
    # A window larger than the screen: what it opens is centred on it where that fits, and always
    # wholly inside the screen (1600 x 1000, no panels), so that every button can be reached.
    activate
    xdotool key --clearmodifiers ctrl+bracketleft
    xdotool windowsize "$window" 3000 2500
    large() { map | grep -q '^window ".* - Quillonographic" -\?[0-9]\+ -\?[0-9]\+ 3000 2500$'; }
    until_ok large || fail "the window was not made 3000 x 2500: $(map | grep '^window')"
    on_screen() {
      local place
      place=($(map | grep -m 1 "^window \"$1\"" | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
      [ "${#place[@]}" = 4 ] || fail "no window \"$1\""
      [ "${place[0]}" -ge 0 ] && [ "${place[1]}" -ge 0 ] && [ $((place[0] + place[2])) -le 1600 ] &&
        [ $((place[1] + place[3])) -le 1000 ] || fail "\"$1\" is not inside the screen: ${place[*]}"
    }
    # File > Exit with unsaved work asks; Cancel, in reach, keeps the window.
    activate
    xdotool key --clearmodifiers alt+f
    until_ok menu_open || fail "the File menu did not open"
    click "$(middle_of '^menu "Exit"')" 1
    until_ok asked_drawn || fail "Exit did not ask to save"
    on_screen "Quillonographic"
    click "$(middle_of '^control 2 "Cancel"')" 1
    until_ok not_asked || fail "Cancel did not close the question"
    # A dialog of the program's own.
    activate
    xdotool key --clearmodifiers alt+e
    until_ok menu_open || fail "the Edit menu did not open"
    click "$(middle_of '^menu "Preferences..."')" 1
    preferences() { map | grep -q '^window "Preferences"'; }
    until_ok painted "Preferences" || fail "Preferences did not open"
    on_screen "Preferences"
    click "$(middle_of '^control 2 "Cancel"')" 1
    until_ok eval '! preferences' || fail "Cancel did not close Preferences"
    quit
    ;;
  peak-tip)
    pane=($(map | grep -m 1 '^control 5510 ' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
    [ "${#pane[@]}" = 4 ] || fail "the plot is not in the map"
    tips() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -v -x "$window"; }
    # Along the line y, in steps of half the reach of a peak's pointer, from left of the two
    # structures' strongest peaks (26.6 and 27.4 degrees of 0 to 80, some 40 % of the way along the
    # plot's pane) to the first peak whose tip comes up.
    # Swept again until a tip comes up: a busy program may answer the pointer late.
    sweep() {
      local x
      tip=
      for ((x = pane[0] + pane[2] * 3 / 10; x < pane[0] + pane[2] * 3 / 5; x += 4)); do
        timeout 20 xdotool mousemove "$x" "$1"
        sleep 0.03
        tip=$(tips | head -n 1)
        [ -n "$tip" ] && return 0
      done
      return 1
    }
    find_tip() { until_ok sweep "$1" || fail "no peak tip came up along y = $1"; }
    tip_on_screen() {
      local tx ty tw th
      read -r tx ty tw th <<<"$(xdotool getwindowgeometry --shell "$tip" |
        awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }')"
      [ "$tx" -ge 0 ] && [ "$ty" -ge 0 ] && [ $((tx + tw)) -le 1600 ] && [ $((ty + th)) -le 1000 ] ||
        fail "the peak tip is not inside the screen: $tx $ty $tw $th"
    }
    away() {
      timeout 20 xdotool mousemove $((pane[0] + pane[2] - 5)) $((pane[1] + pane[3] - 5))
      until_ok eval '[ -z "$(tips)" ]' || fail "the peak tip stayed after the pointer left"
    }
    # Resting on a peak half-way up the plot, below its tip: the tip stays well past both of its
    # timer's intervals, and goes once the pointer has left.
    find_tip $((pane[1] + pane[3] / 2))
    sleep 4
    [ -n "$(tips)" ] || fail "the peak tip went while the pointer rested on the peak"
    # Its states: a click on its arrow expands it, one on the arrow of the expanded tip collapses
    # it again and it stays while the pointer rests there; the release of a drag on the plot
    # changes nothing. Expanded, the balloon's light inside reaches the upper third of the window.
    read -r tx ty tw th <<<"$(xdotool getwindowgeometry --shell "$tip" |
      awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }')"
    light_above() {
      xwd -silent -id "$tip" >"$work/tip.xwd" 2>/dev/null || { echo 0; return; }
      tail -c $((tw * th * 4)) "$work/tip.xwd" | od -An -v -tu1 -w4 | awk -v w="$tw" -v h="$th" '{
        if (int((NR - 1) / w) < h / 3 && $1 > 150 && $2 > 150 && $3 > 150 && $1 + $2 + $3 < 765) n++
      } END { print n + 0 }'
    }
    expanded() { [ "$(light_above)" -gt 500 ]; }
    collapsed() { [ -n "$(tips)" ] && [ "$(light_above)" -lt 50 ]; }
    until_ok collapsed || fail "the tip did not open collapsed ($(light_above) light pixels above)"
    click "$((tx + 14)) $((ty + th - 28))" 1
    until_ok expanded || fail "a click on its arrow did not expand the tip ($(light_above) light pixels above)"
    click "$((tx + 15)) $((ty + 12))" 1
    until_ok collapsed || fail "a click on the expanded tip's arrow did not collapse it"
    sleep 2
    collapsed || fail "the collapsed tip went while the pointer rested on it"
    # Pressed on the plot below the tip, dragged straight up (no pan) and let go over it.
    timeout 20 xdotool mousemove $((tx + tw / 2)) $((ty + th + 30)) mousedown 1
    for ((y = ty + th + 25; y > ty + th - 20; y -= 5)); do timeout 20 xdotool mousemove $((tx + tw / 2)) "$y"; done
    timeout 20 xdotool mouseup 1
    sleep 0.3
    [ -z "$(tips)" ] || collapsed || fail "the release of a drag on the plot expanded the tip"
    away
    # The plot's top close to the screen's, and the strongest peaks magnified past the plot's top:
    # the tip of a peak cut off there opens on the screen.
    read -r wx wy <<<"$(map | grep -m 1 '^window ".* - Quillonographic"' | awk '{ print $(NF-3), $(NF-2) }')"
    xdotool windowmove "$window" "$wx" $((wy + 40 - pane[1]))
    plot_high() { [ "$(map | grep -m 1 '^control 5510 ' | awk '{ print $(NF-2) }')" = 40 ]; }
    until_ok plot_high || fail "the window was not moved up: $(map | grep -m 1 '^control 5510 ')"
    pane=($(map | grep -m 1 '^control 5510 ' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
    timeout 20 xdotool mousemove $((pane[0] + pane[2] / 2)) $((pane[1] + pane[3] / 2))
    for ((i = 0; i < 10; i++)); do timeout 20 xdotool click 4; sleep 0.1; done
    # The overview box that the wheel brings up takes the pointer's hover while it is shown: the
    # sweep is made again until it has gone.
    find_tip $((pane[1] + 45))
    tip_on_screen
    away
    quit
    ;;
  overview-box)
    pane=($(map | grep -m 1 '^control 5510 ' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
    [ "${#pane[@]}" = 4 ] || fail "the plot is not in the map"
    # Over the plot's right part, half-way up, where no peak reaches: no peak tip comes up.
    timeout 20 xdotool mousemove $((pane[0] + pane[2] * 9 / 10)) $((pane[1] + pane[3] / 2))
    shot() { xwd -silent -id "$window" >"$work/$1.xwd" || fail "no picture of the window"; }
    differing() { cmp -l "$work/$1.xwd" "$work/$2.xwd" | wc -l; }
    # A picture that stays the same from one look to the next, in NAME.xwd.
    still_as() { shot "$1"; shot next; [ "$(differing "$1" next)" -lt 100 ]; }
    until_ok still_as before || fail "the window kept changing before the notch"
    timeout 20 xdotool click 4
    # The notch's step and the box over it, drawn and standing; then the box hides once its delay
    # has passed, and the window is still from then on.
    box_shown() { still_as shown && [ "$(differing before shown)" -gt 2000 ]; }
    until_ok box_shown || fail "the window did not change for the notch ($(differing before shown) bytes changed)"
    # QLW_KEEP_SHOT=FILE keeps the picture with the box for a look.
    [ -n "${QLW_KEEP_SHOT:-}" ] && cp "$work/shown.xwd" "$QLW_KEEP_SHOT"
    box_gone() { still_as gone && [ "$(differing shown gone)" -gt 2000 ]; }
    until_ok box_gone || fail "no overview box after the notch, or it stayed ($(differing shown gone) bytes changed)"
    quit
    ;;
  asking-continue | asking-cancel)
    until_ok many_asked || fail "the question about the 21 files did not come up"
    cp "$source/tests/data/Quartz.cif" "$work/handed.cif"
    second_start "$work/handed.cif" || fail "the second start failed with status $?: $(cat "$work/second.log")"
    if [ "$case" = asking-cancel ]; then
      click "$(middle_of '^control [0-9]+ "Cancel"')" 1
      until_ok rows_are 1 || fail "the handed file is not listed after Cancel ($(rows) rows)"
      sleep 1
      rows_are 1 || fail "$(rows) rows after Cancel, not the handed file alone"
      ! other_shown || fail "a new window came up after Cancel"
    else
      click "$(middle_of '^control [0-9]+ "Continue"')" 1
      # Tall enough to show every row.
      xdotool windowsize "$window" 1500 980
      # The handed file joins the list while it opens, or comes after it in a window of its own.
      all_listed() {
        rows_are 22 && return 0
        rows_are 21 && other_shown || return 1
        other=$(xdotool getwindowpid "$(other_window)")
        pids+=("$other")
        [ "$(rows_of "$other")" = 1 ]
      }
      until_ok all_listed || fail "the 21 files and the handed one are not listed after Continue ($(rows) rows here)"
    fi
    quit
    ;;
  many-new-window)
    mapfile -t handed < <(many)
    second_start "${handed[@]}" &
    second=$!
    until_ok many_asked || fail "the window that holds patterns did not ask about the 21 files"
    click "$(middle_of '^control [0-9]+ "Continue"')" 1
    wait "$second" || fail "the second start failed: $(cat "$work/second.log")"
    until_ok other_shown || fail "no new window came up for the 21 files"
    other=$(xdotool getwindowpid "$(other_window)")
    pids+=("$other")
    xdotool windowsize "$(other_window)" 1500 980
    asked_again() { map_of "$other" | grep -q -E '^control [0-9]+ "Continue"'; }
    listed() { ! asked_again && [ "$(rows_of "$other")" = 21 ]; }
    until_ok listed || fail "the new window lists $(rows_of "$other") rows$(asked_again && echo ", and asks about the files again")"
    rows_are 2 || fail "the first window lists $(rows) rows, not its 2"
    quit
    ;;
  session-size)
    size_is() { map | grep -q "^window \".* - Quillonographic\" -\?[0-9]\+ -\?[0-9]\+ $1 $2\$"; }
    activate
    xdotool windowsize "$window" 1200 790
    until_ok size_is 1200 790 || fail "the window was not made 1200 x 790: $(map | grep '^window')"
    session="$work/sized.quillonographic"
    activate
    xdotool key --clearmodifiers alt+f
    until_ok menu_open || fail "the File menu did not open"
    click "$(middle_of '^menu "Save As..."')" 1
    # The file dialog is Qt's own, not in the map: another window of the program.
    # Typed once it is the active window, where its name field has the keys.
    saving() {
      local active
      active=$(xdotool getactivewindow 2>/dev/null)
      [ -n "$active" ] && [ "$active" != "$window" ] && [ "$(xdotool getwindowpid "$active" 2>/dev/null)" = "$app" ]
    }
    until_ok saving || fail "File > Save As... did not ask where"
    xdotool type --delay 20 "$session"
    xdotool key Return
    until_ok test -s "$session" || fail "the session was not saved"
    xdotool windowsize "$window" 1000 600
    until_ok size_is 1000 600 || fail "the window was not made 1000 x 600: $(map | grep '^window')"
    placed=($(map | grep -m 1 '^window ".* - Quillonographic"' | awk '{ print $(NF-3), $(NF-2) }'))
    second_start "$session" || fail "the second start failed with status $?: $(cat "$work/second.log")"
    until_ok other_shown || fail "the session opened no new window"
    other=$(xdotool getwindowpid "$(other_window)")
    pids+=("$other")
    other_place() { map_of "$other" | grep -m 1 '^window ".* - Quillonographic"' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'; }
    sized_other() { [ "$(other_place | cut -d ' ' -f 3-)" = "1200 790" ]; }
    until_ok sized_other || fail "the new window is not 1200 x 790: $(other_place)"
    at=($(other_place))
    [ "${at[0]}" -gt "${placed[0]}" ] && [ "${at[1]}" -gt "${placed[1]}" ] ||
      fail "the new window at ${at[*]} did not cascade from the first at ${placed[*]}"
    # Saved: the close key ends the program without a question.
    activate
    xdotool key --clearmodifiers alt+F4
    limit=300 until_ok eval '! kill -0 "$app" 2>/dev/null' || fail "the close key did not end the program"
    ;;
  emptied-field)
    text_of() { map | grep -m 1 "^control $1 " | sed -E 's/^control [0-9]+ "(.*)" -?[0-9]+ -?[0-9]+ [0-9]+ [0-9]+$/\1/'; }
    shows() { [ "$(text_of 2317)" = "$1" ]; }
    shown() { map | grep -q "^control $1 "; }
    activate
    click "$(middle_of '^row 3606 0 ')" 1
    click "$(middle_of '^control 2203 "Parameters"')" 1
    until_ok shown 2290 || fail "the Parameters page did not come up"
    click "$(middle_of '^control 2290 ')" 1
    until_ok shown 2317 || fail "the Instrument pane did not open"
    before=$(text_of 2317)
    [ -n "$before" ] || fail "the wavelength field is empty before anything was typed"
    click "$(middle_of '^control 2317 ')" 1
    xdotool key --clearmodifiers ctrl+a BackSpace
    until_ok shows "" || fail "the text was not cleared: \"$(text_of 2317)\""
    xdotool key Return
    until_ok shows "$before" || fail "after Enter on an empty field it shows \"$(text_of 2317)\", not \"$before\""
    xdotool key --clearmodifiers ctrl+a minus
    until_ok shows "-" || fail "the minus was not typed: \"$(text_of 2317)\""
    xdotool key Tab
    until_ok shows "$before" || fail "after leaving a lone minus it shows \"$(text_of 2317)\", not \"$before\""
    click "$(middle_of '^control 2317 ')" 1
    xdotool key --clearmodifiers ctrl+a 2 Return
    until_ok shows "2.000" || fail "2 and Enter show \"$(text_of 2317)\""
    quit
    ;;
  dismissed-question)
    # Where a window of another depth (the question) is up, a picture of the screen shows black, so
    # the place where the question was is compared with the picture before it came.
    activate
    # The pointer off the window, where no peak tip or hover changes the picture: the picture
    # before is one that stays the same from one look to the next.
    timeout 20 xdotool mousemove 5 5
    until_ok screen_still || fail "the screen kept changing with the pointer off the window"
    xdotool key --clearmodifiers alt+d
    until_ok menu_open || fail "the Diffraction menu did not open"
    click "$(middle_of '^menu "Reflexions Limit..."')" 1
    until_ok painted "Reflexions Limit" || fail "Reflexions Limit did not open"
    click "$(middle_of '^control 3000 ')" 1
    click "$(middle_of '^control 1 "OK"')" 1
    until_ok painted "Many Reflexions" || fail "no question about many reflexions came up without the limit"
    # With the window manager's frame around it, which goes too.
    box=($(map | grep -m 1 '^window "Many Reflexions"' |
      awk '{ print $(NF-3) - 5, $(NF-2) - 30, $(NF-1) + 10, $NF + 35 }'))
    # The work after Continue is held open while it is looked at.
    hold
    # Asked of the X server: the map waits while the work holds the program's thread.
    question_gone() { status_up || [ -z "$(xdotool search --onlyvisible --pid "$app" --name '^Many Reflexions$' 2>/dev/null)" ]; }
    press_until question_gone '^control 1 "Continue"' || fail "Continue did not close the question"
    timeout 20 xdotool mousemove 5 5
    # Looked at while the work goes on, its progress window up (which may lie where the box was).
    limit=1800 until_ok status_up || fail "no progress window came up after Continue"
    expect_drawn_again "the question"
    let_go
    limit=1800 until_ok eval '[ -z "$(status_window)" ]' || fail "the work did not end"
    quit
    ;;
  session-keys)
    # A session saved here, then opened with File > Open by its name typed without the extension:
    # this window holds patterns, so the session comes up in a new window, whose keys act at once.
    session="$work/keys.diffract"
    # The file dialog is Qt's own, not in the map: the program's other window, once it is active.
    dialog() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -v -x "$window" | head -n 1; }
    dialog_active() { [ -n "$(dialog)" ] && [ "$(xdotool getactivewindow 2>/dev/null)" = "$(dialog)" ]; }
    activate
    xdotool key --clearmodifiers ctrl+s
    until_ok dialog_active || fail "Ctrl+S did not ask where to save"
    xdotool type --delay 20 "$session"
    xdotool key Return
    until_ok test -s "$session" || fail "the session was not saved"
    until_ok eval '[ -z "$(dialog)" ]' || fail "the save dialog stayed up"
    activate
    xdotool key --clearmodifiers ctrl+o
    until_ok dialog_active || fail "Ctrl+O did not ask which file"
    xdotool type --delay 20 "${session%.*}"
    xdotool key Return
    until_ok other_shown || fail "the session typed without its extension opened no new window (still up: $(xdotool getwindowname "$(dialog)" 2>&1))"
    opened=$(other_window)
    other=$(xdotool getwindowpid "$opened")
    pids+=("$other")
    until_ok eval '[ "$(rows_of "$other")" = 2 ]' || fail "the new window lists $(rows_of "$other") rows, not the session's 2"
    until_ok eval '[ "$(xdotool getactivewindow 2>/dev/null)" = "$opened" ]' ||
      fail "the new window is not active (active: $(xdotool getactivewindow 2>&1))"
    # No click first: Plot Range, then Stacked (a change) and Close Without Saving, which now acts.
    limits() { map_of "$other" | grep -q '^window "Plot Limits"'; }
    xdotool key --clearmodifiers ctrl+l
    until_ok limits || fail "Ctrl+L did not open the plot range in the new window"
    xdotool key Escape
    until_ok eval '! limits' || fail "Escape did not close the plot range"
    xdotool key --clearmodifiers ctrl+shift+k ctrl+alt+w
    limit=300 until_ok eval '! kill -0 "$other" 2>/dev/null' || fail "Ctrl+Alt+W did not close the new window after a change"
    # Saved: the close key ends the first program without a question.
    activate
    xdotool key --clearmodifiers alt+F4
    limit=300 until_ok eval '! kill -0 "$app" 2>/dev/null' || fail "the close key did not end the program"
    ;;
  peak-tip-rest)
    pane=($(map | grep -m 1 '^control 5510 ' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
    [ "${#pane[@]}" = 4 ] || fail "the plot is not in the map"
    # A tip is the program's only window besides the main one here.
    tip_up() { [ -n "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -v -x "$window")" ]; }
    tip_gone() { ! tip_up; }
    # Half-way up the plot, rightwards in steps of two pixels from left of the strongest peaks (some
    # 40 % of the way along) to the first place where a tip comes up: a peak's reach is four pixels
    # on either side, so that place is on the peak even when the tip came a few steps late.
    # On a loaded machine the tip may come too late for a step: the sweep is made again.
    y=$((pane[1] + pane[3] / 2)) x=
    rest_sweep() {
      local px
      for ((px = pane[0] + pane[2] * 3 / 10; px < pane[0] + pane[2] * 3 / 5; px += 2)); do
        timeout 20 xdotool mousemove "$px" "$y"
        limit=3 until_ok tip_up && { x=$px; return 0; }
      done
      return 1
    }
    until_ok rest_sweep || fail "no peak tip came up along y = $y"
    # Resting two pixels up the same peak, below its tip and off the place where it opened.
    timeout 20 xdotool mousemove "$x" $((y - 2))
    until_ok tip_gone || fail "the tip stayed with the pointer resting off the place where it opened"
    timeout 20 xdotool mousemove "$x" $((y - 3))
    until_ok tip_up || fail "a move over the same peak did not open its tip again"
    quit
    ;;
  peak-tip-node)
    pane=($(map | grep -m 1 '^control 5510 ' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
    [ "${#pane[@]}" = 4 ] || fail "the plot is not in the map"
    tip_up() { [ -n "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -v -x "$window")" ]; }
    # The bright red pixels of the right half of the plot's pane (the background's nodes, picked or
    # not; the measured pattern is a darker red), one "X Y" a line, in screen pixels.
    red_pixels() {
      xwd -silent -root >"$work/plot.xwd" 2>/dev/null || return 1
      local layout=($(od -An -v -tu4 --endian=big -N 100 "$work/plot.xwd" | tr -s ' \n' ' '))
      local bpp=$((layout[11] / 8)) bpl=${layout[12]}
      od -An -v -tu1 -w"$bpl" -j $((layout[0] + layout[19] * 12 + pane[1] * bpl)) -N $((pane[3] * bpl)) "$work/plot.xwd" |
        awk -v x0="${pane[0]}" -v w="${pane[2]}" -v y0="${pane[1]}" -v bpp="$bpp" '{
          for (x = x0 + int(w / 2); x < x0 + w; x++) {
            i = x * bpp + 1
            if ($(i + 2) > 240 && $(i + 1) < 64 && $i < 64) print x, y0 + NR - 1
          }
        }'
    }
    # The node furthest right: where its red is, and its middle row.
    right_node() {
      red_pixels | awk 'NR == 1 || $1 > mx { mx = $1 } { xs[NR] = $1; ys[NR] = $2 }
        END { for (i = 1; i <= NR; i++) if (xs[i] >= mx - 3) { s += ys[i]; n++ } if (n) print mx, int(s / n + 0.5) }'
    }
    click "$(middle_of '^row 3606 [0-9]+ "rutile-anatase-measured"')" 1
    click "$(middle_of '^control 2203 ')" 1
    until_ok eval 'map | grep -q "^control 2210 "' || fail "no Background pane among the parameters"
    click "$(middle_of '^control 2210 ')" 1
    until_ok eval 'map | grep -q "^control 2211 "' || fail "the Background pane did not open"
    click "$(middle_of '^control 2211 ')" 1
    timeout 20 xdotool mousemove 5 5
    node=
    has_node() { node=($(right_node)); [ "${#node[@]}" = 2 ] && [ "${node[0]}" -gt $((pane[0] + pane[2] * 4 / 5)) ]; }
    until_ok has_node || fail "no background node at the plot's right end"
    # Onto the node from its left, along the background curve, over the small peak beside it.
    x=${node[0]} y=${node[1]}
    timeout 20 xdotool mousemove $((x - 10)) "$y"
    timeout 20 xdotool mousemove "$x" "$y"
    until_ok tip_up || fail "no peak tip came up on the node"
    tip=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -v -x "$window" | head -n 1)
    read -r tx ty tw th <<<"$(xdotool getwindowgeometry --shell "$tip" |
      awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }')"
    [ "$x" -ge "$tx" ] && [ "$x" -lt $((tx + tw)) ] && [ "$y" -ge "$ty" ] && [ "$y" -lt $((ty + th)) ] ||
      fail "the tip ($tx $ty $tw $th) does not lie over the node at $x $y"
    timeout 20 xdotool mousedown 1
    for ((i = 1; i <= 8; i++)); do timeout 20 xdotool mousemove "$x" $((y - 5 * i)); done
    timeout 20 xdotool mouseup 1
    timeout 20 xdotool mousemove 5 5
    moved() { has_node && [ "${node[1]}" -le $((y - 30)) ]; }
    until_ok moved || fail "the node did not follow the drag (it is at ${node[*]}, was at $x $y)"
    quit
    ;;
  folder-with-damaged-file)
    alert_up() { map | grep -q '^window "Invalid Data"'; }
    until_ok alert_up || fail "no alert about the cut file came up"
    click "$(middle_of '^control 1 "OK"')" 1
    until_ok eval '! alert_up' || fail "the alert stayed up"
    until_ok rows_are 1 || fail "the good structure is not listed after the alert ($(rows) rows)"
    quit
    ;;
  splitter-tracker)
    activate
    xdotool key --clearmodifiers alt+p
    until_ok menu_open || fail "the Patterns menu did not open"
    click "$(middle_of '^menu "Scattering Factors"')" 1
    # The bar between the palette's graph and list, once its window is drawn where the map says.
    bar=()
    bar_drawn() {
      local now
      now=$(map)
      bar=($(grep -m 1 '^control 3505 ' <<<"$now" | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }'))
      [ "${#bar[@]}" = 4 ] && grep -q '^painted "Scattering Factors"$' <<<"$now"
    }
    until_ok bar_drawn || fail "the Scattering Factors palette did not come up"
    # The tracker of a bar across: a window of its own at the top level, lines a pixel either side
    # of Y, as wide as the bar, mapped; its id in $tracker.
    tracker=
    tracker_at() {
      tracker=$(xwininfo -root -children 2>/dev/null |
        grep -E " ${bar[2]}x3\+-?[0-9]+\+-?[0-9]+ +\+${bar[0]}\+$(($1 - 1))\$" | awk '{ print $1 }')
      [ -n "$tracker" ] && xwininfo -id "$tracker" 2>/dev/null | grep -q 'Map State: IsViewable'
    }
    no_tracker() { ! xwininfo -id "$tracker" 2>/dev/null | grep -q 'Map State: IsViewable'; }
    trackers() { xwininfo -root -children 2>/dev/null | grep -E " ${bar[2]}x3\+"; }
    x=$((bar[0] + bar[2] / 2)) y=$((bar[1] + bar[3] / 2))
    timeout 20 xdotool mousemove "$x" "$y" mousedown 1
    until_ok tracker_at "$y" || fail "no tracker at the bar ($y) after the press: $(trackers)"
    for ((step = 1; step <= 5; step++)); do
      timeout 20 xdotool mousemove "$x" $((y + 4 * step))
      until_ok tracker_at $((y + 4 * step)) || fail "no tracker at the pointer ($((y + 4 * step))) after step $step: $(trackers)"
    done
    timeout 20 xdotool mouseup 1
    until_ok no_tracker || fail "the tracker stayed after the release"
    moved() { bar_drawn && [ $((bar[1] + bar[3] / 2)) = $((y + 20)) ]; }
    until_ok moved || fail "the bar is at ${bar[*]} after the release, not centred on $((y + 20))"
    quit
    ;;
  open-wait-cursor)
    # The cursor the X server shows: the watch's image, from the cursor font as the program makes
    # it, and the arrow's over the idle window.
    cursor_image="$(dirname "$program")/qlwcursorimage"
    [ -x "$cursor_image" ] || fail "no $cursor_image (built with the tests)"
    watch=$("$cursor_image" glyph 150) || fail "the watch's image could not be had"
    cursor_is() { [ "$("$cursor_image")" = "$1" ]; }
    spread_sites 30 100000 >"$work/long.cif"
    read -r wx wy ww wh <<<"$(map | grep -m 1 '^window ".* - Quillonographic"' | awk '{ print $(NF-3), $(NF-2), $(NF-1), $NF }')"
    # Over the main window, clear of its middle, where the progress window comes up.
    activate
    timeout 20 xdotool mousemove $((wx + 30)) $((wy + wh / 2))
    until_ok eval '[ -n "$("$cursor_image")" ]' || fail "no cursor image"
    arrow=$("$cursor_image")
    [ "$arrow" != "$watch" ] || fail "the idle window shows the watch"
    until_ok screen_still || fail "the screen kept changing with the pointer at rest"
    dialog() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -v -x "$window" | head -n 1; }
    dialog_active() { [ -n "$(dialog)" ] && [ "$(xdotool getactivewindow 2>/dev/null)" = "$(dialog)" ]; }
    hold
    xdotool key --clearmodifiers ctrl+o
    until_ok dialog_active || fail "Ctrl+O did not ask which file"
    # The dialog with the window manager's frame around it.
    box=($(xdotool getwindowgeometry --shell "$(dialog)" |
      awk -F= '{ v[$1] = $2 } END { print v["X"] - 5, v["Y"] - 30, v["WIDTH"] + 10, v["HEIGHT"] + 35 }'))
    xdotool type --delay 20 "$work/long.cif"
    xdotool key Return
    limit=1800 until_ok status_up || fail "no progress window came up for the file opened"
    limit=1800 until_ok cursor_is "$watch" ||
      fail "the pointer over the main window shows no wait cursor while the work holds the program ($("$cursor_image"), watch $watch, arrow $arrow)"
    expect_drawn_again "the file dialog"
    let_go
    listed() { rows_are 1 && [ -z "$(status_window)" ]; }
    limit=1800 until_ok listed || fail "the work did not end, or the structure is not listed ($(rows) rows)"
    until_ok cursor_is "$arrow" || fail "the wait cursor stayed after the work: $("$cursor_image")"
    quit
    ;;
  *)
    fail "no case $case"
    ;;
esac
echo "passed: $case"

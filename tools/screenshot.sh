#!/usr/bin/env bash
# Builds Quillo, starts it under Xvfb on a sample feed in a temporary program
# directory, and writes a picture of its window to docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)" --target quillo

home=$(mktemp -d)
xvfb_pid=""
quillo_pid=""
cleanup() {
  [ -n "$quillo_pid" ] && kill "$quillo_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

cat > "$home/Default.xml" <<'FEED'
<?xml version="1.0" encoding="ISO-8859-1"?>
<rss version="2.0">
<channel>
<title>Harbour Town News</title>
<link>http://news.harbour-town.example/</link>
<description>What happened on the quay this week</description>
<item><title><![CDATA[Ferry timetable changes for the winter]]></title><link>http://news.harbour-town.example/ferry</link><description><![CDATA[<p>The <b>morning crossing</b> moves to 7:40.</p>]]></description></item>
<item><title><![CDATA[Lifeboat crew wins regional award]]></title><link>http://news.harbour-town.example/lifeboat</link><description><![CDATA[<p>Twelve volunteers were honoured.</p>]]></description></item>
<item><title><![CDATA[Fish market reopens after repairs]]></title><link>http://news.harbour-town.example/market</link><description><![CDATA[<p>Stalls open at dawn on Saturday.</p>]]></description></item>
</channel>
</rss>
FEED

# The first free display number.
display=90
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

DISPLAY=":$display" QUILLO_HOME="$home" build/release/bin/quillo >/dev/null 2>&1 &
quillo_pid=$!
sleep 3
kill -0 "$quillo_pid"

# Click the Topics tab, so the picture shows the headline tree and the preview.
DISPLAY=":$display" python3 - <<'CLICK'
import ctypes
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xtest = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x11.XOpenDisplay(None))
xtest.XTestFakeMotionEvent(display, -1, 110, 32, 0)
xtest.XTestFakeButtonEvent(display, 1, 1, 0)
xtest.XTestFakeButtonEvent(display, 1, 0, 0)
x11.XFlush(display)
x11.XCloseDisplay(display)
CLICK
sleep 1

mkdir -p docs
DISPLAY=":$display" import -window root docs/screenshot.png
echo "wrote docs/screenshot.png"

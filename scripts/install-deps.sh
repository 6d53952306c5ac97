#!/usr/bin/env bash
# Installs the Debian packages that the build and every test tier need.
# Only what is missing is installed; a machine that has everything hears nothing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config git
  # toolkit
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  # X11: window control, key grabs, capture, synthetic input
  libx11-dev libx11-xcb-dev libxcb1-dev libxext-dev libxtst-dev libxrandr-dev
  libxinerama-dev libxcomposite-dev libxfixes-dev libxres-dev
  libxcb-randr0-dev libxcb-res0-dev libxcb-xtest0-dev libxcb-keysyms1-dev
  libxcb-icccm4-dev libxcb-ewmh-dev libxcb-xinerama0-dev
  libxcb-shm0-dev libxcb-composite0-dev libxcb-xfixes0-dev
  # the exact pointer positions of XInput 2 events, which Qt rounds on scaled screens
  libxcb-xinput-dev
  # signatures
  libsodium-dev
  # still images: PNG and JPEG encoders
  libspng-dev libturbojpeg0-dev
  # reading text (Tesseract, English model) and QR and bar codes (ZXing-cpp)
  libtesseract-dev tesseract-ocr-eng libzxing-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # end-to-end tier: a private X server, a window manager, clients, tools
  xvfb xauth openbox xterm xdotool x11-utils x11-xserver-utils x11-apps dbus
  imagemagick
  # gdbus, to call the program's D-Bus interface in the end-to-end test
  libglib2.0-bin
  # a nested X server with two Xinerama heads for the two-display end-to-end test
  xserver-xephyr
  # window capture and layout of a GTK 4 program with client-side decorations
  # (a shadow margin in _GTK_FRAME_EXTENTS) under a compositing manager, end to end
  gnome-calculator xfwm4
  # a tray host (XEmbed system tray) for the tray-icon end-to-end tests, and a panel with a strut
  tint2
  # a second window-control client the snap-latency benchmark compares against
  wmctrl
  # capture end-to-end tests and benchmarks: clipboard reads, a clipboard
  # manager, and the screenshot tool the capture benchmark compares against
  xclip scrot
  # a QR code to read back in the Recognize Text/QR end-to-end test
  qrencode
  # the command-line readers the text-recognition benchmark compares against
  tesseract-ocr zbar-tools
  # xfsettingsd is the clipboard manager (CLIPBOARD_MANAGER, SAVE_TARGETS) that
  # keeps a copied image after the program quits; it needs a session bus
  xfce4-settings
  # scrolling-capture end-to-end test: a GTK and a Qt text view that scroll
  # other distances per wheel click than xterm (text is read back with tesseract)
  l3afpad featherpad
  # screen recording: H.264 (libx264) in MPEG-4 through FFmpeg's libraries,
  # BGRA to I420 with libyuv, XDamage to skip unchanged frames; ffmpeg and
  # ffprobe check recordings in the end-to-end test and run beside us in the benchmark
  libavformat-dev libavcodec-dev libavutil-dev libx264-dev libyuv-dev libxcb-damage0-dev ffmpeg
  # GIF recordings: palettegen and paletteuse filters (libavfilter)
  libavfilter-dev
  # sound in recordings (libpulse, AAC through libavcodec); the sound end-to-end test
  # starts a private sound server with a null sink and plays a tone into it
  libpulse-dev pulseaudio pulseaudio-utils sox
  # updates: update archives (libarchive); `make package` (dpkg-shlibdeps and file for
  # the Debian package's dependencies); the update test's feed server (python3)
  libarchive-dev dpkg-dev file python3
  # Wayland backend: the client library, wayland-scanner (libwayland-bin) and
  # xdg-output's XML (wayland-protocols); Qt's Wayland platform
  libwayland-dev libwayland-bin wayland-protocols qt6-wayland
  # the headless Wayland tier: sway (with swaymsg) as the compositor and foot as a native client
  sway foot
  # the headless KDE Plasma tier: KWin on its virtual backend, kded5 (the tray's
  # StatusNotifierWatcher), kglobalaccel and KDE's portal (global shortcuts, a Qt 5 program: qtwayland5)
  kwin-wayland kded5 libkf5globalaccel-bin xdg-desktop-portal-kde qtwayland5
  # KWin's fake input protocol (its XML): the synthetic wheel on KDE Plasma, the KDE tier's pointer
  plasma-wayland-protocols
  # the Carbon key table's keysyms and their names (platform/linux/CarbonKeys)
  libxkbcommon-dev
  # GNOME: screen capture and recording through the desktop portals (Screenshot,
  # ScreenCast) and PipeWire; the headless GNOME tier runs gnome-shell with the portals
  gnome-shell mutter xdg-desktop-portal xdg-desktop-portal-gnome pipewire wireplumber libpipewire-0.3-dev
  # the check of the GNOME 45 variant of the Shell extension: GJS and a compiled stand-in resource
  gjs libglib2.0-dev-bin
  # the soak benchmark: the X resources (windows, pixmaps, GCs) a client holds,
  # and the program's heap in use (malloc_stats called through gdb)
  xrestop gdb
)

# kded5 offers the tray's StatusNotifierWatcher only through a module of
# plasma-workspace, which would bring 175 packages (systemd, a web engine, VLC)
# that no test needs: the KDE tier takes the one plugin out of the package.
kded_plugins=/opt/vistrel/kded-plugins
install_kded_watcher() {
  local plugin=$kded_plugins/kf5/kded/statusnotifierwatcher.so
  [ -f "$plugin" ] || [ "$(id -u)" -ne 0 ] && return 0
  local scratch member
  scratch=$(mktemp -d)
  member=./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/qt5/plugins/kf5/kded/statusnotifierwatcher.so
  (cd "$scratch" && apt-get download -qq plasma-workspace 2>/dev/null \
    && dpkg-deb --fsys-tarfile plasma-workspace_*.deb | tar -x "$member") \
    && install -D -m 644 "$scratch/$member" "$plugin"
  rm -rf "$scratch"
}
trap install_kded_watcher EXIT

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or install them) and try again" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

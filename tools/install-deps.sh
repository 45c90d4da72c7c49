#!/usr/bin/env bash
# Installs the Debian packages that a set of Squibbo tasks needs, and only
# those that are missing.
# Usage: tools/install-deps.sh play|package|check|screenshots|fresh|windows|qt-mingw|reproducible
#   play         building and playing the game
#   package      making the Debian package
#   check        the whole test suite
#   screenshots  retaking the README's pictures
#   fresh        the test that plays on a brand-new Debian system
#   windows      making the Windows edition (with a Qt for MinGW-w64)
#   qt-mingw     building that Qt from Debian's source (tools/build-qt-mingw.sh)
#   reproducible two builds compared, and piuparts (tools/check-reproducible.sh);
#                without the packages they recommend, which for diffoscope
#                are hundreds
set -euo pipefail

play_pkgs=(cmake ninja-build g++ qt6-base-dev libsdl2-dev fonts-liberation)
package_pkgs=("${play_pkgs[@]}" dpkg-dev file)
windows_pkgs=(cmake ninja-build mingw-w64 qt6-base-dev-tools nsis zip)
check_pkgs=("${package_pkgs[@]}" xvfb xauth libbenchmark-dev clang libclang-rt-dev
            "${windows_pkgs[@]}" xdotool imagemagick desktop-file-utils appstream
            x11-utils pulseaudio pipewire pipewire-pulse wireplumber libpulse-dev pkg-config lintian
            weston xwayland qt6-wayland python3 python3-numpy python3-xlib x11-apps
            at-spi2-core python3-pyatspi dbus-daemon openbox)
# The desktops the Wayland tests play on, without what a whole desktop
# would bring along (kwin alone recommends all of Plasma).
lean_check_pkgs=(mutter kwin-wayland kwin-style-breeze)
# Wine now and then leaves Debian testing for a while: where the release has
# none, the tests that run Windows code under it are skipped.
if_any_check_pkgs=(wine wine64)
qt_mingw_pkgs=(dpkg-dev cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev
               qt6-base-dev-tools qt6-base-private-dev)
fresh_pkgs=(xvfb xauth x11-utils debootstrap)
reproducible_pkgs=(git diffoscope-minimal unzip xxd faketime locales piuparts)

screenshot_pkgs=("${play_pkgs[@]}" xvfb xauth x11-utils xdotool imagemagick openbox)

lean=() if_any=()
case "${1:-play}" in
  play)  wanted=("${play_pkgs[@]}") ;;
  package) wanted=("${package_pkgs[@]}") ;;
  check) wanted=("${check_pkgs[@]}"); lean=("${lean_check_pkgs[@]}"); if_any=("${if_any_check_pkgs[@]}") ;;
  screenshots) wanted=("${screenshot_pkgs[@]}") ;;
  fresh) wanted=("${fresh_pkgs[@]}") ;;
  windows) wanted=("${windows_pkgs[@]}") ;;
  qt-mingw) wanted=("${qt_mingw_pkgs[@]}") ;;
  reproducible) wanted=(); lean=("${reproducible_pkgs[@]}") ;;
  *) echo "usage: $0 play|package|check|screenshots|fresh|windows|qt-mingw|reproducible" >&2; exit 2 ;;
esac

# One query for all of them: ./play runs this every time.
installed=$(dpkg-query -W -f='${db:Status-Status} ${Package}\n' "${wanted[@]}" "${lean[@]}" "${if_any[@]}" \
  2>/dev/null | awk '$1 == "installed" {print $2}' || true)
missing=() missing_lean=() missing_if_any=()
for p in "${wanted[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing+=("$p")
done
for p in "${lean[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing_lean+=("$p")
done
for p in "${if_any[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing_if_any+=("$p")
done
[ $((${#missing[@]} + ${#missing_lean[@]} + ${#missing_if_any[@]})) -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]} ${missing_lean[*]} ${missing_if_any[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
[ ${#missing[@]} -eq 0 ] || "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
[ ${#missing_lean[@]} -eq 0 ] || "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing_lean[@]}"
available=() absent=()
for p in "${missing_if_any[@]}"; do
  # Read whole before it is searched: grep -q would stop reading at the
  # first match, and apt-cache, cut off, would fail the pipe.
  policy=$(apt-cache policy "$p" 2>/dev/null || true)
  if grep -q 'Candidate: [0-9]' <<<"$policy"; then available+=("$p"); else absent+=("$p"); fi
done
[ ${#available[@]} -eq 0 ] || "${sudo_cmd[@]}" apt-get install -y -qq "${available[@]}"
[ ${#absent[@]} -eq 0 ] || echo "Not in this Debian release, so not installed: ${absent[*]}"

#!/usr/bin/env bash
# Shows that a commit builds to the same .deb, Windows ZIP and Windows
# installer, byte for byte. Two clean clones of it are built one after the
# other by tools/package-deb.sh and tools/make-windows.sh, neither given a
# SOURCE_DATE_EPOCH; the second in other folders (the build folders outside
# the source), from another current folder, 400 days on (faketime; the
# files keep their true times), with umask 0077 (the clone too), the locale
# fr_FR.UTF-8, the time zone Pacific/Auckland and, when started as root, as
# nobody. A file that came out the same is listed with its sha256; one that
# did not with "DIFFERS:", diffoscope's account (cut short) and the objects,
# programs and staged files that already differed on the way. Without a Qt
# for MinGW-w64 of the host's version only the .deb is compared (a failure
# with CI=true on Debian 12, where CI always has one). --piuparts then
# installs, removes and purges the .deb in a brand-new Debian 12.
# Usage: tools/check-reproducible.sh [--piuparts] [COMMIT]   (default: HEAD)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
piuparts=no
[ "${1:-}" = --piuparts ] && { piuparts=yes; shift; }
commit=$(git -C "$here" rev-parse --verify "${1:-HEAD}^{commit}")
started=$SECONDS
step() { echo "== $* ($((SECONDS - started)) s)"; }
for deps in reproducible package windows; do "$here/tools/install-deps.sh" "$deps"; done

work=$(mktemp -d "${TMPDIR:-/tmp}/squibbo-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/a/home" "$work/b/elsewhere" "$work/b/out" "$work/b/home" "$work/b/locale"
# The second build's locale, made here so that the system need not have it.
localedef -i fr_FR -f UTF-8 "$work/b/locale/fr_FR.UTF-8"
as_other=() other_user=$(id -un)
[ "$(id -u)" = 0 ] && as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups) other_user=nobody
# The clones have no ../shared/qt6-mingw beside them; this one may.
qt_mingw=${SQUIBBO_QT_MINGW:-$(realpath -m "$here/../shared/qt6-mingw")}

src_a=$work/a/squibbo deb_a=$work/a/squibbo/build/package win_a=$work/a/squibbo/build/windows
src_b=$work/b/elsewhere/squibbo-b deb_b=$work/b/out/deb win_b=$work/b/out/win
path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
first() {
  (cd "$src_a" && umask 0022 && env -i PATH="$path" HOME="$work/a/home" USER="$(id -un)" \
    LC_ALL=C.UTF-8 TZ=UTC SQUIBBO_QT_MINGW="$qt_mingw" "$@")
}
second() {
  (cd "$work/b" && umask 0077 && "${as_other[@]}" env -i PATH="$path" HOME="$work/b/home" \
    USER="$other_user" LOCPATH="$work/b/locale" LC_ALL=fr_FR.UTF-8 TZ=Pacific/Auckland \
    SQUIBBO_QT_MINGW="$qt_mingw" NO_FAKE_STAT=1 faketime -f +400d "$@")
}
# Runs one build into LOG; a missing Qt for MinGW-w64 (status 3) is passed on.
build() {
  local which=$1 log=$2 status=0
  shift 2
  "$which" "$@" >"$log" 2>&1 || status=$?
  [ "$status" = 0 ] || [ "$status" = 3 ] || {
    tail -n 30 "$log" >&2
    echo "check-reproducible: the $which build failed (status $status): $*" >&2
    exit 1
  }
  return "$status"
}

step "Two clones of $commit"
for clone in "0022 $src_a" "0077 $src_b"; do
  (umask "${clone% *}" && git clone --quiet --no-hardlinks --no-checkout "$here" "${clone#* }" &&
    git -C "${clone#* }" -c advice.detachedHead=false checkout --quiet "$commit")
done
[ ${#as_other[@]} = 0 ] || chown -R 65534:65534 "$work/b"
step "Debian package, first build"
build first "$work/deb-a.log" tools/package-deb.sh
grep -m1 '^package-deb: SOURCE_DATE_EPOCH' "$work/deb-a.log" || true
step "Debian package, second build"
build second "$work/deb-b.log" "$src_b/tools/package-deb.sh" "$deb_b"
windows=yes
step "Windows edition, first build"
build first "$work/win-a.log" tools/make-windows.sh || windows=no
[ "$windows" = no ] || { step "Windows edition, second build"
  build second "$work/win-b.log" "$src_b/tools/make-windows.sh" "$win_b"; }

# shellcheck source=/dev/null
. "$deb_a/release.sh"
name=Squibbo-$squibbo_version-windows-x64
pairs=("$deb_a/squibbo_${squibbo_version}_amd64.deb" "$deb_b/squibbo_${squibbo_version}_amd64.deb")
[ "$windows" = no ] ||
  pairs+=("$win_a/$name.zip" "$win_b/$name.zip" "$win_a/$name-setup.exe" "$win_b/$name-setup.exe")
# What was made on the way (not the generated sources, whose comments name
# the folders).
made() {
  (cd "$1" && find . -type f \( -name '*.o' -o -name '*.obj' -o -name '*.a' -o -name '*.gz' \
    -o -path './_CPack_Packages/*' -o -path "./$name/*" -o -name squibbo -o -name squibbo.exe \) \
    | LC_ALL=C sort)
}
# Objects first: the first to differ are where a difference comes in.
differed_on_the_way() {
  comm -12 <(made "$1") <(made "$2") | while read -r f; do
    cmp -s "$1/$f" "$2/$f" || echo "  differed on the way: ${f#./}"
  done | awk '/\.(o|obj|a)$/ {print; next} {rest[++n] = $0} END {for (i = 1; i <= n; i++) print rest[i]}' \
    | sed -n '1,20p'
}

step "Comparing"
passed=0 failed=0
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  a=${pairs[i]} b=${pairs[i + 1]}
  if cmp -s "$a" "$b"; then
    echo "same: $(sha256sum "$a" | cut -d' ' -f1)  $(basename "$a")"
    passed=$((passed + 1))
    continue
  fi
  failed=$((failed + 1))
  echo "DIFFERS: $(basename "$a")"
  timeout 600 diffoscope --no-progress --text - --max-diff-block-lines 12 --max-page-diff-block-lines 12 \
    --max-text-report-size 30000 "$a" "$b" 2>&1 | sed -n '1,150p' || true
  case $a in
    *.deb) differed_on_the_way "$deb_a" "$deb_b" ;;
    *) differed_on_the_way "$win_a" "$win_b" ;;
  esac
done
if [ "$windows" = no ]; then
  echo "ZIP and installer not compared: $(tail -n 1 "$work/win-a.log" | sed 's/^make-windows: //')"
  [ "${CI:-}" = true ] && [ "$(. /etc/os-release && echo "$VERSION_ID")" = 12 ] &&
    { echo "check-reproducible: with CI=true on Debian 12 they always are" >&2; failed=$((failed + 1)); }
fi

if [ "$piuparts" = yes ]; then
  step "piuparts: install, remove and purge in a brand-new Debian 12"
  if piuparts --distribution=bookworm "${pairs[0]}" >"$work/piuparts.log" 2>&1; then
    passed=$((passed + 1))
  else
    tail -n 40 "$work/piuparts.log" >&2
    failed=$((failed + 1))
  fi
  grep -E 'INFO: (PASS|FAIL)' "$work/piuparts.log" || true
fi
step "Done"
[ "$failed" = 0 ] && echo "reproducible: two builds of $commit, byte for byte the same"
echo "check-reproducible: $passed passed, $failed failed"
[ "$failed" = 0 ]

# shellcheck shell=bash
# Sourced by the scripts that make a release (tools/package-deb.sh and
# tools/make-windows.sh), with the script's name as its argument and $here
# the top of the source tree. Every time that a release carries (the files'
# times in the .deb, the ZIP and the installer, the times in Qt's
# resources, the Windows program's time stamp) is SOURCE_DATE_EPOCH, so the
# same commit gives the same bytes whenever it is built. The caller's
# SOURCE_DATE_EPOCH is taken as it is; without one it is the time of the
# commit being built, or, in a tree that is no clone, noon UTC of the
# release date in CMakeLists.txt.
who=$1
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  echo "$who: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH, as given"
# Only the log is read, so the clone's owner does not matter (the build
# runs the tree's own code in any case).
elif commit_time=$(git -c safe.directory="$here" -C "$here" log -1 --format='%ct %h' 2>/dev/null) &&
     [ -n "$commit_time" ]; then
  SOURCE_DATE_EPOCH=${commit_time% *}
  echo "$who: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH, the time of commit ${commit_time#* }"
else
  release_date=$(sed -n 's/^set(SQUIBBO_RELEASE_DATE \([0-9-]*\))$/\1/p' "$here/CMakeLists.txt")
  : "${release_date:?"$who: no commit, and no release date in CMakeLists.txt to take the time from"}"
  SOURCE_DATE_EPOCH=$(date -u -d "$release_date 12:00" +%s)
  echo "$who: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH, noon UTC of the release date $release_date" \
    "(no commit to take the time from)"
fi
export SOURCE_DATE_EPOCH

# A build folder last built with another SOURCE_DATE_EPOCH is cleaned first:
# what was compiled then (Qt's resources, the Windows program's time stamp)
# carries that time, and no changed file would make it compile again.
# Usage: same_source_date BUILD-DIR   (before the build is configured)
same_source_date() {
  if [ -f "$1/build.ninja" ] && [ "$(cat "$1/source-date-epoch" 2>/dev/null)" != "$SOURCE_DATE_EPOCH" ]; then
    echo "$who: cleaning $1 first, last built with another SOURCE_DATE_EPOCH"
    cmake --build "$1" --target clean
  fi
  mkdir -p "$1"
  echo "$SOURCE_DATE_EPOCH" >"$1/source-date-epoch"
}

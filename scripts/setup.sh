#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds.
#   scripts/setup.sh [--tests] [--sanitize] [BUILD_DIR]
# --tests also installs what the test suite runs against; --sanitize builds
# with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libfontconfig-dev
            libgumbo-dev
            fonts-dejavu-core fonts-liberation2)
# A free Tahoma, in Wine's font folder; the program registers it for itself.
build_pkgs+=(fonts-wine)
# Qt's platform interface, through which the accessibility test switches accessibility on.
build_pkgs+=(qt6-base-private-dev)
test_pkgs=(xvfb xauth imagemagick)
# The DTDs and validators that check the pages Brindle writes.
test_pkgs+=(w3c-sgml-lib libxml2-utils opensp)
test_pkgs+=(unrtf catdoc)   # independent RTF readers for the colouring tests
# The placement test under X: a window manager, and tools to move windows and read the root window.
test_pkgs+=(xdotool openbox x11-utils)
# The checkers of the desktop files, the manual pages, the profile file type,
# the shell completion and the Debian package.
test_pkgs+=(desktop-file-utils appstream groff-base man-db shared-mime-info libglib2.0-bin xdg-utils
            libfile-mimeinfo-perl bash-completion file dpkg-dev lintian)

tests=0 sanitize=0 build_dir=
for arg in "$@"; do
    case $arg in
        --tests) tests=1 ;;
        --sanitize) sanitize=1 ;;
        -*) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
        *) build_dir=$arg ;;
    esac
done
[ -n "$build_dir" ] || build_dir=build

wanted=("${build_pkgs[@]}")
[ "$tests" = 0 ] || wanted+=("${test_pkgs[@]}")
missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ "${#missing[@]}" -gt 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "setup.sh: missing packages (install them as root): ${missing[*]}" >&2
        exit 1
    fi
    echo "setup.sh: installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake_args=(-S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
[ "$sanitize" = 0 ] || cmake_args+=(-DBRINDLE_SANITIZE=ON)
cmake "${cmake_args[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

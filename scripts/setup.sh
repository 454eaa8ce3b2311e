#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds.
#   scripts/setup.sh [--tests] [--sanitize] [BUILD_DIR]
# --tests also installs what the test suite runs against and makes every
# compiler warning an error; --sanitize builds with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libfontconfig-dev
            libgumbo-dev
            fonts-dejavu-core fonts-liberation2)
# The page checker measures a search result's lines with HarfBuzz, in Liberation Sans.
build_pkgs+=(libharfbuzz-dev)
# A free Tahoma, in Wine's font folder; the program registers it for itself.
build_pkgs+=(fonts-wine)
# Qt's platform interface, through which the accessibility test switches accessibility on.
build_pkgs+=(qt6-base-private-dev)
# X11's startup notification, sent by a start that hands over and opens no window.
build_pkgs+=(libxcb1-dev)
test_pkgs=(xvfb xauth imagemagick)
# The fonts a browser falls back to for scripts Liberation Sans lacks, which
# the width test measures against.
test_pkgs+=(fonts-noto-core fonts-noto-cjk)
# The DTDs and validators that check the pages Brindle writes; the Nu Html
# Checker comes from the npm registry (install_vnu below) and runs on Java.
test_pkgs+=(w3c-sgml-lib libxml2-utils opensp default-jre-headless)
test_pkgs+=(unrtf catdoc)   # independent RTF readers for the colouring tests
# The placement test under X: a window manager, and tools to move windows and read the root window.
test_pkgs+=(xdotool openbox x11-utils)
# The placement test under Wayland: a headless compositor and Qt's Wayland platform.
test_pkgs+=(weston qt6-wayland)
# The checkers of the desktop files, the manual pages, the profile file type,
# the shell completion and the Debian package.
test_pkgs+=(desktop-file-utils appstream groff-base man-db shared-mime-info libglib2.0-bin xdg-utils
            libfile-mimeinfo-perl bash-completion file dpkg-dev lintian python3-debian)
# setfacl and getfacl: the ACLs the writer's and apply's tests give files and read back.
test_pkgs+=(acl)
# An independent HTML5 parser that reads pages as browsers do, for the
# differential test of the head reader (run with Debian's /usr/bin/python3).
test_pkgs+=(python3-html5lib)
# What a screen reader receives: the accessibility bus and its Python client,
# and dbus-daemon for a session bus of the test's own.
test_pkgs+=(at-spi2-core python3-pyatspi dbus-x11)
# Style and static checks (scripts/lint.sh).
test_pkgs+=(clang-format clang-tidy)

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
# Any npm will do (Node.js from elsewhere brings its own); Debian's only when there is none.
[ "$tests" = 0 ] || command -v npm >/dev/null || missing+=(npm)
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

# The Nu Html Checker, pinned, in the user's cache so that every build tree
# shares it; tests/render/validate_pages.sh looks for it there. Its install
# script would fetch a Java runtime: Debian's is used instead.
vnu_version=26.10.12
vnu_dir=${XDG_CACHE_HOME:-$HOME/.cache}/brindle/vnu
install_vnu() {
    local installed
    installed=$(sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' "$vnu_dir/node_modules/vnu-jar/package.json" 2>/dev/null || true)
    [ "$installed" = "$vnu_version" ] && [ -f "$vnu_dir/node_modules/vnu-jar/build/dist/vnu.jar" ] && return
    echo "setup.sh: installing vnu-jar $vnu_version into $vnu_dir" >&2
    mkdir -p "$vnu_dir"
    npm install --prefix "$vnu_dir" --no-audit --no-fund --ignore-scripts --no-save \
        "vnu-jar@$vnu_version" >/dev/null
}
[ "$tests" = 0 ] || install_vnu

# The structured-data validator for the head tags' JSON-LD
# (tests/render/validate_head.sh), pinned, beside the Nu checker.
sdtt_version=4.5.0
sdtt_dir=${XDG_CACHE_HOME:-$HOME/.cache}/brindle/structured-data
install_sdtt() {
    local installed
    installed=$(sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' \
        "$sdtt_dir/node_modules/structured-data-testing-tool/package.json" 2>/dev/null || true)
    [ "$installed" = "$sdtt_version" ] && [ -x "$sdtt_dir/node_modules/.bin/sdtt" ] && return
    echo "setup.sh: installing structured-data-testing-tool $sdtt_version into $sdtt_dir" >&2
    mkdir -p "$sdtt_dir"
    npm install --prefix "$sdtt_dir" --no-audit --no-fund --ignore-scripts --no-save \
        "structured-data-testing-tool@$sdtt_version" >/dev/null
}
[ "$tests" = 0 ] || install_sdtt

# The SARIF validator for check's SARIF output, pinned, in the user's cache;
# tests/check/validate_sarif.sh looks for it there. Its Linux package is a
# self-contained program (no .NET runtime needed), shipped without its
# execute bit.
sarif_version=5.7.0
sarif_dir=${XDG_CACHE_HOME:-$HOME/.cache}/brindle/sarif
install_sarif_multitool() {
    local installed tool=$sarif_dir/node_modules/@microsoft/sarif-multitool-linux
    installed=$(sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' "$tool/package.json" 2>/dev/null || true)
    if [ "$installed" != "$sarif_version" ] || [ ! -f "$tool/Sarif.Multitool" ]; then
        echo "setup.sh: installing @microsoft/sarif-multitool $sarif_version into $sarif_dir" >&2
        mkdir -p "$sarif_dir"
        npm install --prefix "$sarif_dir" --no-audit --no-fund --ignore-scripts --no-save \
            "@microsoft/sarif-multitool@$sarif_version" "@microsoft/sarif-multitool-linux@$sarif_version" >/dev/null
    fi
    chmod +x "$tool/Sarif.Multitool"
}
[ "$tests" = 0 ] || install_sarif_multitool

# Line tables are all the debug information backtraces and the sanitizers'
# reports need, and they build in two thirds of the time full information takes.
cmake_args=(-S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "$sanitize" = 0 ]; then
    cmake_args+=("-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
else
    # The sanitizer build is for the tests only: unoptimized, it builds in
    # two thirds of the time; each target's sources are compiled together
    # (scripts/lint.sh keeps them fit for that); the benchmarks, which the
    # tests do not run, are left out.
    cmake_args+=(-DBRINDLE_SANITIZE=ON -DBRINDLE_BENCH=OFF -DCMAKE_UNITY_BUILD=ON
                 "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -g1 -DNDEBUG")
fi
if [ "$tests" = 1 ]; then cmake_args+=(-DBRINDLE_WERROR=ON); else cmake_args+=(-DBRINDLE_WERROR=OFF); fi
cmake "${cmake_args[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

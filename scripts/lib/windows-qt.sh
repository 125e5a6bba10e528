# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6.4.2's qtbase for Windows (static, x86_64, MinGW-w64) from Debian's own source
# package, once, into a cache outside the tree. Sourced by scripts/windows.
#
# The cache:  ${TARNWICK_WINDOWS_CACHE:-$HOME/.cache/tarnwick-windows}
#   src/      Debian's qt6-base source package
#   qt-build/ the build tree (removed after a successful install)
#   qt/       the installed Qt for Windows; its presence means "built"
# To rebuild Qt: remove the cache folder (or qt/ alone) and run scripts/windows again.
#
# Every helper writes its progress to stderr; a helper whose output is captured prints its
# result alone on stdout.

windows_cache="${TARNWICK_WINDOWS_CACHE:-$HOME/.cache/tarnwick-windows}"
windows_qt="$windows_cache/qt"
qt_source_version="6.4.2+dfsg"
# The command that puts Debian's qt6-base source package, unpacked, into the current folder.
# A test names one that unpacks a local stand-in package instead.
qt_source_download="${TARNWICK_QT_SOURCE_DOWNLOAD:-download_debian_qt_source}"

windows_qt_present() {
    [ -f "$windows_qt/lib/cmake/Qt6/Qt6Config.cmake" ]
}

# Debian publishes its sources through deb-src entries of the suites it already uses.
add_debian_source_entry() {
    local entry=/etc/apt/sources.list.d/tarnwick-deb-src.sources
    [ -f "$entry" ] && return 0
    local suite
    suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    cat >"$entry" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    apt-get update -qq >&2
}

download_debian_qt_source() {
    add_debian_source_entry
    apt-get source -qq "qt6-base=6.4.2+dfsg-10" >&2 2>/dev/null || apt-get source -qq qt6-base >&2
}

# Prints the path of the unpacked source tree, downloading it on the first run.
fetch_qt_source() {
    local tree="$windows_cache/src/qt6-base-$qt_source_version"
    if [ ! -d "$tree" ]; then
        mkdir -p "$windows_cache/src"
        # apt-get and dpkg-source report each step on stdout, which is this helper's result.
        (cd "$windows_cache/src" && "$qt_source_download") >&2
    fi
    if [ ! -d "$tree" ]; then
        echo "Debian's qt6-base source did not unpack into $tree" >&2
        return 1
    fi
    echo "$tree"
}

build_windows_qt() {
    local source toolchain build
    source="$(fetch_qt_source)"
    toolchain="$(pwd)/cmake/mingw-w64-x86_64.cmake"
    build="$windows_cache/qt-build"
    echo "Building Qt for Windows into $windows_qt (once; this takes a while)" >&2
    # Only what the tool uses: Core, Gui, Widgets, Network, Test, the windows and offscreen
    # platforms. OpenGL, SQL, printing, D-Bus and the parts whose sources Debian removes
    # (wintab tablet support, sqlite) are left out; every third-party library is Qt's own
    # bundled copy, so nothing of the Linux system leaks into the Windows build.
    cmake -G Ninja -S "$source" -B "$build" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$windows_qt" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DBUILD_SHARED_LIBS=OFF \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF \
        -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
        -DFEATURE_tabletevent=OFF \
        -DFEATURE_ssl=OFF -DFEATURE_schannel=OFF -DFEATURE_icu=OFF \
        -DFEATURE_sql_sqlite=OFF -DFEATURE_system_sqlite=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_zstd=OFF
    cmake --build "$build"
    cmake --install "$build"
    rm -rf "$build"
}

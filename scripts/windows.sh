#!/usr/bin/env bash
# Builds the Windows program on Debian 12 and packs it: dist/windows/ gets the program folder,
# a zip of it and an NSIS installer. Installs the Debian packages it needs when any is missing.
#
#   scripts/windows.sh            build and pack
#   scripts/windows.sh --tests    also cross-build the test programs and run them under Wine
#   scripts/windows.sh --smoke    build, pack, then run the program and its installer under Wine
#   scripts/windows.sh --screenshot   build, pack, then docs/main-window-wine.png (Xvfb, Wine)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

with_tests=OFF
smoke=no
screenshot=no
for argument in "$@"; do
    case $argument in
        --tests) with_tests=ON ;;
        --smoke) smoke=yes ;;
        --screenshot) screenshot=yes ;;
        -h|--help) sed -n '2,8s/^# \{0,1\}//p' "$0"; exit 0 ;;
        *) echo "windows.sh: unknown option '$argument' (see --help)" >&2; exit 2 ;;
    esac
done

kit=$root/../shared/windows
qt_archive=$kit/qt6-mingw-6.4.2.tar.xz
mpg123_archive=$kit/mpg123-mingw-1.31.2.tar.xz
for needed in "$qt_archive" "$mpg123_archive" "$kit/curl.exe" "$kit/mingw-toolchain.cmake"; do
    if [ ! -f "$needed" ]; then
        echo "windows.sh: $needed is missing." >&2
        echo "The Windows kit (Qt and libmpg123 for MinGW, curl.exe, toolchain file) must lie in ../shared/windows/ beside the project." >&2
        exit 1
    fi
done

version=$(sed -n 's/^project(TunebarnUploader VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=$root/build-windows
dist=$root/dist/windows
folder="$dist/Tunebarn Uploader"
zip_file=$dist/tunebarn-uploader-$version-windows-x64.zip
setup_file=$dist/tunebarn-uploader-$version-setup.exe
size_limit=$((40 * 1024 * 1024))

packages=(cmake ninja-build ccache pkg-config g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
          qt6-base-dev googletest nsis zip xz-utils python3 wine64 openssl)
[ "$with_tests" = OFF ] || packages+=(dpkg-dev)
# The smoke test makes its recordings with sox and lame, and promtool judges the metrics file.
[ "$smoke" = no ] || packages+=(sox lame prometheus)
[ "$screenshot" = no ] || packages+=(xvfb imagemagick fonts-wine)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    # Another apt run (an unattended upgrade, a second build) may hold the lock for a while.
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi

unpack() { # unpack ARCHIVE FOLDER: once, and again when the archive is newer
    if [ ! -f "$2/.unpacked" ] || [ "$1" -nt "$2/.unpacked" ]; then
        echo "Unpacking $(basename "$1") into $2"
        rm -rf "$2"
        mkdir -p "$2"
        tar -C "$2" --strip-components=1 -xJf "$1"
        touch "$2/.unpacked"
    fi
}
qt=$build/qt
mpg123=$build/mpg123
unpack "$qt_archive" "$qt"
unpack "$mpg123_archive" "$mpg123"

# Debian's libcpp-httplib-dev holds only httplib.h's declarations, the rest being a Linux
# library: the tests' receiver for Windows compiles the whole header from Debian's source package.
# The source index goes to a folder of the build's own, leaving the machine's apt set-up alone.
httplib=$build/httplib
if [ "$with_tests" = ON ] && [ ! -f "$httplib/httplib.h" ]; then
    apt_src=$build/apt-source
    rm -rf "$apt_src"
    mkdir -p "$apt_src/parts" "$apt_src/lists/partial" "$apt_src/cache" "$apt_src/get"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        > "$apt_src/parts/debian-source.sources"
    apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_src/parts"
                 -o Dir::State::Lists="$apt_src/lists" -o Dir::Cache="$apt_src/cache")
    apt-get "${apt_options[@]}" update -qq
    (cd "$apt_src/get" && apt-get "${apt_options[@]}" source --download-only -qq cpp-httplib 2>/dev/null \
        && dpkg-source -x ./cpp-httplib_*.dsc tree >/dev/null)
    mkdir -p "$httplib"
    cp "$apt_src/get/tree/httplib.h" "$httplib/"
    rm -rf "$apt_src"
fi

cmake -S . -B "$build/build" -G Ninja --no-warn-unused-cli \
    -DCMAKE_TOOLCHAIN_FILE="$kit/mingw-toolchain.cmake" \
    -DCMAKE_PREFIX_PATH="$qt;$mpg123" -DQT_HOST_PATH=/usr -DCMAKE_BUILD_TYPE=Release \
    -DTUNEBARN_BUILD_TESTS="$with_tests" -DTUNEBARN_WERROR=ON -DTUNEBARN_HTTPLIB_DIR="$httplib" \
    -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 >/dev/null
cmake --build "$build/build" -j"$(nproc)"

# --- The program folder: the program, every DLL it loads that Windows does not bring, curl.exe.
rm -rf "$dist"
mkdir -p "$folder/platforms" "$folder/styles"
for program in tunebarn-uploader.exe tunebarn-uploader.com; do
    x86_64-w64-mingw32-strip -o "$folder/$program" "$build/build/$program"
done
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
cp "$kit/curl.exe" "$folder/"
# The libraries' licences travel with them: the LGPL asks for it, and curl's licence too.
sed 's/$/\r/' "$mpg123/COPYING" > "$folder/libmpg123-COPYING.txt"
sed 's/$/\r/' /usr/share/common-licenses/LGPL-3 > "$folder/Qt-LGPL-3.txt"
sed 's/$/\r/' /usr/share/common-licenses/GPL-3 > "$folder/Qt-GPL-3.txt"
sed 's/$/\r/' /usr/share/doc/curl/copyright > "$folder/curl-COPYING.txt"
sed 's/$/\r/' packaging/windows/tunebarn.ini.sample > "$folder/tunebarn.ini.sample"
cp packaging/tunebarn-alerts.yml "$folder/"
sed "s/@VERSION@/$version/" packaging/windows/README.txt | sed 's/$/\r/' > "$folder/README.txt"

library_folders=("$qt/bin" "$mpg123/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
imports_of() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'
}
bundle_dlls() { # bundle_dlls FOLDER BINARY...: into FOLDER every DLL they load that Windows lacks
    local into=$1 binary dll library_folder
    shift
    local pending=("$@")
    while [ ${#pending[@]} -gt 0 ]; do
        binary=${pending[0]}
        pending=("${pending[@]:1}")
        while read -r dll; do
            [ -f "$into/$dll" ] && continue
            for library_folder in "${library_folders[@]}"; do
                if [ -f "$library_folder/$dll" ]; then
                    x86_64-w64-mingw32-strip -o "$into/$dll" "$library_folder/$dll"
                    pending+=("$into/$dll")
                    break
                fi
            done
        done < <(imports_of "$binary")
    done
}
bundle_dlls "$folder" "$folder/tunebarn-uploader.exe" "$folder/tunebarn-uploader.com" "$folder/curl.exe" \
    "$folder"/platforms/*.dll "$folder"/styles/*.dll

# --- The zip and the installer.
(cd "$dist" && zip -q -r -9 "$zip_file" "Tunebarn Uploader")

nsis=$build/nsis
mkdir -p "$nsis"
: > "$nsis/install-files.nsh"
: > "$nsis/uninstall-files.nsh"
(cd "$folder" && find . -type d | sort) | while read -r sub; do
    windows_sub=$(printf '%s' "${sub#.}" | tr / '\\')
    echo "SetOutPath \"\$INSTDIR$windows_sub\"" >> "$nsis/install-files.nsh"
    (cd "$folder/$sub" && find . -maxdepth 1 -type f | sort) | while read -r file; do
        echo "File \"$folder/${sub#./}/${file#./}\"" >> "$nsis/install-files.nsh"
        echo "Delete \"\$INSTDIR$windows_sub\\${file#./}\"" >> "$nsis/uninstall-files.nsh"
    done
done
# Folders after their files, the deepest first.
(cd "$folder" && find . -mindepth 1 -type d | sort -r) | while read -r sub; do
    echo "RMDir \"\$INSTDIR$(printf '%s' "${sub#.}" | tr / '\\')\"" >> "$nsis/uninstall-files.nsh"
done
makensis -V2 -NOCD -DVERSION="$version" -DOUTFILE="$setup_file" -DFILES_DIR="$nsis" \
    -DICON="$root/packaging/windows/tunebarn.ico" packaging/windows/installer.nsi

for package in "$zip_file" "$setup_file"; do
    size=$(stat -c %s "$package")
    echo "$(basename "$package"): $((size / 1024)) KiB"
    if [ "$size" -ge "$size_limit" ]; then
        echo "windows.sh: $package is larger than 40 MB" >&2
        exit 1
    fi
done

if [ "$smoke" = yes ]; then
    tests/windows/smoke.sh "$build" "$folder" "$setup_file"
fi

if [ "$with_tests" = ON ]; then
    # The test programs run where they were built, with what the program folder has beside them:
    # curl.exe (writable, as tests delete their copies of it), plugins and DLLs. They use
    # Windows' own platform plugin, which Wine's null display driver serves without drawing;
    # their prefix is their own, as the smoke test's registry settings would reach them.
    tests_folder=$build/build
    install -m 755 "$kit/curl.exe" "$tests_folder/"
    mkdir -p "$tests_folder/platforms" "$tests_folder/styles"
    cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$tests_folder/platforms/"
    cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$tests_folder/styles/"
    bundle_dlls "$tests_folder" "$tests_folder"/*Test.exe "$tests_folder"/platforms/*.dll "$tests_folder"/styles/*.dll
    (
        export WINEPREFIX=$build/wine-tests WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        # Wine names files on Linux in the locale's character set: without a UTF-8 locale that
        # Linux has (en_GB is not installed everywhere), a name beyond ASCII cannot be created.
        export LC_ALL=C.UTF-8
        # The copies of curl.exe that tests place beside their programs find its DLL on the path.
        export WINEPATH="Z:${tests_folder//\//\\}"
        unset DISPLAY WAYLAND_DISPLAY
        trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
        if [ ! -f "$WINEPREFIX/.made" ]; then
            rm -rf "$WINEPREFIX"
            /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
            /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
            /usr/lib/wine/wineserver -w
            touch "$WINEPREFIX/.made"
        fi
        ctest --test-dir "$tests_folder" --output-on-failure -j"$(nproc)"
    )
fi

if [ "$screenshot" = yes ]; then
    # The window as Wine draws it: Wine's own desktop in a window supplies the frame and caption
    # that a bare X server without a window manager would leave out.
    shot=$build/screenshot
    rm -rf "$shot"
    mkdir -p "$shot/wine/drive_c/Station"
    export WINEPREFIX=$shot/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC DISPLAY=:71
    Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wine64 reg add 'HKCU\Software\VB and VBA Program Settings\Rulmo Playout System\Settings' \
        /v 'CFG Folder' /d 'C:\Station' /f >/dev/null
    printf '[General]\r\nUploadURL=http://127.0.0.1:9/upload\r\n[Show1]\r\nFilename=C:\\Station\\Breakfast.mp3\r\nTitle=Breakfast Show - %%date%%\r\nUploadDay=Sun\r\nUploadTime=09:00\r\n' \
        > "$shot/wine/drive_c/Station/tunebarn.ini"
    /usr/lib/wine/wine64 explorer /desktop=Tunebarn,520x260 "$folder/tunebarn-uploader.exe" >/dev/null 2>&1 &
    sleep 12
    import -window root "$shot/desktop.png"
    # The desktop's plain background trimmed away leaves the window.
    convert "$shot/desktop.png" -crop 520x260+0+0 +repage -trim +repage docs/main-window-wine.png
    echo "docs/main-window-wine.png: $(identify -format '%wx%h' docs/main-window-wine.png)"
fi

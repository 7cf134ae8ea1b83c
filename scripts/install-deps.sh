#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Ормелит need.
# Idempotent: asks apt only for what is missing; uses sudo when not run as root.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    # Qt 6 Widgets, PrintSupport, SVG icons, Qt's own Russian translations
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-translations-l10n libgl-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    # fonts: metric twins of Arial and Times New Roman, and a broad fallback
    fonts-liberation fonts-dejavu-core fontconfig
    # headless GUI runs, screenshots, reading printed PDFs back
    xvfb xauth x11-apps imagemagick poppler-utils
    # the published web site checked as readers see it (headless Chromium) and as HTML (tidy)
    chromium chromium-driver tidy
    # a word processor that reads the RTF our viewer writes back to text, in one test (about 45 s
    # to install)
    libreoffice-writer-nogui
    # locale for Russian text in the terminal and file names
    locales
    # opening documents and addresses of the extra menu in the desktop's programs
    xdg-utils
    # the installed desktop entry and MIME type checked as a desktop would read them
    # (desktop-file-validate, xmllint, update-mime-database)
    desktop-file-utils libxml2-utils shared-mime-info
    # the Debian package: dependencies computed by dpkg-shlibdeps, checked by lintian
    dpkg-dev lintian
    # fuzzing (scripts/fuzz.sh): clang with libFuzzer and the sanitizer runtimes; llvm-symbolizer
    # names the functions in sanitizer reports
    clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

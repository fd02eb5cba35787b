# Installs the Debian packages Sayvell needs that are missing. Sourced by run.sh and test.sh.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
  libespeak-ng-dev espeak-ng-data libpulse-dev libmpg123-dev libsoxr-dev libsndfile1-dev
  libsqlite3-dev sqlite3 libuchardet-dev libical-dev libx11-dev libfontconfig-dev libzip-dev qt6-svg-dev qt6-translations-l10n fonts-noto-cjk espeak-ng lame librsvg2-bin
  rime-data-terra-pinyin rime-essay opencc)
TEST_PACKAGES=(googletest libgtest-dev pulseaudio pulseaudio-utils xvfb xdotool sox trayer dbus-daemon dbus-bin libglib2.0-bin mpg123 desktop-file-utils appstream dpkg-dev ccache openbox x11-utils lintian)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Sourced by the setup and test scripts: installs the Debian packages Veltrane needs,
# only those that are missing, and the comma-decimal locale the number tests use.
# librecad-data: the single-stroke LFF fonts the text-as-paths tests compare glyphs with;
# fonts-liberation and fonts-wqy-zenhei: the TrueType fonts of the outline tests (Latin,
# and Chinese where no single-stroke font has the character).
veltrane_packages=(build-essential cmake ninja-build g++ libgtest-dev libgmock-dev
                   qt6-base-dev libgl-dev locales pkg-config
                   libpolyclipping-dev libcli11-dev libuchardet-dev qt6-translations-l10n
                   librecad-data fonts-liberation fonts-wqy-zenhei)
# The Windows cross build, Wine to run its tests, and what cpack uses to make the .deb
# (full test runs only).
veltrane_windows_packages="g++-mingw-w64-x86-64-posix wine64 googletest file dpkg-dev"
# Driving the window through a real X server: Xvfb, a window manager and xdotool (full test
# runs only).
veltrane_smoke_packages="xvfb openbox xdotool"
# The window for Windows (scripts/windows): the installer maker, Xvfb for the Windows
# platform plugin's screenshot, zip for the portable package, the fonts Wine draws
# Windows' fixed-width font with.
veltrane_windows_gui_packages="nsis xvfb zip xauth qt6-base-dev-tools xz-utils fonts-liberation"

veltrane_install_packages() {
  local missing=()
  for p in "${veltrane_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ -f /etc/locale.gen ]; then
      grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
      $sudo locale-gen >/dev/null 2>&1 || true
    fi
  fi
}

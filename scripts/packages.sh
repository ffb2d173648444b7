# Sourced by the scripts that install Debian packages.
# install_packages PACKAGE...: installs those of the packages that are not
# installed yet, as root, with one package list update a run; without root
# it names them and exits.
packages_updated=0

package_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

install_packages() {
  local missing=() p
  for p in "$@"; do package_installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$(basename "$0"): missing packages (${missing[*]}); run this script as root to install them" >&2
    exit 1
  fi
  echo "$(basename "$0"): installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync fails one list or another; the packages may
  # still be found in the rest, and the installation says so if not.
  if [ $packages_updated -eq 0 ] && ! apt-get update -qq; then
    echo "$(basename "$0"): some package lists could not be updated; installing from those there are" >&2
  fi
  packages_updated=1
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

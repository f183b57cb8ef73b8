#!/usr/bin/env bash
# The one list of Debian packages Trevantor needs to build, test and run.
# Idempotent: installs only what is missing, and updates the package lists only then.
set -euo pipefail

PACKAGES=(
  # build tools
  build-essential cmake ninja-build ccache pkg-config git
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # compression (zip archive)
  zlib1g-dev
  # zip archive tests: archives checked and made by other tools
  zip unzip
  # HTTP client and database layer, with the peers their tests run against
  libcurl4-openssl-dev unixodbc-dev odbcinst libsqliteodbc odbc-postgresql postgresql openssl python3
  # Qt widgets (controls and the windows above them)
  qt6-base-dev
  # XML and JSON sources and targets of the data exchange engine
  librapidxml-dev libtinyxml-dev libjsoncpp-dev
  # spreadsheet sources and targets (.xlsx); openpyxl reads written workbooks back in the tests
  libxlsxwriter-dev python3-openpyxl
  # the sqlite3 shell the database read benchmark compares with, and the peak memory of a read
  # (/usr/bin/time -v)
  sqlite3 time
  # clang and its sanitizer runtimes (libFuzzer among them): the ThreadSanitizer build of the
  # threaded tests (make tsan) and the fuzz targets (make fuzz)
  clang libclang-rt-14-dev
  # the genetic search's thread team under ThreadSanitizer: LLVM's OpenMP runtime (libgomp's
  # barriers are invisible to ThreadSanitizer and give false reports)
  libomp-dev
  # file type registration and associated programs (freedesktop MIME database, xdg-mime/xdg-open)
  xdg-utils shared-mime-info
  # a decimal-comma locale (de_DE.UTF-8, made below): files must not follow the process locale
  locales
  # road routes: the routing library, its profiles and planetsplitter for preparing road data
  routino libroutino-dev
)

SUDO=""
if ((EUID != 0)); then
  SUDO="sudo"
fi

# Made after the packages are in place; nothing to do when the locale exists.
ensure_comma_locale() {
  locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$' && return 0
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
}

missing=()
for package in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  ensure_comma_locale
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
ensure_comma_locale

#!/usr/bin/env bash
# One entry point for people and CI:
#   ./setup.sh demo   install what is missing, build, and show the demo device
#   ./setup.sh test   install what is missing, build (plain and with ASan+UBSan), run every test
#   ./setup.sh build  install what is missing and build only
set -euo pipefail
cd "$(dirname "$0")"
ROOT="$(pwd)"
MODE="${1:-build}"

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libsqlite3-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libjpeg62-turbo-dev libgif-dev libsdl2-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth
  ccache librsvg2-bin fonts-dejavu-extra
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

install_packages() {
  local missing
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "== installing: $(echo $missing | tr '\n' ' ')"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
  else
    echo "setup.sh: these Debian packages are missing; run as root to install them:" >&2
    echo "  $missing" | tr '\n' ' ' >&2
    echo >&2
    exit 1
  fi
}

JOBS="${JOBS:-$(nproc)}"

# ccache keeps both builds fast across clones; its default cache lives in the user's home.
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout are hashed relative to it, so another clone reuses the cache.
  export CCACHE_BASEDIR="$ROOT"
  export CCACHE_NOHASHDIR=1
fi

configure() {  # dir, extra cmake args...
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "${LAUNCHER[@]}" "$@"
  fi
}

build() {  # dir, targets...
  local dir="$1"; shift
  if [ $# -gt 0 ]; then
    cmake --build "$dir" -j "$JOBS" --target "$@"
  else
    cmake --build "$dir" -j "$JOBS"
  fi
}

configure_plain() { configure "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo; }
build_plain() { configure_plain; build "$ROOT/build"; }
build_sanitized() {
  configure "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DCE_SANITIZE=ON -DCE_BUILD_BENCH=OFF
  build "$ROOT/build-asan"
}

install_packages
case "$MODE" in
  build)
    build_plain
    ;;
  demo)
    # Only what the demo device needs: the device tool, the demo content and the system's package.
    configure_plain
    build "$ROOT/build" demo_device
    exec "$ROOT/demo/run-demo.sh" "$ROOT/build"
    ;;
  test)
    build_plain
    build_sanitized
    # Every test passes on its first run: there is no retry.
    echo "== tests (plain build)"
    ctest --test-dir "$ROOT/build" --output-on-failure -j "$JOBS"
    echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir "$ROOT/build-asan" --output-on-failure -j "$JOBS"
    ;;
  *)
    echo "usage: ./setup.sh [build|demo|test]" >&2
    exit 2
    ;;
esac

# Shared by the scripts: paths, build configuration and the Wine environment.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# ccache, with its cache in build/, serves every tree built again in the
# same clone (a second run, a tree configured anew). A clone elsewhere has a
# cache of its own: the paths in the compilers' command lines differ, so it
# could not hit anyway, and a second packaging stays a build from nothing.
export CCACHE_DIR="$ROOT/build/ccache"
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

configure_native() {
  cmake -S "$ROOT" -B "$ROOT/build/native" -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}" "$@" >/dev/null
}

configure_win32() {
  cmake -S "$ROOT" -B "$ROOT/build/win32" -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" "$@" >/dev/null
}

# The web build (emscripten): its CMake folder is build/wasm, and the
# scripts the page loads go to build/web. Debian's emscripten runs its
# optimiser under node, which finds its modules only in Debian's folder
# when the node first on PATH is another one.
web_env() {
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
}

configure_web() {
  web_env
  cmake -S "$ROOT" -B "$ROOT/build/wasm" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$(em-config EMSCRIPTEN_ROOT)/cmake/Modules/Platform/Emscripten.cmake" \
    -DPAGESMITH_WEB_DIR="$ROOT/build/web" "$@" >/dev/null
}

# configure_fuzz DIR SANITIZERS [CMAKE ARGS...]: a clang tree with
# libFuzzer's coverage and the sanitizers named (comma-separated; empty for
# coverage alone) on every file. It builds the fuzz targets (scripts/fuzz)
# and, with -DPAGESMITH_TESTS=ON, the test suites from the same objects
# (configure_sanitize): one sanitizer build serves both. A new tree starts
# without the tests. No ccache here: it would not see a change of the
# coverage ignore list, which only the compiler reads.
configure_fuzz() {
  local dir="$1" sanitizers="$2" flags
  shift 2
  flags="-fsanitize=fuzzer-no-link${sanitizers:+,$sanitizers}"
  [ -n "$sanitizers" ] && flags="$flags -fno-sanitize-recover=all"
  [ -f "$dir/CMakeCache.txt" ] || set -- -DPAGESMITH_TESTS=OFF "$@"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DPAGESMITH_FUZZ=ON -DPAGESMITH_FUZZ_SANITIZERS="$sanitizers" \
    -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer -fsanitize-coverage-ignorelist=$ROOT/fuzz/untraced.txt" \
    "$@" >/dev/null || return
  # CMake does not see the ignore list behind the coverage flag either, so a
  # changed list would leave objects built by the old one: everything is
  # built again.
  if ! cmp -s "$ROOT/fuzz/untraced.txt" "$dir/untraced.txt"; then
    cmake --build "$dir" --target clean >/dev/null
    cp "$ROOT/fuzz/untraced.txt" "$dir/untraced.txt"
  fi
}

# The tests under AddressSanitizer and UndefinedBehaviorSanitizer: the fuzz
# tree with the tests built too.
SANITIZE_DIR="$ROOT/build/fuzz"
configure_sanitize() {
  configure_fuzz "$SANITIZE_DIR" address,undefined -DPAGESMITH_TESTS=ON "$@"
}

# build_dir DIR [TARGET...]: builds quietly: progress lines are hidden,
# warnings and errors are shown, and the build's own status is the
# function's (the filter never fails, so under pipefail a failed compile or
# link is what the caller sees).
build_dir() {
  local dir="$1" targets=()
  shift
  [ $# -gt 0 ] && targets=(--target "$@")
  local status=0
  cmake --build "$dir" --parallel "$JOBS" "${targets[@]}" 2>&1 |
    { grep -v -E '^\[ *[0-9]+%\] |^Consolidate|^-- |^make\[' || true; } || status=$?
  [ "$status" -eq 0 ] || echo "build failed: ${dir#"$ROOT"/}${targets[*]:+ (${targets[*]:1})}" >&2
  return "$status"
}

# Wine: a 32-bit prefix of the project's own, no Mono or Gecko installer
# dialogs, no debug chatter.
wine_env() {
  export WINEPREFIX="$ROOT/build/win32/wineprefix"
  export WINEARCH=win32
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  # Without a window manager on the virtual display, Wine waits two seconds
  # for one each time a window it lets a manager handle goes away; windows
  # it manages itself need no such wait.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  # One persistent server for the whole run: each test process then starts in
  # a fraction of a second instead of bringing up Wine anew.
  wineserver -p >/dev/null 2>&1 || true
  # The first process starts Wine's background services, which inherit its
  # standard output; started under CTest they would hold its pipe open and
  # make the first test wait for its timeout. Start them here, on /dev/null.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

XVFB_PID=""
start_display() {
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
      done
    fi
  done
  echo "no display could be started" >&2
  return 1
}

stop_wine_and_display() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" >/dev/null 2>&1 || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=""
}

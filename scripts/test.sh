#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the native build, the Windows build under Wine (and scripts/run.sh), the
# sanitizer build, the library's interface tests under ThreadSanitizer (tsan),
# the software arithmetic's build, the aarch64 build under
# qemu, the browser page (in Node and Chromium, and scripts/run.sh --web), a
# short run of each fuzzer, and the packages (scripts/package.sh) checked as
# they ship.
#   VELTRANE_PRESETS="native windows sanitize tsan soft aarch64 web packages"  what to test
#   VELTRANE_FUZZ_SECONDS=30                                              seconds per fuzzer (0: none)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install.sh

presets=${VELTRANE_PRESETS:-native windows sanitize tsan soft aarch64 web packages}
fuzz_seconds=${VELTRANE_FUZZ_SECONDS:-30}
failed=()

for preset in $presets; do
  [ "$preset" != packages ] || continue
  echo "== $preset: build =="
  cmake --preset "$preset" -DVELTRANE_WERROR=ON >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test =="
  ctest --preset "$preset" || failed+=("$preset")
  if [ "$preset" = windows ]; then
    echo "== windows: scripts/run.sh =="
    bash tests/scripts/run_script_test.sh || failed+=(run.sh)
  fi
  if [ "$preset" = web ]; then
    echo "== web: scripts/run.sh --web =="
    bash tests/scripts/run_web_test.sh || failed+=("run.sh --web")
  fi
done

if [[ " $presets " == *" sanitize "* ]] && [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz: ${fuzz_seconds}s per target =="
  for fuzzer in build/sanitize/fuzz/fuzz_*; do
    [[ -x $fuzzer && $fuzzer != *_replay ]] || continue
    name=$(basename "$fuzzer")
    work=build/sanitize/fuzz-work/$name
    mkdir -p "$work"
    if "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 -artifact_prefix="$work/" \
        "$work" "fuzz/corpus/$name" >"$work.log" 2>&1; then
      echo "$name: $(grep -m1 'stat::number_of_executed_units' "$work.log" | awk '{print $2}') executions, no finding"
    else
      echo "$name: FAILED (log: $work.log)"
      tail -30 "$work.log"
      failed+=("$name")
    fi
  done
fi

if [[ " $presets " == *" packages "* ]]; then
  echo "== packages: build =="
  if bash scripts/package.sh; then
    echo "== packages: test =="
    # The dialog checks read the dialog back with the Windows test build's probe.
    probe=build/windows/tests/dialog/dialog_probe.exe
    if [ ! -f "$probe" ]; then
      cmake --preset windows >/dev/null
      cmake --build --preset windows --target dialog_probe
    fi
    bash tests/packaging/check_debs.sh build/packages "$probe" || failed+=(debian-packages)
    bash tests/packaging/check_windows.sh build/packages "$probe" || failed+=(windows-packages)
    # The arm64 program's texts against the x86-64 program on the same
    # software arithmetic.
    reference=build/soft/cli/veltrane-cli
    if [ ! -x "$reference" ]; then
      cmake --preset soft >/dev/null
      cmake --build --preset soft --target veltrane-cli
    fi
    bash tests/packaging/check_deb_arm64.sh build/packages "$reference" || failed+=(arm64-package)
    bash tests/packaging/check_web.sh build/packages || failed+=(web-package)
  else
    failed+=(packages)
  fi
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all configurations passed"

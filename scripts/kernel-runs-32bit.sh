# Sourced by the test scripts: kernel_runs_32bit is true when the kernel
# itself runs 32-bit x86 programs. An emulator that binfmt_misc hands them to
# (as scripts/test-windows registers qemu-i386) is switched off for the
# question, so that it cannot pass for the kernel. Needs the 32-bit loader
# (/lib/ld-linux.so.2) installed.
kernel_runs_32bit() {
  local entry=/proc/sys/fs/binfmt_misc/qemu-i386 paused=0 status=0
  if [ -e "$entry" ] && [ "$(head -n1 "$entry")" = enabled ]; then
    echo 0 >"$entry" 2>/dev/null && paused=1
    if [ $paused -eq 0 ]; then
      echo "cannot tell whether the kernel runs 32-bit programs (qemu-i386 is registered)" >&2
      return 1
    fi
  fi
  /lib/ld-linux.so.2 --help >/dev/null 2>&1 || status=1
  [ $paused -eq 0 ] || echo 1 >"$entry"
  return $status
}

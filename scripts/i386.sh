# How this machine runs 32-bit x86 Linux programs (Wine's 32-bit side): natively where the kernel
# can, else under qemu-user registered with binfmt_misc. Sourced by setup.sh and the run scripts.
#   i386_native         true when the kernel itself runs 32-bit x86 code (our entries set aside)
#   i386_registered     true when our binfmt_misc entries send i386 programs to the emulator
#   i386_mode           "native" or "emulated: qemu-user VERSION", as it is in force now
#   i386_emulate        installs the emulator where missing and registers it
#   i386_undo           removes our registration

I386_QEMU_DIR=/usr/local/libexec/extavik
I386_QEMU=$I386_QEMU_DIR/qemu-i386
I386_QEMU_MIN=10
I386_BINFMT=/proc/sys/fs/binfmt_misc
# One entry per ELF type the loader must catch: executables (ET_EXEC) and shared objects (ET_DYN).
I386_ENTRIES="extavik-i386-exec:\\x02 extavik-i386-dyn:\\x03"
[ "$(id -u)" = 0 ] && I386_SUDO="" || I386_SUDO=sudo

# A 93-byte static i386 program that ends with status 42 through int 0x80: a real 32-bit program
# is the only sure test of what the kernel runs.
i386_probe() {
  f=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX")
  printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\061\333\263\052\061\300\100\315\200' >"$f"
  chmod +x "$f"
  if "$f" >/dev/null 2>&1; then rc=0; else rc=$?; fi
  rm -f "$f"
  [ "$rc" = 42 ]
}

i386_entry_names() {
  for e in $I386_ENTRIES; do printf '%s\n' "${e%%:*}"; done
}

i386_registered() {
  for name in $(i386_entry_names); do
    [ -f "$I386_BINFMT/$name" ] || return 1
    head -n 1 "$I386_BINFMT/$name" | grep -q '^enabled$' || return 1
    grep -q "^interpreter $I386_QEMU\$" "$I386_BINFMT/$name" || return 1
  done
}

i386_set_entries() {
  for name in $(i386_entry_names); do
    [ -f "$I386_BINFMT/$name" ] && echo "$1" | $I386_SUDO tee "$I386_BINFMT/$name" >/dev/null
  done
  return 0
}

i386_native() {
  if i386_registered; then
    i386_set_entries 0
    if i386_probe; then rc=0; else rc=1; fi
    i386_set_entries 1
    return $rc
  fi
  i386_probe
}

i386_qemu_version() {
  [ -x "$I386_QEMU" ] && "$I386_QEMU" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p'
}

i386_mode() {
  if i386_registered; then echo "emulated: qemu-user $(i386_qemu_version)"; else echo native; fi
}

# The Debian mirror the machine already uses for its release (deb822 or one-line sources).
i386_mirror() {
  codename=$1
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v c="$codename" 'BEGIN { RS = ""; FS = "\n" }
      { types = suites = uris = ""
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^Types:/) types = $i; if ($i ~ /^Suites:/) suites = $i; if ($i ~ /^URIs:/) uris = $i }
        if (types ~ /[ \t]deb([ \t]|$)/ && (" " suites " ") ~ ("[ \t]" c "[ \t]")) { split(uris, u, /[ \t]+/); print u[2]; exit } }' "$f"
  done
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v c="$codename" '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } if ($(i + 1) == c) print $i }'
}

# qemu-user 10 or later, its qemu-i386 only, from the release or its backports suite. The suites
# are read through a private apt configuration: nothing on the machine is upgraded or pinned.
i386_install_qemu() {
  v=$(i386_qemu_version)
  [ -n "$v" ] && [ "${v%%.*}" -ge "$I386_QEMU_MIN" ] && return 0
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=$(i386_mirror "$codename" | head -n 1)
  if [ -z "$mirror" ]; then
    echo "i386: no Debian mirror for '$codename' in /etc/apt: cannot fetch qemu-user" >&2
    return 1
  fi
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial"
  printf 'deb %s %s main\ndeb %s %s-backports main\n' "$mirror" "$codename" "$mirror" "$codename" >"$work/sources.list"
  apt_private="-o Dir::Etc::SourceList=$work/sources.list -o Dir::Etc::SourceParts=- -o Dir::State::Lists=$work/lists -o Dir::Cache=$work/cache -o APT::Sandbox::User=root"
  apt-get $apt_private update -qq >/dev/null
  best=$(apt-cache $apt_private madison qemu-user | awk '{ print $3 }' | sort -V | tail -n 1)
  upstream=${best#*:}
  if [ -z "$best" ] || [ "${upstream%%.*}" -lt "$I386_QEMU_MIN" ]; then
    echo "i386: qemu-user $I386_QEMU_MIN or later is not offered for $codename (best: ${best:-none})" >&2
    rm -rf "$work"
    return 1
  fi
  (cd "$work" && apt-get $apt_private download -qq "qemu-user=$best" >/dev/null)
  dpkg-deb --fsys-tarfile "$work"/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386
  $I386_SUDO mkdir -p "$I386_QEMU_DIR"
  $I386_SUDO install -m 755 "$work/usr/bin/qemu-i386" "$I386_QEMU"
  rm -rf "$work"
}

i386_register() {
  if [ ! -e "$I386_BINFMT/register" ]; then
    $I386_SUDO mount -t binfmt_misc binfmt_misc "$I386_BINFMT" || {
      echo "i386: cannot mount binfmt_misc at $I386_BINFMT" >&2; return 1; }
  fi
  i386_registered && return 0
  i386_undo
  for e in $I386_ENTRIES; do
    name=${e%%:*} type=${e#*:}
    # The usual qemu i386 magic and mask, with the ELF type matched exactly; F opens the
    # emulator now, so it serves every mount namespace and chroot.
    printf ':%s:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00%s\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff:%s:F\n' \
      "$name" "$type" "$I386_QEMU" | $I386_SUDO tee "$I386_BINFMT/register" >/dev/null
  done
  i386_registered
}

i386_undo() {
  for name in $(i386_entry_names); do
    [ -f "$I386_BINFMT/$name" ] && echo -1 | $I386_SUDO tee "$I386_BINFMT/$name" >/dev/null
  done
  return 0
}

i386_emulate() {
  i386_install_qemu && i386_register
}

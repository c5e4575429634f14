#!/usr/bin/env bash
# Tests of scripts/debian-src.sh on apt configurations made in a temporary folder:
#   tests/scripts/debian_src_test.sh path/to/debian-src.sh
# Each case writes sources files, runs the derivation for the release bookworm and compares its
# output and exit code with what apt needs.
set -uo pipefail

derive=${1:?usage: $0 path/to/debian-src.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
cases=0

# A fresh apt configuration folder for each case.
new_config() {
  rm -rf "$work/apt"
  mkdir -p "$work/apt/sources.list.d"
}
put() {  # put <file under the apt folder>; content on stdin
  cat >"$work/apt/$1"
}

# expect <name> <exit code>; the expected output on stdin
expect() {
  local name=$1 want_rc=$2 want got rc
  cases=$((cases + 1))
  want=$(cat)
  got=$("$derive" "$work/apt" bookworm 2>"$work/stderr")
  rc=$?
  if [ "$rc" -ne "$want_rc" ] || [ "$got" != "$want" ]; then
    failures=$((failures + 1))
    echo "FAIL $name: exit code $rc (expected $want_rc)"
    echo "--- expected"; printf '%s\n' "$want"
    echo "--- got"; printf '%s\n' "$got"
    echo "--- stderr"; cat "$work/stderr"
    return 1
  fi
}

# expect_missing <name>: the derivation fails and says what to add
expect_missing() {
  expect "$1" 1 </dev/null || return 0
  if ! grep -q 'no enabled "deb" entry of the Debian archive for bookworm' "$work/stderr" \
      || ! grep -q 'Suites: bookworm bookworm-updates' "$work/stderr"; then
    failures=$((failures + 1))
    echo "FAIL $1: the message does not say what is missing and how to add it:"
    cat "$work/stderr"
  fi
}

# ---- deb822 ----

new_config
put sources.list.d/debian.sources <<'EOF'
Types: deb
# a comment inside the stanza
URIs: file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: file:/srv/mirror/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
put sources.list.d/vendor.sources <<'EOF'
Types: deb
URIs: file:/srv/vendor/apt
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/vendor.gpg
EOF
expect "deb822: the release and its updates, not security nor a third party" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF

new_config
put sources.list.d/debian.sources <<'EOF'
types: deb
uris: file:/srv/a/debian/ file:/srv/b/debian
suites: bookworm
  bookworm-updates
  bookworm-backports
components: main contrib non-free-firmware
architectures: amd64 i386
trusted: yes
EOF
expect "deb822: two mirrors, continued field, lower-case names, no Signed-By, Trusted" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/a/debian/
Suites: bookworm bookworm-updates
Components: main contrib non-free-firmware
Trusted: yes

Types: deb-src
URIs: file:/srv/b/debian
Suites: bookworm bookworm-updates
Components: main contrib non-free-firmware
Trusted: yes
EOF

new_config
put sources.list.d/debian.sources <<'EOF'
Types: deb
URIs: file:/srv/off/debian
Suites: bookworm
Components: main
Enabled: no

Types: deb
URIs: file:/srv/inline/debian
Suites: bookworm
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw/NZJPR8lsD9K87ZM/KZ9b8pVUu
 -----END PGP PUBLIC KEY BLOCK-----
EOF
put sources.list.d/debian.sources.disabled <<'EOF'
Types: deb
URIs: file:/srv/renamed/debian
Suites: bookworm
Components: main
EOF
expect_missing "deb822: disabled stanza, inline key, file of another extension"

new_config
put sources.list.d/debian.sources <<'EOF'
Types: deb deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
expect "deb822: deb-src already in the same stanza" 0 </dev/null

# ---- one-line format ----

new_config
put sources.list <<'EOF'
# deb cdrom:[Debian GNU/Linux 12.5.0 _Bookworm_ - Official amd64 DVD Binary-1]/ bookworm main
deb [arch=amd64,i386 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] file:/srv/mirror/debian/ bookworm main contrib # the main archive
# deb-src file:/srv/mirror/debian/ bookworm main contrib
deb [ arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ] file:/srv/mirror/debian/ bookworm-updates main contrib
deb file:/srv/security/debian-security bookworm-security main
deb file:/srv/mirror/debian bullseye main
EOF
put sources.list.d/vendor.list <<'EOF'
deb [signed-by=/etc/apt/keyrings/vendor.asc] file:/srv/vendor/linux/debian bookworm stable
EOF
expect "one-line: options, comments, other releases and a third party" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/mirror/debian/
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF

new_config
put sources.list.d/mirror.list <<'EOF'
deb file:/srv/mirror/debian bookworm main
	deb  file:/srv/mirror/debian   bookworm-updates   main
EOF
expect "one-line: *.list file, no Signed-By, odd spacing" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main
EOF

new_config
put sources.list <<'EOF'
deb file:/srv/mirror/debian bookworm main
deb file:/srv/mirror/debian bookworm-updates main
deb-src file:/srv/mirror/debian/ bookworm main
EOF
expect "one-line: deb-src present for one suite only" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm-updates
Components: main
EOF

new_config
put sources.list <<'EOF'
deb file:/srv/mirror/debian bookworm main non-free
EOF
put sources.list.d/src.sources <<'EOF'
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm
Components: main non-free
EOF
expect "mixed formats: deb-src of another file covers everything" 0 </dev/null

new_config
put sources.list <<'EOF'
deb file:/srv/mirror/debian bookworm main
deb-src file:/srv/other/debian bookworm main
EOF
expect "a deb-src entry of another mirror does not count" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: bookworm
Components: main
EOF

# ---- the file the derivation fills, and nothing at all ----

new_config
put sources.list.d/debian.sources <<'EOF'
Types: deb
URIs: file:/srv/new/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
put sources.list.d/tessaly-debian-src.sources <<'EOF'
Types: deb-src
URIs: file:/srv/new/debian
Suites: bookworm
Components: main
EOF
expect "its own earlier output is not taken as already there" 0 <<'EOF'
Types: deb-src
URIs: file:/srv/new/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF

new_config
expect_missing "no sources at all"

new_config
put sources.list <<'EOF'
# deb file:/srv/mirror/debian bookworm main
deb file:/srv/security/debian-security bookworm-security main
EOF
put sources.list.d/tessaly-debian-src.sources <<'EOF'
Types: deb
URIs: file:/srv/mirror/debian
Suites: bookworm
Components: main
EOF
expect_missing "only a commented entry, security, and its own file"

echo "$((cases - failures)) of $cases cases passed"
[ "$failures" -eq 0 ]

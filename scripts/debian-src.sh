#!/usr/bin/env bash
# Derives the deb-src entries that `apt-get source pugixml` (the MinGW build, see
# cmake/Dependencies.cmake) needs from the machine's own apt sources, so that source packages come
# from the same mirror, with the same keyring, as the binary packages:
#   scripts/debian-src.sh [apt-config-folder [release]]
# apt-config-folder defaults to /etc/apt; release (such as bookworm) to VERSION_CODENAME of
# /etc/os-release.
#
# Reads sources.list and sources.list.d/*.list (one-line format) and sources.list.d/*.sources
# (deb822), except the file that scripts/setup.sh fills from this output,
# sources.list.d/tessaly-debian-src.sources. It takes the enabled "deb" entries of the Debian
# archive: suites <release> and <release>-updates, signed by one of Debian's archive keyrings or
# trusted through apt's default keyrings (no Signed-By). Security, backports and third-party
# repositories (other suites, other keyrings) are left out: pugixml's source package is in the
# release itself.
#
# Prints deb822 stanzas of type deb-src, one per URI, keyring and list of components, with every
# suite and component that no enabled deb-src entry covers yet; prints nothing when all are
# covered. Exits 1, saying what is missing, when no such deb entry is configured.
set -euo pipefail

apt_dir=${1:-/etc/apt}
release=${2:-}
own_file=tessaly-debian-src.sources

if [ -z "$release" ]; then
  release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || true
  [ -n "$release" ] || { echo "debian-src: no VERSION_CODENAME in /etc/os-release" >&2; exit 2; }
fi

files=()
[ -f "$apt_dir/sources.list" ] && files+=("$apt_dir/sources.list")
shopt -s nullglob
for f in "$apt_dir"/sources.list.d/*.list "$apt_dir"/sources.list.d/*.sources; do
  [ "$(basename "$f")" = "$own_file" ] || files+=("$f")
done

# The awk program reads every file in either format and prints the stanzas; it exits 3 when no
# deb entry of the Debian archive is there.
program=$(cat <<'AWK'
  # ---- Reading: every entry becomes one record of the arrays below, whatever its format. ----
  function add(types, uris, suites, comps, signed, trusted, enabled,    n, i) {
    if (tolower(enabled) == "no") return
    n = split(types, t, /[ \t]+/)
    for (i = 1; i <= n; i++) {
      if (t[i] == "") continue
      count++
      e_type[count] = t[i]; e_uris[count] = uris; e_suites[count] = suites
      e_comps[count] = comps; e_signed[count] = signed; e_trusted[count] = trusted
    }
  }
  function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t\r]+$/, "", s); return s }

  function stanza_start() {
    s_types = s_uris = s_suites = s_comps = s_signed = s_trusted = s_enabled = ""
    s_field = ""; s_any = 0
  }
  function stanza_end() {
    if (s_any) add(s_types, s_uris, s_suites, s_comps, s_signed, s_trusted, s_enabled)
    stanza_start()
  }
  function stanza_set(field, value) {
    # A field may go on over the following lines (values of Suites, an inline Signed-By key).
    if (field == "types") s_types = s_types " " value
    else if (field == "uris") s_uris = s_uris " " value
    else if (field == "suites") s_suites = s_suites " " value
    else if (field == "components") s_comps = s_comps " " value
    else if (field == "signed-by") s_signed = trim(s_signed " " value)
    else if (field == "trusted") s_trusted = value
    else if (field == "enabled") s_enabled = value
  }

  FNR == 1 {
    if (in_deb822) stanza_end()
    in_deb822 = FILENAME ~ /\.sources$/
    stanza_start()
  }

  in_deb822 {
    line = $0
    sub(/\r$/, "", line)
    if (line ~ /^#/) next
    if (line ~ /^[ \t]*$/) { stanza_end(); next }
    if (line ~ /^[ \t]/) { if (s_field != "") stanza_set(s_field, trim(line)); next }
    colon = index(line, ":")
    if (colon == 0) next
    s_field = tolower(trim(substr(line, 1, colon - 1)))
    s_any = 1
    stanza_set(s_field, trim(substr(line, colon + 1)))
    next
  }

  # One-line format: type [ options ] uri suite [component...]
  {
    line = $0
    sub(/#.*/, "", line)
    n = split(line, w, /[ \t]+/)
    i = 1
    if (w[i] == "") i++
    type = w[i++]
    if (type != "deb" && type != "deb-src") next
    signed = ""; trusted = ""
    if (substr(w[i], 1, 1) == "[") {
      opts = ""
      while (i <= n) {
        opts = opts " " w[i]
        if (w[i++] ~ /\]$/) break
      }
      gsub(/[\[\]]/, " ", opts)
      m = split(opts, o, /[ \t]+/)
      for (j = 1; j <= m; j++) {
        eq = index(o[j], "=")
        if (eq == 0) continue
        key = tolower(substr(o[j], 1, eq - 1)); value = substr(o[j], eq + 1)
        if (key == "signed-by") signed = value
        else if (key == "trusted") trusted = value
      }
    }
    uri = w[i++]; suite = w[i++]
    comps = ""
    for (; i <= n; i++) comps = comps " " w[i]
    if (uri != "" && suite != "") add(type, uri, suite, comps, signed, trusted, "")
  }

  # ---- Deriving ----
  function norm(uri) { sub(/\/+$/, "", uri); return uri }
  # No Signed-By (apt's default keyrings), or a keyring file of the Debian archive keys; a
  # fingerprint, an inline key or another keyring is someone else's repository.
  function debian_keyring(signed,    base) {
    if (signed == "") return 1
    base = signed
    sub(/.*\//, "", base)
    return base ~ /^debian-archive-/ && base !~ /removed/
  }

  END {
    if (in_deb822) stanza_end()
    # What the enabled deb-src entries already cover, by URI, suite and component.
    for (r = 1; r <= count; r++) {
      if (e_type[r] != "deb-src") continue
      nu = split(e_uris[r], u, /[ \t]+/); ns = split(e_suites[r], s, /[ \t]+/)
      nc = split(e_comps[r], c, /[ \t]+/)
      for (a = 1; a <= nu; a++) for (b = 1; b <= ns; b++) for (d = 1; d <= nc; d++)
        if (u[a] != "" && s[b] != "" && c[d] != "") covered[norm(u[a]), s[b], c[d]] = 1
    }
    # The Debian archive deb entries; the parts not covered are grouped into stanzas.
    found = 0; groups = 0
    for (r = 1; r <= count; r++) {
      if (e_type[r] != "deb" || !debian_keyring(e_signed[r])) continue
      nu = split(e_uris[r], u, /[ \t]+/); ns = split(e_suites[r], s, /[ \t]+/)
      nc = split(e_comps[r], c, /[ \t]+/)
      for (a = 1; a <= nu; a++) {
        if (u[a] == "" || u[a] ~ /^cdrom:/) continue
        for (b = 1; b <= ns; b++) {
          if (s[b] != release && s[b] != release "-updates") continue
          missing = ""
          for (d = 1; d <= nc; d++) {
            if (c[d] == "") continue
            found = 1
            if ((norm(u[a]), s[b], c[d]) in covered) continue
            if ((norm(u[a]), s[b], c[d]) in taken) continue
            taken[norm(u[a]), s[b], c[d]] = 1
            missing = missing " " c[d]
          }
          if (missing == "") continue
          key = u[a] SUBSEP e_signed[r] SUBSEP e_trusted[r] SUBSEP missing
          if (!(key in group)) {
            group[key] = ++groups
            g_uri[groups] = u[a]; g_signed[groups] = e_signed[r]
            g_trusted[groups] = e_trusted[r]; g_comps[groups] = missing
          }
          g_suites[group[key]] = g_suites[group[key]] " " s[b]
        }
      }
    }
    if (!found) exit 3
    for (g = 1; g <= groups; g++) {
      if (g > 1) print ""
      print "Types: deb-src"
      print "URIs: " g_uri[g]
      print "Suites:" g_suites[g]
      print "Components:" g_comps[g]
      if (g_signed[g] != "") print "Signed-By: " g_signed[g]
      if (g_trusted[g] != "") print "Trusted: " g_trusted[g]
    }
  }
AWK
)

derived=$(awk -v release="$release" "$program" "${files[@]}" /dev/null) || {
  rc=$?
  [ "$rc" -eq 3 ] || exit "$rc"
  cat >&2 <<EOF
debian-src: apt has no enabled "deb" entry of the Debian archive for $release (suite $release or
$release-updates; Signed-By one of Debian's archive keyrings, or none) in $apt_dir/sources.list,
$apt_dir/sources.list.d/*.list or *.sources, so there is no source to take deb-src entries from.
Add one, for example $apt_dir/sources.list.d/debian.sources with your Debian mirror:
  Types: deb
  URIs: <your Debian mirror>/debian
  Suites: $release $release-updates
  Components: main
  Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  exit 1
}
[ -z "$derived" ] || printf '%s\n' "$derived"

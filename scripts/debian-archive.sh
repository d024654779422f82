# Sourced: prints the Debian archive the system's own apt sources name (its
# first deb822 URIs or one-line "deb" entry that is not the security one).
debian_archive() {
  (
    set +o pipefail
    { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
      grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
        sed 's/\[[^]]*\]//' | awk '{print $2}'; } |
      grep -v -- '-security' | grep '/debian/\?$' | head -n 1
  )
}

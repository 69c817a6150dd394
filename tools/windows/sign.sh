#!/bin/sh
# Signs a Windows program or MSI package in place (Authenticode, SHA-256), as the Windows build
# does when given a certificate: tools/windows/sign.sh FILE, with
#   ZEFIRANA_SIGN_PKCS12     the PKCS#12 file holding the code-signing certificate and its key
#   ZEFIRANA_SIGN_PASSWORD   its password (read from the environment, never put on a command line)
#   ZEFIRANA_SIGN_TIMESTAMP  an RFC 3161 time-stamping server's URL, or empty for no time stamp
set -eu
printf '%s' "${ZEFIRANA_SIGN_PASSWORD:-}" |
  osslsigncode sign -pkcs12 "$ZEFIRANA_SIGN_PKCS12" -readpass /dev/stdin -h sha256 -n Zefirana \
    ${ZEFIRANA_SIGN_TIMESTAMP:+-ts "$ZEFIRANA_SIGN_TIMESTAMP"} -in "$1" -out "$1.signed" >/dev/null
mv "$1.signed" "$1"

#!/bin/sh
# Stands in for the user's mail program: records its arguments (NUL after each) in
# $VT_MAIL_RECORD, a copy of the attached file in $VT_MAIL_RECORD.attachment and its open file
# descriptors in $VT_MAIL_RECORD.fds; waits $VT_MAIL_DELAY seconds first and exits with
# $VT_MAIL_EXIT (0 by default).
[ -n "$VT_MAIL_DELAY" ] && sleep "$VT_MAIL_DELAY"
ls /proc/$$/fd > "$VT_MAIL_RECORD.fds"
: > "$VT_MAIL_RECORD.tmp"
attach=
previous=
for a in "$@"; do
  printf '%s\0' "$a" >> "$VT_MAIL_RECORD.tmp"
  [ "$previous" = "--attach" ] && attach="$a"
  previous="$a"
done
[ -n "$attach" ] && cp "$attach" "$VT_MAIL_RECORD.attachment"
mv "$VT_MAIL_RECORD.tmp" "$VT_MAIL_RECORD"
exit "${VT_MAIL_EXIT:-0}"

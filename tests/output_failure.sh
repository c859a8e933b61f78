#!/bin/sh
# A makefile that could not be written must not pass for a complete one: with standard output on
# a full device the program reports the I/O error and ends with 254.
program="$1"
err=$("$program" /nologo /? 2>&1 >/dev/full)
code=$?
expected="incwalk32: sorry, file I/O error 28"
if [ "$code" -ne 254 ] || [ "$err" != "$expected" ]; then
  echo "expected exit 254 and '$expected'; got exit $code and '$err'"
  exit 1
fi

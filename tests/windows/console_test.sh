#!/usr/bin/env bash
# The console shows the Greek of the messages: vortan-transform.exe runs on a terminal (a
# pseudo-terminal made by script(1)), where Wine gives it a console whose text reaches the
# terminal as UTF-8. Without a UTF-8 console the letters come out as signs of another code page.
#   console_test.sh FOLDER COMMAND...   (COMMAND: the emulator and the .exe)
set -euo pipefail
folder=$1
shift
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"
printf 'A,380000,240000,1\r\nB,380000,x,1\r\n' >in.txt
command=$(printf '%q ' "$@")
status=0
LC_ALL=C.UTF-8 script -qec "$command sflh-to-senh in.txt out.txt" /dev/null </dev/null \
  >screen.txt 2>&1 || status=$?
if [ "$status" -ne 1 ]; then
  echo "exit status $status, not 1"; cat -v screen.txt; exit 1
fi
if ! grep -q 'in.txt, line 2, field λ: "x" is not a number' screen.txt; then
  echo "the terminal did not show the Greek letter:"; cat -v screen.txt; exit 1
fi
echo "the console showed: $(grep -o 'field λ[^(]*' screen.txt)"

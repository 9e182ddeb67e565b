#!/usr/bin/env bash
# Checks a built DLL's binary surface: its machine type (32-bit x86 or x86-64, as asked), the
# twelve entry points by name at their ordinals (ordinal 1 unused) and no imported DLL beyond
# the system's. The x86-64 objdump reads both kinds of PE file.
#
#   check-exports.sh [DLL [win32|win64]]
set -euo pipefail
dll=${1:-build/win32/bin/aggregation.dll}
arch=${2:-win32}
case "$arch" in
  win32) format=pei-i386 ;;
  win64) format=pei-x86-64 ;;
  *) echo "check-exports: the bitness is win32 or win64, not '$arch'"; exit 2 ;;
esac
objdump=x86_64-w64-mingw32-objdump
actual_format=$($objdump -f "$dll" | sed -n 's/.*file format //p')
if [ "$actual_format" != "$format" ]; then
  echo "check-exports: $dll is $actual_format, expected $format"; exit 1
fi
dump=$($objdump -p "$dll")
base=$(sed -n 's/^Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p' <<<"$dump" | head -1)
expected="2 GetLogEx
3 GetEvents
4 GetData
5 ProcessData
6 ShowOptionsDialog
7 MultiThreadSupport
8 GetCustomCommands
9 GetPluginIntfVersion
10 GetAppMinVersion
11 GetModuleType
12 GetModuleDescription
13 ExecutePluginCommand"
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([A-Za-z]*\).*/\1 \2/p' |
  while read -r index name; do echo "$((index + base)) $name"; done | sort -n)
if [ "$actual" != "$expected" ]; then
  echo "check-exports: unexpected exports:"; echo "$actual"; exit 1
fi
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|OLE32|OLEAUT32|VERSION|msvcrt|SHELL32|COMCTL32|COMDLG32|SHLWAPI|WINMM)\.dll$'
bad=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | grep -viE "$allowed" || true)
if [ -n "$bad" ]; then echo "check-exports: non-system imports: $bad"; exit 1; fi
echo "check-exports: $dll ($format): 12 entry points at ordinals 2-13, system imports only"

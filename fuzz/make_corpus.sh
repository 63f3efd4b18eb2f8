#!/usr/bin/env bash
# Writes the hand-made seed files of the fuzz targets into fuzz/corpus/<target>/.
# Every byte is spelled out here (cp932 text as \x escapes), so the seeds are
# the same on every machine. Run it again after changing a seed; the files are
# committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/corpus"

# Targets that read their input as cr.x.
registration_targets=(launcher_menu_fuzzer registrar_file_fuzzer registration_names_fuzzer
                      ordering_fuzzer name_error_report_fuzzer)

rm -rf "$corpus"
for target in "${registration_targets[@]}" options_file_fuzzer; do
  mkdir -p "$corpus/$target"
done

# seed FILE FORMAT [ARGS...]: one printf, into every cr.x target's folder.
seed() {
  local name=$1
  shift
  for target in "${registration_targets[@]}"; do
    # shellcheck disable=SC2059
    printf "$@" > "$corpus/$target/$name"
  done
}

# option_seed FILE FORMAT [ARGS...]: the same for opt.x.
option_seed() {
  local name=$1
  shift
  # shellcheck disable=SC2059
  printf "$@" > "$corpus/options_file_fuzzer/$name"
}

# --- cr.x -------------------------------------------------------------------
seed empty ''
# Two entries: an option; a registration name behind two TABs (日記.txt).
seed two_entries 'C:\\Tools\\calc.exe\t/s\r\nD:\\Docs\\\x93\xfa\x8b\x4c.txt\t\tdiary\r\n'
# Keys CALC, NOTEPAD, NT and X: popups C and N, an item at the root.
seed four_keys 'C:\\Windows\\calc.exe\r\nC:\\Windows\\notepad.exe\r\nC:\\Docs\\notes.txt\t\tnt\r\nC:\\Tools\\x.exe\r\n'
# One- and two-character keys, digits after letters, upper-casing, a key under E X.
seed key_shapes 'C:\\k.exe\r\nC:\\Tools\\a.exe\t\tab\r\nC:\\9x1.exe\r\nC:\\n\\notepad.exe\t\tnotepad\r\nC:\\n\\np.exe\t\tNOTEPAD\r\nC:\\e\\exec.bat\t-x /y\r\n'
seed lf_only_ends 'C:\\Tools\\calc.exe\nC:\\Tools\\x.exe\n'
seed no_final_crlf 'C:\\Tools\\calc.exe\r\nC:\\Tools\\x.exe'
seed nul 'C:\\Tools\\calc.exe\r\nC:\\To\0ols\\x.exe\r\nC:\\y.exe\r\n'
seed lone_lead_byte_at_end 'C:\\Tools\\calc.exe\r\nC:\\Tools\\ab\x81'
seed lead_byte_before_crlf 'C:\\Tools\\ab\x81\r\nC:\\Tools\\cd.exe\t\x81\r\n'
# 表 and ソ end in 0x5C; ポ ends in 0x7C ('|').
seed trail_5c 'C:\\\x95\x5c\\\x95\x5c.exe\r\nC:\\Tools\\\x83\x5c\x83\x74\x83\x67.exe\t\tsoft\r\nC:\\\x97\x5c\x92\xe8\\plan.txt\r\n'
seed trail_7c 'C:\\\x83\x7c\\\x83\x7c\x81\x5b\x83\x67.exe\r\nC:\\Tools\\p\x83\x7c.exe\t|\tport\r\n'
seed invalid_cp932 'C:\\Tools\\\x81\t\x80\xa0\xfd\xfe\xff.exe\r\nC:\\\xfc\\x.exe\r\n\x80\\\xff\r\n'
seed three_tabs 'C:\\Tools\\x.exe\ta\tb\tc\r\n'
seed empty_line 'C:\\Tools\\a.exe\r\n\r\nC:\\Tools\\b.exe\r\n'
seed no_backslash 'calc.exe\r\n'
seed markup_in_names 'C:\\<b>\\a&b "c".exe\t<i>\t<script>\r\nC:\\Tools\\\x83\x81\x83\x82\x92\xa0.exe\r\nC:\\Tools\\a b-c.exe\r\n'
seed name_rules 'C:\\my file.exe\r\nC:\\a.b.exe\r\nC:\\.profile\r\nC:\\abc.\r\nC:\\x.exe\t\ta.c\r\nC:\\y.exe\t\t\x82\x4f\x82\x50\r\nC:\\Makefile\r\n'
# Letters before digits; duplicates with other letter case; a missing file
# ('?'); equal keys that are not duplicates (BB, BB, BA).
seed ordering 'C:\\Tools\\zeta.exe\r\nC:\\Tools\\2go.exe\r\nC:\\Tools\\Alpha.exe\r\nC:\\Tools\\10x.exe\r\nC:\\Tools\\x.exe\t-a\r\nc:\\tools\\X.EXE\t-b\r\nC:\\Gone?\\y.exe\r\nC:\\1\\bb.exe\r\nC:\\2\\bb.exe\r\nC:\\3\\ba.exe\r\n'

# A line of more than 32767 bytes.
long_name=$(printf 'a%.0s' $(seq 1 33000))
seed long_line 'C:\\Tools\\%s.exe\r\nC:\\Tools\\after.exe\r\n' "$long_name"

# 1001 lines: every first letter and many pairs; the last one is ignored.
letters=(A B C D E F G H I J K L M N O P Q R S T U V W X Y Z 0 1 2 3 4 5 6 7 8 9)
lines=''
for i in $(seq 0 1000); do
  lines+="C:\\\\Tools\\\\${letters[i % 36]}${letters[(i / 36) % 36]}${letters[(i * 7) % 36]}$i.exe\\r\\n"
done
seed lines_1001 "$lines"
# The same limit within the fuzzing length limit of 4096 bytes: one-character keys.
short_lines=''
for i in $(seq 0 1000); do short_lines+="\\\\${letters[i % 36]}\\r\\n"; done
seed lines_1001_short "$short_lines"

# --- opt.x ------------------------------------------------------------------
option_seed empty ''
option_seed defaults '[ K_Index ] =\r\n1\r\n\r\n[ T_Index ] =\r\n1\r\n\r\n[ S_Index ] =\r\n50\r\n'
option_seed other_values '[ K_Index ] =\r\n3\r\n\r\n[ T_Index ] =\r\n-2\r\n\r\n[ S_Index ] =\r\n-2147483648\r\n'
option_seed loose_numbers 'k\r\n  12abc\r\n\r\nt\r\n+7\r\n\r\ns\r\n99999999999999999999\r\n'
option_seed lf_only_ends '[ K_Index ] =\n1\n\n[ T_Index ] =\n1\n\n[ S_Index ] =\n50\n'
option_seed no_final_crlf '[ K_Index ] =\r\n0\r\n\r\n[ T_Index ] =\r\n2\r\n\r\n[ S_Index ] =\r\n100'
option_seed nul '[ K_Index ] =\r\n2\r\n\r\n[ T_Index ] =\r\n\0\r\n\r\n[ S_Index ] =\r\n7\r\n'
option_seed lone_lead_byte_at_end '[ K_Index ] =\r\n1\r\n\r\n[ T_Index ] =\r\n1\r\n\r\n[ S_Index ] =\r\n5\x81'
option_seed trail_5c_7c '[ \x95\x5c ] =\r\n1\r\n\r\n[ \x83\x7c ] =\r\n1\x95\x5c\r\n\r\n[ S_Index ] =\r\n\x83\x7c50\r\n'
option_seed invalid_cp932 '\x80\xff\r\n\xfd1\r\n\r\n\xa0\r\n\x81\r\n\r\n\xfe\r\n-\xff\r\n'
option_seed three_tabs '[ K_Index ] =\r\n\t\t\t2\r\n\r\n[ T_Index ] =\t\t\t\r\n1\r\n\r\n[ S_Index ] =\r\n\t\t\t-9\r\n'
option_seed truncated '[ K_Index ] =\r\n1\r\n\r\n[ T_Ind'
option_seed long_line '[ K_Index ] =\r\n%s\r\n\r\n[ T_Index ] =\r\n1\r\n\r\n[ S_Index ] =\r\n50\r\n' \
  "$(printf '9%.0s' $(seq 1 33000))"
option_lines=''
for i in $(seq 1 1001); do option_lines+="$i\\r\\n"; done
option_seed lines_1001 "$option_lines"

echo "seeds written to $corpus"

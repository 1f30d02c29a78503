#!/usr/bin/env bash
# Every program and library in the unpacked Windows download starts on the
# oldest Windows the build supports: each DLL it imports comes with Windows
# or lies beside it in the download, and nothing it imports is newer than
# that Windows (packaging/windows/system-imports.txt says what is how old).
#   zip_imports.sh FOLDER TABLE FLOOR OBJDUMP
# FLOOR is a Windows version as the table writes it ("6.1": Windows 7).
source "$(dirname "$0")/wine_test_lib.sh"
folder=$1 table=$2 floor=$3 objdump=$4

images=$(cd "$folder" && find . -type f \( -iname '*.exe' -o -iname '*.dll' \) | sed 's|^\./||' | sort)
[ -n "$images" ] || { fail "no .exe or .dll in $folder"; exit 1; }

for image in $images; do
  listing=$("$objdump" -p "$folder/$image") || { fail "$image is not a PE image"; continue; }
  # Windows refuses to start an image made for a later subsystem than its own.
  subsystem=$(awk '$1 == "MajorSubsystemVersion" { major = $2 } $1 == "MinorSubsystemVersion" { minor = $2 }
    END { print major + 0 "." minor + 0 }' <<<"$listing")
  [ "$(printf '%s\n' "$subsystem" "$floor" | sort -V | tail -1)" = "$floor" ] ||
    fail "$image: made for subsystem version $subsystem, newer than Windows $floor"
  beside=$(cd "$folder/$(dirname "$image")" && ls | tr 'A-Z' 'a-z')
  # One line per import, "dll function" ("dll -" for an import by ordinal),
  # judged against the table; awk prints what is wrong.
  problems=$(awk -v floor="$floor" -v beside="$beside" '
    function newer(a, b,   x, y, n, m, i, p, q) {  # version a later than b?
      n = split(a, x, "."); m = split(b, y, ".")
      for (i = 1; i <= (n > m ? n : m); ++i) {
        p = (i <= n ? x[i] + 0 : 0); q = (i <= m ? y[i] + 0 : 0)
        if (p != q) return p > q
      }
      return 0
    }
    FNR == NR {
      sub(/#.*/, "")
      if (NF == 3 && $1 == "dll") dlls[tolower($2)] = $3
      if (NF == 3 && $1 == "function") functions[$2] = $3
      next
    }
    /^[ \t]*DLL Name: / {
      dll = tolower($3); ++imports
      if (dll ~ /^(api|ext)-ms-win-/) print dll " is an API set, which older Windows lack"
      else if (dll in dlls) { if (newer(dlls[dll], floor)) print dll " needs Windows " dlls[dll] }
      else if (index("\n" beside "\n", "\n" dll "\n") == 0)
        print dll " comes neither with Windows nor with the download"
      next
    }
    dll != "" && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ {
      name = $3
      if ((name in functions) && newer(functions[name], floor))
        print name " (" dll ") needs Windows " functions[name]
      next
    }
    /^$/ && dll != "" { dll = "" }
    END { if (!imports) print "no imports found: the listing was not understood" }
  ' "$table" - <<<"$listing" | sort -u)
  while IFS= read -r problem; do
    [ -n "$problem" ] && fail "$image: $problem"
  done <<<"$problems"
done

passed "imports: $(echo $images) start on Windows $floor with what they import"

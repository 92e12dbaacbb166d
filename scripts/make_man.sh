#!/bin/sh
# Writes a program's manual page: the page text PAGE (troff) with the program's own --help
# put in its place, so the options and commands are described in one place, the code.
#   make_man.sh PROGRAM PAGE OUT VERSION
# In PAGE, "@USAGE@" becomes the help's "usage:" line (without the word), "@HELP@" its
# entries as a tagged list, "@VERSION@" the version.
set -eu
program=$1 page=$2 out=$3 version=$4
help=$("$program" --help)
tmp="$out.tmp"
printf '%s\n' "$help" | awk -v page="$page" -v version="$version" '
function troff(text) {
    gsub(/\\/, "\\e", text)
    gsub(/-/, "\\-", text)
    if (text ~ /^[.'"'"']/) text = "\\&" text
    return text
}
function flush() {
    if (term != "") {
        entries = entries ".TP\n.B " troff(term) "\n" troff(desc) "\n"
        term = ""; desc = ""
    }
}
/^usage: / { usage = substr($0, 8); next }
/^  [^ ]/ {
    flush()
    line = substr($0, 3)
    split_at = match(line, /  +/)
    if (split_at > 0) {
        term = substr(line, 1, split_at - 1)
        desc = substr(line, split_at + RLENGTH)
    } else {
        term = line
    }
    next
}
/^    / {
    sub(/^ +/, "")
    desc = desc == "" ? $0 : desc " " $0
    next
}
{ flush() }
END {
    flush()
    sub(/\n$/, "", entries)
    while ((getline line < page) > 0) {
        if (line == "@HELP@") { print entries; continue }
        gsub(/@VERSION@/, version, line)
        if (index(line, "@USAGE@")) {
            name = usage; sub(/ .*/, "", name)
            rest = usage; sub(/^[^ ]* ?/, "", rest)
            print ".B " name
            print troff(rest)
            continue
        }
        print line
    }
}' > "$tmp"
mv "$tmp" "$out"

# How a link came to need `symbol` (awk -v symbol=NAME -f import_chain.awk MAP):
# from a GNU ld map, the chain of archive members from the one that needs it
# back to the program's own code, one "member needs (symbol)" line each.
/^Archive member included/ { in_section = 1; next }
in_section && /^(Discarded input sections|Memory Configuration|Allocating common symbols)/ { in_section = 0 }
# A member line; its referrer follows on the same line or, when the member's
# name is long, on the next.
in_section && /^[^ \t]/ { member = $1; if (NF >= 3) record($0, 2); next }
in_section && /^[ \t]+[^ \t]/ && member != "" { record($0, 1); member = ""; next }

function record(line, field,    rest) {
    rest = line
    sub(/^[ \t]*/, "", rest)
    if (field == 2) sub(/^[^ \t]+[ \t]+/, "", rest)
    by[member] = rest
    sub(/[ \t].*$/, "", by[member])
    sub(/^[^ \t]+[ \t]+/, "", rest)
    needs[member] = rest
}

function short(path) { sub(/^.*\//, "", path); return path }

END {
    target = ""
    for (m in needs) if (needs[m] == "(" symbol ")") target = m
    if (target == "") { print "  (the link map does not say)"; exit }
    for (depth = 0; target in by && depth < 20; ++depth) {
        printf "  %s needs %s\n", short(by[target]), needs[target]
        target = by[target]
    }
}

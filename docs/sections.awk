# Doxygen input filter for include/orbek_util.h: every section banner
#   /* ====...
#    * Title
#    * ====... */
# opens a group (one reference page) named after its title, and closes the
# group before it.  Lines are replaced one for one, so warnings keep their
# line numbers.  Sections added later need no markup of their own.
function group_id(title,   id) {
    id = tolower(title)
    gsub(/[^a-z0-9]+/, "_", id)
    sub(/^_+/, "", id)
    sub(/_+$/, "", id)
    return "family_" id
}
/^\/\* =+$/ {
    first = $0
    if ((getline title) <= 0) { print first; exit }
    if ((getline last) <= 0) { print first; print title; exit }
    if (title ~ /^ \* / && last ~ /^ \* =+ \*\/$/) {
        sub(/^ \* +/, "", title)
        print (open ? "/** @} */" : "")
        print "/** @defgroup " group_id(title) " " title
        print " * @{ */"
        open = 1
    } else {
        print first; print title; print last
    }
    next
}
{ print }
END { if (open) print "/** @} */" }

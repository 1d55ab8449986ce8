# Doxygen input filter for include/orbek_util.h: every section banner
#   /* ====...
#    * Title (one line or more)
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
    n = 0
    while ((getline line) > 0) {
        buf[++n] = line
        if (line ~ /^ \* =+ \*\/$/ || line !~ /^ \*/ || n > 6) break
    }
    if (n >= 2 && buf[n] ~ /^ \* =+ \*\/$/) {
        title = ""
        for (i = 1; i < n; ++i) {
            t = buf[i]
            sub(/^ \* */, "", t)
            title = title (title == "" ? "" : " ") t
        }
        print (open ? "/** @} */" : "")
        print "/** @defgroup " group_id(title) " " title
        for (i = 2; i < n; ++i) print " *"
        print " * @{ */"
        open = 1
    } else {
        print first
        for (i = 1; i <= n; ++i) print buf[i]
    }
    next
}
{ print }
END { if (open) print "/** @} */" }

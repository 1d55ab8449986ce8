#!/usr/bin/env bash
# Checks 'orbek time': results, exit codes and usage.  $ORBEK is the tool.
source "$(dirname "$0")/time_check_lib.sh"
check leap-step 0 '2016-12-31T23:59:60Z' -- $T add 2016-12-31T23:59:59Z 1 seconds
check leap-over 0 '2017-01-01T00:00:29Z' -- $T add 2016-12-31T23:59:30Z 60 seconds
check leap-back 0 '2016-12-31T23:59:60Z' -- $T add 2017-01-01T00:00:00Z -1 seconds
check fraction 0 '2017-01-01T00:00:00.500000000Z' -- $T add 2016-12-31T23:59:59.5 2 seconds
check month-clamp 0 '2020-02-29T00:00:00Z' -- $T add 2020-01-31T00:00:00Z 1 months
check year-feb29 0 '2021-03-01T00:00:00Z' -- $T add 2020-02-29T00:00:00Z 1 years
check hour24 0 '2021-01-01T00:00:00Z' -- $T add 2020-12-31T24:00:00Z 0 days
check diff 0 $'2 seconds\n1 days' -- $T diff 2017-01-01T00:00:00Z 2016-12-31T23:59:59Z
check totime_t 0 '1483228800' -- $T totime_t 2016-12-31T23:59:60Z
check fromtime_t 0 '1969-12-31T23:59:59Z' -- $T fromtime_t -1
check weekday 0 '1' -- $T weekday 1582-10-18T00:00:00Z
check out-of-range 1 '' -- $T add 9999-12-31T00:00:00Z 1 days
check not-leap 1 '' -- $T totime_t 2017-12-31T23:59:60Z
check bad-time 1 '' -- $T weekday 2020-1-1T00:00:00
check bad-unit 2 '' -- $T add 2020-01-01T00:00:00Z 1 fortnights
check bad-amount 2 '' -- $T add 2020-01-01T00:00:00Z 4294967296 days
check no-op 2 '' -- $T
check extra-arg 2 '' -- $T now extra
$T --help | grep -q '^usage: orbek time now$' && pass=$((pass+1)) || { echo "FAIL --help"; fail=$((fail+1)); }
out=$($T now) && [[ "$out" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\.[0-9]{9})?Z$ ]] \
    && pass=$((pass+1)) || { echo "FAIL now: '$out'"; fail=$((fail+1)); }
[ -z "$($T 2>/dev/null)" ] && pass=$((pass+1)) || { echo "FAIL usage on stdout"; fail=$((fail+1)); }
echo "cli time: $pass passed, $fail failed"
[ "$fail" = 0 ]

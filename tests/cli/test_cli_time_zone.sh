#!/usr/bin/env bash
# Checks the zone subcommands of 'orbek time': results, exit codes, usage.
# $ORBEK is the tool.
source "$(dirname "$0")/time_check_lib.sh"
check shanghai 0 '2020-06-01T08:00:00+08:00' -- $T convert 2020-06-01T00:00:00Z --zone Asia/Shanghai
check back 0 '2020-06-01T00:00:00Z' -- $T convert 2020-06-01T08:00:00 --zone Asia/Shanghai --to-utc
check leap 0 '2017-01-01T07:59:60+08:00' -- $T convert 2016-12-31T23:59:60Z --zone PRC
check leap-back 0 '2016-12-31T23:59:60Z' -- $T convert 2017-01-01T07:59:60 --zone Asia/Shanghai --to-utc
check no-leap 0 '2017-01-01T00:59:59Z' -- $T convert 2017-01-01T08:59:60 --zone Asia/Shanghai --to-utc
check gap 0 '2021-03-14T07:00:00Z' -- $T convert 2021-03-14T02:30:00 --zone America/New_York --to-utc
check dst1 0 '2021-11-07T05:30:00Z' -- $T convert 2021-11-07T01:30:00 --zone America/New_York --to-utc --isdst 1
check dst0 0 '2021-11-07T06:30:00Z' -- $T convert 2021-11-07T01:30:00 --zone America/New_York --to-utc --isdst 0
check edt 0 '2021-11-07T01:30:00-04:00' -- $T convert 2021-11-07T05:30:00Z --zone America/New_York
check lmt 0 '1800-01-01T07:03:58-04:56:02' -- $T convert 1800-01-01T12:00:00Z --zone America/New_York
check fraction 0 '2020-01-01T10:30:00.250000000+10:30' -- $T convert 2020-01-01T00:00:00.25Z --zone Australia/Adelaide
check utc-zone 0 '2020-06-01T00:00:00Z' -- $T convert 2020-06-01T00:00:00Z --zone UTC
check unknown-zone 1 '' -- $T convert 2020-06-01T00:00:00Z --zone Mars/Olympus
check lower-utc 1 '' -- $T convert 2020-06-01T00:00:00Z --zone utc
check bad-time 1 '' -- $T convert 2020-06-01 --zone UTC
check not-leap 1 '' -- $T convert 2017-12-31T23:59:60Z --zone UTC
check z-to-utc 1 '' -- $T convert 2020-06-01T00:00:00Z --zone UTC --to-utc
check no-zone 2 '' -- $T convert 2020-06-01T00:00:00Z
check isdst-alone 2 '' -- $T convert 2020-06-01T00:00:00Z --zone UTC --isdst 1
check isdst-value 2 '' -- $T convert 2020-06-01T00:00:00 --zone UTC --to-utc --isdst 2
check zones-arg 2 '' -- $T zones extra
check zones-first 0 '0 Africa/Abidjan' -- bash -c "$T zones | head -1"
check zones-utc 0 '414 Etc/UTC' -- bash -c "$T zones | grep ' Etc/UTC$'"
check zones-count 0 '582' -- bash -c "$T zones | wc -l | tr -d ' '"
check now-bad-zone 1 '' -- $T now --zone Nowhere
out=$($T now --zone Asia/Kolkata) && [[ "$out" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\.[0-9]{9})?\+05:30$ ]] \
    && pass=$((pass+1)) || { echo "FAIL now --zone: '$out'"; fail=$((fail+1)); }
out=$(TZ=Asia/Shanghai $T now --local) && [[ "$out" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}(\.[0-9]{9})?\+08:00$ ]] \
    && pass=$((pass+1)) || { echo "FAIL now --local: '$out'"; fail=$((fail+1)); }
# Under Wine the zone comes from the registry, where TZ=UTC is a Windows
# zone of offset 0 rather than the zone UTC itself.
utc_end='Z$'; [ -n "${ORBEK_WINE:-}" ] && utc_end='(Z|\+00:00)$'
out=$(TZ=UTC $T now --local) && [[ "$out" =~ $utc_end ]] && pass=$((pass+1)) || { echo "FAIL now --local UTC: '$out'"; fail=$((fail+1)); }
check now-local-arg 2 '' -- $T now --local extra
$T --help | grep -q 'convert' && pass=$((pass+1)) || { echo "FAIL --help"; fail=$((fail+1)); }
echo "cli time zones: $pass passed, $fail failed"
[ "$fail" = 0 ]

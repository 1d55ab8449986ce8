// Finding the system's zone: the Windows registry search, driven through
// registry contents the tests make up, and the platform's own setting.
#include <gtest/gtest.h>
#include <stdlib.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "tests/time/fake_registry.h"
#include "time/zone.h"

using namespace fakereg;

namespace {

int32_t idx(const char *name) { return orbek::zone::lookup(name); }

class RegistryZone : public ::testing::Test {
protected:
    void SetUp() override {
        keys.clear(), values.clear(), locked.clear(), opens = 0;
        for (const char *z : {"AUS Central Standard Time", "China Standard Time", "W. Europe Standard Time"})
            zone(kZonesNt, z, z);  // English "Std" names
    }
    void TearDown() override { EXPECT_EQ(open_keys, 0) << "a key was left open"; }
    int32_t find(uint32_t platform = 2) { return orbek::zone::zone_from_registry(kOps, platform); }
};

}  // namespace

TEST(WindowsZoneMap, NamesMapExactly) {
    EXPECT_EQ(orbek::zone::lookup_windows("Beijing"), idx("Asia/Shanghai"));  // a Windows 9x name
    for (const char *name : {"China Standard Time ", "UTC", "", (const char *)nullptr})
        EXPECT_EQ(orbek::zone::lookup_windows(name), -1) << (name ? name : "null");
}

TEST_F(RegistryZone, KeyNameFirstThenStandardNameAgainstTheZonesStd) {
    set(kTzi, "StandardName", "W. Europe Standard Time");
    set(kTzi, "TimeZoneKeyName", "Central Standard Time (Mexico)");
    EXPECT_EQ(find(), idx("America/Mexico_City"));
    // A key name outside the map gives no zone, though the standard name
    // would have matched one: the zone list is never opened.
    set(kTzi, "TimeZoneKeyName", "china standard time");
    EXPECT_EQ(find() * 10 + opens, -10 + 2);
    set(kTzi, "TimeZoneKeyName", "China Standard Time", kDword);  // not a string: absent
    EXPECT_EQ(find(), idx("Europe/Berlin"));
    // The matching subkey's name is what goes through the map; no zone has
    // the standard name, or the matching one is unmapped.
    zone(kZonesNt, "Tokyo Standard Time", "Tokio Normalzeit");
    zone(kZonesNt, "Mars Standard Time", "Mars Std");
    const std::pair<const char *, int32_t> rows[] = {
        {"Tokio Normalzeit", idx("Asia/Tokyo")}, {"Mars Standard Time", -1}, {"Mars Std", -1}};
    for (const auto &r : rows) {
        set(kTzi, "StandardName", r.first);
        EXPECT_EQ(find(), r.second) << r.first;
    }
    // The platform id chooses the zone list.
    set(kTzi, "StandardName", "China Standard Time");
    zone(kZones9x, "China Standard Time", "China Standard Time");
    keys[kZonesNt].clear();
    EXPECT_EQ(find(1) * 10 + find(2), idx("Asia/Shanghai") * 10 - 1);
}

TEST_F(RegistryZone, FailuresGiveMinusOne) {
    EXPECT_EQ(find(), -1);  // no TimeZoneInformation key
    set(kTzi, "StandardName", "China Standard Time", kDword);
    EXPECT_EQ(find(), -1);  // no name that is a string
    set(kTzi, "StandardName", "China Standard Time");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    // The search ends at the first zone without a readable "Std", or that
    // cannot be opened; then the zone list itself cannot be opened.
    const std::string aus = kZonesNt + "\\AUS Central Standard Time";
    set(aus, "Std", "AUS Central Standard Time", kDword);
    EXPECT_EQ(find(), -1);
    values.erase(aus + "\\Std");
    EXPECT_EQ(find(), -1);
    set(aus, "Std", "x");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    set(kTzi, "TimeZoneKeyName", "Mars Standard Time", kDword);
    for (const std::string &key : {aus, kZonesNt, kTzi}) {
        locked.insert(key);
        EXPECT_EQ(find(), -1) << key;
    }
}

TEST_F(RegistryZone, LongValuesAreCutAtTheBufferAndReadAfresh) {
    // 1023 bytes are read at most: 1022 characters and the NUL fit (and map
    // to nothing); a longer name cannot be read, which counts as absent.
    set(kTzi, "TimeZoneKeyName", std::string(1022, 'x'));
    EXPECT_EQ(find(), -1);
    set(kTzi, "TimeZoneKeyName", std::string(1023, 'x'));
    set(kTzi, "StandardName", "China Standard Time");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    // The current zone comes from the installed registry, read every time.
    const orbek::reg::Ops *before = orbek::zone::set_registry_for_testing(&kOps);
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Shanghai"));
    set(kTzi, "TimeZoneKeyName", "Korea Standard Time");
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Seoul"));
    orbek::zone::set_registry_for_testing(before);
}

#ifdef _WIN32
// The real registry (Wine's under the test runner): the current zone is the
// map's answer for its TimeZoneKeyName.
TEST(SystemZone, RealRegistry) {
    const orbek::reg::Ops *ops = orbek::reg::system_ops();
    void *key = nullptr;
    ASSERT_TRUE(ops && ops->open(nullptr, kTzi.c_str(), &key));
    char buf[1024] = "";
    uint32_t type = 0, size = 1023;
    const bool have = ops->query(key, "TimeZoneKeyName", &type, buf, &size) && type == kSz;
    ops->close(key);
    if (!have) GTEST_SKIP() << "no TimeZoneKeyName";
    EXPECT_EQ(orbek::zone::current_zone(), orbek::zone::lookup_windows(buf)) << buf;
}
#else
// Without a registry the TZ variable names the zone when it is a zone of
// the table, with or without a leading ':'; otherwise the system files
// decide: /etc/timezone's first word, else the zone /etc/localtime links to.
TEST(SystemZone, TzVariable) {
    const char *old = getenv("TZ");
    const std::string saved = old ? old : "";
    int32_t expected = -1;
    char name[4096] = "";
    if (FILE *f = fopen("/etc/timezone", "r")) expected = fscanf(f, "%255s", name) == 1 ? idx(name) : -1, fclose(f);
    const ssize_t n = readlink("/etc/localtime", name, sizeof name - 1);
    if (expected < 0 && n > 0 && (name[n] = '\0', strstr(name, "zoneinfo/")))
        expected = idx(strstr(name, "zoneinfo/") + 9);
    const std::pair<const char *, int32_t> rows[] = {{"Asia/Shanghai", idx("Asia/Shanghai")}, {"UTC", 414},
                                                     {":America/New_York", idx("America/New_York")},
                                                     {"CST-8", expected}, {"", expected}, {nullptr, expected}};
    for (const auto &r : rows) {
        r.first ? setenv("TZ", r.first, 1) : unsetenv("TZ");
        EXPECT_EQ(orbek::zone::current_zone(), r.second) << (r.first ? r.first : "unset");
    }
    old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
}
#endif

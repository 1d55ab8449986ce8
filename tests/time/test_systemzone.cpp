// Finding the system's zone: the Windows registry search, driven through
// registry contents the tests make up, and the platform's own setting.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "orbek_util.h"
#include "tests/time/fake_registry.h"
#include "time/zone.h"

using namespace fakereg;

namespace {

int32_t idx(const char *name) { return orbek::zone::lookup(name); }

class RegistryZone : public ::testing::Test {
protected:
    void SetUp() override { keys.clear(), opens = 0; }
    void TearDown() override { EXPECT_EQ(open_keys, 0) << "a key was left open"; }
    int32_t find(uint32_t platform = 2) { return orbek::zone::zone_from_registry(kOps, platform); }
    void set(const char *name, const std::string &v, uint32_t type = kSz) { keys[kTzi].values[name] = {type, v}; }
    // A small zone list with English "Std" names.
    void zones(const char *list) {
        for (const char *z : {"AUS Central Standard Time", "China Standard Time", "W. Europe Standard Time"})
            zone(list, z, z);
    }
};

}  // namespace

TEST(WindowsZoneMap, NamesMapExactly) {
    const char *const rows[][2] = {
        {"China Standard Time", "Asia/Shanghai"}, {"Beijing", "Asia/Shanghai"}, {"AUS Central", "Australia/Darwin"},
        {"Pacific Standard Time", "America/Los_Angeles"}, {"Central Standard Time (Mexico)", "America/Mexico_City"},
        {"Tasmania Standard Time", "Australia/Hobart"},   {"Dateline Standard Time", "Etc/GMT-12"},
        {"Yakutsk Standard Time", "Asia/Yakutsk"},        {"china standard time", nullptr},
        {"China Standard Time ", nullptr}, {"UTC", nullptr}, {"", nullptr}, {nullptr, nullptr}};
    for (const auto &r : rows)
        EXPECT_EQ(orbek::zone::lookup_windows(r[0]), r[1] ? idx(r[1]) : -1) << (r[0] ? r[0] : "null");
}

TEST_F(RegistryZone, KeyNameIsMappedWithoutFallBack) {
    zones(kZonesNt);
    set("StandardName", "W. Europe Standard Time");
    set("TimeZoneKeyName", "China Standard Time");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    // A name outside the map, or in another letter case: no zone, even
    // though the standard name would have matched one.
    set("TimeZoneKeyName", "china standard time");
    EXPECT_EQ(find(), -1);
    EXPECT_EQ(opens, 2);  // the zone list was never opened
}

TEST_F(RegistryZone, StandardNameIsMatchedAgainstTheZonesStd) {
    zones(kZonesNt);
    set("StandardName", "W. Europe Standard Time");
    set("TimeZoneKeyName", "China Standard Time", kDword);  // not a string: absent
    EXPECT_EQ(find(), idx("Europe/Berlin"));
    // The matching subkey's name is what goes through the map.
    zone(kZonesNt, "Tokyo Standard Time", "Tokio Normalzeit");
    set("StandardName", "Tokio Normalzeit");
    EXPECT_EQ(find(), idx("Asia/Tokyo"));
    // No zone has that standard name, or the matching zone is unmapped.
    set("StandardName", "Mars Standard Time");
    EXPECT_EQ(find(), -1);
    zone(kZonesNt, "Mars Standard Time", "Mars Std");
    set("StandardName", "Mars Std");
    EXPECT_EQ(find(), -1);
    // The platform id chooses the zone list.
    set("StandardName", "China Standard Time");
    keys.erase(kZonesNt);
    zones(kZones9x);
    EXPECT_EQ(find(1) * 10 + find(2), idx("Asia/Shanghai") * 10 - 1);
}

TEST_F(RegistryZone, FailuresGiveMinusOne) {
    EXPECT_EQ(find(), -1);  // no TimeZoneInformation key
    set("Bias", "x", kDword);
    EXPECT_EQ(find(), -1);  // neither name
    set("StandardName", "China Standard Time", kDword);
    zones(kZonesNt);
    EXPECT_EQ(find(), -1);  // a standard name that is not a string
    set("StandardName", "China Standard Time");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    // The search ends at the first zone without a readable "Std", or that
    // cannot be opened; then the zone list itself cannot be opened.
    Key &aus = keys[kZonesNt + std::string("\\AUS Central Standard Time")];
    aus.values["Std"].first = kDword;
    EXPECT_EQ(find(), -1);
    aus.values.clear();
    EXPECT_EQ(find(), -1);
    aus.values["Std"] = {kSz, "x"};
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    aus.openable = false;
    EXPECT_EQ(find(), -1);
    keys[kZonesNt].openable = false;
    EXPECT_EQ(find(), -1);
    set("TimeZoneKeyName", "China Standard Time");
    keys[kTzi].openable = false;
    EXPECT_EQ(find(), -1);
}

TEST_F(RegistryZone, LongValuesAreCutAtTheBufferAndReadAfresh) {
    // 1023 bytes are read at most: 1022 characters and the NUL fit (and map
    // to nothing); a longer name cannot be read, which counts as absent.
    set("TimeZoneKeyName", std::string(1022, 'x'));
    EXPECT_EQ(find(), -1);
    set("TimeZoneKeyName", std::string(1023, 'x'));
    set("StandardName", "China Standard Time");
    zones(kZonesNt);
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    // The current zone comes from the installed registry, read every time.
    const orbek::reg::Ops *before = orbek::zone::set_registry_for_testing(&kOps);
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Shanghai"));
    set("TimeZoneKeyName", "Korea Standard Time");
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Seoul"));
    orbek::zone::set_registry_for_testing(before);
}

#ifdef _WIN32
// The real registry (Wine's under the test runner): the current zone is the
// map's answer for its TimeZoneKeyName.
TEST(SystemZone, RealRegistry) {
    const orbek::reg::Ops *ops = orbek::reg::system_ops();
    void *key = nullptr;
    ASSERT_TRUE(ops && ops->open(nullptr, kTzi, &key));
    char buf[1024];
    uint32_t type = 0, size = 1023;
    const bool have = ops->query(key, "TimeZoneKeyName", &type, buf, &size);
    ops->close(key);
    ASSERT_TRUE(have && type == kSz);
    buf[size] = '\0';
    EXPECT_EQ(orbek::zone::current_zone(), orbek::zone::lookup_windows(buf)) << buf;
}
#else
// Without a registry the TZ variable names the zone when it is a zone of
// the table, with or without a leading ':'; otherwise the system files
// decide: /etc/timezone's first word, else the zone /etc/localtime links to.
TEST(SystemZone, TzVariable) {
    const char *old = getenv("TZ");
    const std::string saved = old ? old : "";
    unsetenv("TZ");
    int32_t expected = -1;
    char name[4096] = "";
    if (FILE *f = fopen("/etc/timezone", "r")) {
        if (fscanf(f, "%255s", name) == 1) expected = idx(name);
        fclose(f);
    }
    const ssize_t n = readlink("/etc/localtime", name, sizeof name - 1);
    if (expected < 0 && n > 0 && (name[n] = '\0', strstr(name, "zoneinfo/"))) expected = idx(strstr(name, "zoneinfo/") + 9);
    EXPECT_EQ(orbek::zone::current_zone(), expected);
    const std::pair<const char *, int32_t> rows[] = {{"Asia/Shanghai", idx("Asia/Shanghai")},
                                                     {":America/New_York", idx("America/New_York")},
                                                     {"UTC", 414}, {"CST-8", expected}, {"", expected}};
    for (const auto &r : rows) {
        setenv("TZ", r.first, 1);
        EXPECT_EQ(orbek::zone::current_zone(), r.second) << r.first;
    }
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
}
#endif

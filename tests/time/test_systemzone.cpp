// Finding the system's zone: the Windows registry search, driven through
// registry contents the tests make up, and the platform's own setting.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <map>
#include <string>
#include <vector>

#include "orbek_util.h"
#include "time/systemzone.h"
#include "time/zone.h"

namespace {

const char kTzi[] = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
const char kZonesNt[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char kZones9x[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
constexpr uint32_t kSz = 1, kDword = 4;

// Registry contents: keys by full path, each with its values and its
// subkeys in enumeration order.
struct FakeKey {
    std::map<std::string, std::pair<uint32_t, std::string>> values;
    std::vector<std::string> subkeys;
    bool openable = true;
};

struct FakeRegistry {
    std::map<std::string, FakeKey> keys;
    int open = 0;  // keys open right now
    int opens = 0;

    void zone(const char *zones_key, const std::string &name, const std::string &std_name) {
        keys[zones_key].subkeys.push_back(name);
        keys[std::string(zones_key) + "\\" + name].values["Std"] = {kSz, std_name};
    }
};

FakeRegistry *g_reg = nullptr;

bool fake_open(void *parent, const char *path, void **key) {
    std::string full = parent ? *static_cast<std::string *>(parent) + "\\" + path : path;
    auto it = g_reg->keys.find(full);
    if (it == g_reg->keys.end() || !it->second.openable) return false;
    *key = new std::string(full);
    ++g_reg->open;
    ++g_reg->opens;
    return true;
}

bool fake_query(void *key, const char *name, uint32_t *type, char *buf, uint32_t *size) {
    const FakeKey &k = g_reg->keys[*static_cast<std::string *>(key)];
    auto it = k.values.find(name);
    if (it == k.values.end()) return false;
    // Like the registry: the string with its NUL, cut to the buffer.
    const std::string &v = it->second.second;
    uint32_t n = (uint32_t)v.size() + 1;
    if (n > *size) return false;
    memcpy(buf, v.c_str(), n);
    *type = it->second.first;
    *size = n;
    return true;
}

bool fake_enum(void *key, uint32_t index, char *buf, uint32_t size) {
    const FakeKey &k = g_reg->keys[*static_cast<std::string *>(key)];
    if (index >= k.subkeys.size() || k.subkeys[index].size() >= size) return false;
    strcpy(buf, k.subkeys[index].c_str());
    return true;
}

void fake_close(void *key) {
    delete static_cast<std::string *>(key);
    --g_reg->open;
}

const orbek::reg::Ops kFakeOps = {fake_open, fake_query, fake_enum, fake_close};

class RegistryZone : public ::testing::Test {
protected:
    FakeRegistry reg;
    void SetUp() override { g_reg = &reg; }
    void TearDown() override {
        EXPECT_EQ(reg.open, 0) << "a key was left open";
        g_reg = nullptr;
    }
    int32_t find(uint32_t platform = 2) { return orbek::zone::zone_from_registry(kFakeOps, platform); }
    void key_name(const std::string &name, uint32_t type = kSz) { reg.keys[kTzi].values["TimeZoneKeyName"] = {type, name}; }
    void standard_name(const std::string &name) { reg.keys[kTzi].values["StandardName"] = {kSz, name}; }
    // A small zone list with English "Std" names.
    void zones(const char *key) {
        reg.zone(key, "AUS Central Standard Time", "AUS Central Standard Time");
        reg.zone(key, "China Standard Time", "China Standard Time");
        reg.zone(key, "W. Europe Standard Time", "W. Europe Standard Time");
    }
};

int32_t idx(const char *name) { return orbek::zone::lookup(name); }

}  // namespace

TEST(WindowsZoneMap, NamesMapExactly) {
    using orbek::zone::lookup_windows;
    EXPECT_EQ(lookup_windows("China Standard Time"), idx("Asia/Shanghai"));
    EXPECT_EQ(lookup_windows("Beijing"), idx("Asia/Shanghai"));
    EXPECT_EQ(lookup_windows("Pacific Standard Time"), idx("America/Los_Angeles"));
    EXPECT_EQ(lookup_windows("Central Standard Time (Mexico)"), idx("America/Mexico_City"));
    EXPECT_EQ(lookup_windows("Tasmania Standard Time"), idx("Australia/Hobart"));
    EXPECT_EQ(lookup_windows("Dateline Standard Time"), idx("Etc/GMT-12"));
    EXPECT_EQ(lookup_windows("AUS Central"), idx("Australia/Darwin"));
    EXPECT_EQ(lookup_windows("Yakutsk Standard Time"), idx("Asia/Yakutsk"));
    EXPECT_EQ(lookup_windows("china standard time"), -1);
    EXPECT_EQ(lookup_windows("China Standard Time "), -1);
    EXPECT_EQ(lookup_windows("UTC"), -1);
    EXPECT_EQ(lookup_windows(""), -1);
    EXPECT_EQ(lookup_windows(nullptr), -1);
}

TEST_F(RegistryZone, KeyNameIsMappedWithoutFallBack) {
    zones(kZonesNt);
    standard_name("W. Europe Standard Time");
    key_name("China Standard Time");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    key_name("Pacific Standard Time");
    EXPECT_EQ(find(), idx("America/Los_Angeles"));
    key_name("Central Standard Time (Mexico)");
    EXPECT_EQ(find(), idx("America/Mexico_City"));
    // A name outside the map, or in another letter case: no zone, even
    // though the standard name would have matched one.
    key_name("Coordinated Universal Time");
    EXPECT_EQ(find(), -1);
    key_name("china standard time");
    EXPECT_EQ(find(), -1);
    EXPECT_EQ(reg.opens, 5);  // the zone list was never opened
}

TEST_F(RegistryZone, StandardNameIsMatchedAgainstTheZonesStd) {
    zones(kZonesNt);
    standard_name("W. Europe Standard Time");
    EXPECT_EQ(find(), idx("Europe/Berlin"));
    // A key name that is not a string counts as absent.
    key_name("China Standard Time", kDword);
    EXPECT_EQ(find(), idx("Europe/Berlin"));
    // The matching subkey's name is what goes through the map.
    reg.zone(kZonesNt, "Tokyo Standard Time", "Tokio Normalzeit");
    standard_name("Tokio Normalzeit");
    EXPECT_EQ(find(), idx("Asia/Tokyo"));
    // No zone has that standard name, or the matching zone is unmapped.
    standard_name("Mars Standard Time");
    EXPECT_EQ(find(), -1);
    reg.zone(kZonesNt, "Mars Standard Time", "Mars Std");
    standard_name("Mars Std");
    EXPECT_EQ(find(), -1);
}

TEST_F(RegistryZone, PlatformIdChoosesTheZonesKey) {
    zones(kZones9x);
    standard_name("China Standard Time");
    EXPECT_EQ(find(1), idx("Asia/Shanghai"));
    EXPECT_EQ(find(2), -1);
    zones(kZonesNt);
    EXPECT_EQ(find(2), idx("Asia/Shanghai"));
}

TEST_F(RegistryZone, FailuresGiveMinusOne) {
    EXPECT_EQ(find(), -1);  // no TimeZoneInformation key
    reg.keys[kTzi].values["Bias"] = {kDword, "x"};
    EXPECT_EQ(find(), -1);  // neither name
    reg.keys[kTzi].values["StandardName"] = {kDword, "China Standard Time"};
    zones(kZonesNt);
    EXPECT_EQ(find(), -1);  // a standard name that is not a string
    standard_name("China Standard Time");
    EXPECT_EQ(find(), idx("Asia/Shanghai"));

    // The search ends at the first zone without a readable "Std".
    reg.keys[std::string(kZonesNt) + "\\AUS Central Standard Time"].values["Std"].first = kDword;
    EXPECT_EQ(find(), -1);
    reg.keys[std::string(kZonesNt) + "\\AUS Central Standard Time"].values.clear();
    EXPECT_EQ(find(), -1);
    reg.keys[std::string(kZonesNt) + "\\AUS Central Standard Time"].values["Std"] = {kSz, "x"};
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
    // A zone subkey that cannot be opened, then the zone list itself.
    reg.keys[std::string(kZonesNt) + "\\AUS Central Standard Time"].openable = false;
    EXPECT_EQ(find(), -1);
    reg.keys[kZonesNt].openable = false;
    EXPECT_EQ(find(), -1);
    reg.keys[kTzi].openable = false;
    key_name("China Standard Time");
    EXPECT_EQ(find(), -1);
}

TEST_F(RegistryZone, LongValuesAreCutAtTheBuffer) {
    // 1023 bytes are read at most: 1022 characters and the NUL fit (and map
    // to nothing); a longer name cannot be read, which counts as absent.
    key_name(std::string(1022, 'x'));
    EXPECT_EQ(find(), -1);
    key_name(std::string(2000, 'x'));
    standard_name("China Standard Time");
    zones(kZonesNt);
    EXPECT_EQ(find(), idx("Asia/Shanghai"));
}

TEST_F(RegistryZone, CurrentZoneUsesTheInstalledRegistry) {
    zones(kZonesNt);
    key_name("Tokyo Standard Time");
    const orbek::reg::Ops *before = orbek::zone::set_registry_for_testing(&kFakeOps);
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Tokyo"));
    key_name("Korea Standard Time");
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Seoul"));  // read afresh
    orbek::zone::set_registry_for_testing(before);
}

#ifdef _WIN32
// The real registry (Wine's under the test runner): the current zone is the
// map's answer for its TimeZoneKeyName.
TEST(SystemZone, RealRegistry) {
    const orbek::reg::Ops *ops = orbek::reg::system_ops();
    ASSERT_NE(ops, nullptr);
    void *key = nullptr;
    ASSERT_TRUE(ops->open(nullptr, kTzi, &key));
    char buf[1024];
    uint32_t type = 0, size = 1023;
    const bool have = ops->query(key, "TimeZoneKeyName", &type, buf, &size);
    ops->close(key);
    if (have && type == kSz) {
        buf[size] = '\0';
        EXPECT_EQ(orbek::zone::current_zone(), orbek::zone::lookup_windows(buf)) << buf;
    }
    orbek_winversion v;
    ASSERT_TRUE(orbek_getwinversion(&v));
    EXPECT_EQ(orbek::zone::current_zone(), orbek::zone::zone_from_registry(*ops, v.platform_id));
}
#else
// Without a registry the TZ variable names the zone when it is a zone of
// the table, with or without a leading ':'.
TEST(SystemZone, TzVariable) {
    const char *old = getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Asia/Shanghai", 1);
    EXPECT_EQ(orbek::zone::current_zone(), idx("Asia/Shanghai"));
    setenv("TZ", ":America/New_York", 1);
    EXPECT_EQ(orbek::zone::current_zone(), idx("America/New_York"));
    setenv("TZ", "UTC", 1);
    EXPECT_EQ(orbek::zone::current_zone(), 414);
    // Not a zone of the table: the system files decide, as with no TZ:
    // /etc/timezone's first word, else the zone /etc/localtime links to.
    unsetenv("TZ");
    int32_t expected = -1;
    if (FILE *f = fopen("/etc/timezone", "r")) {
        char name[256] = "";
        if (fscanf(f, "%255s", name) == 1) expected = idx(name);
        fclose(f);
    }
    char link[4096];
    const ssize_t n = readlink("/etc/localtime", link, sizeof link - 1);
    if (expected < 0 && n > 0) {
        link[n] = '\0';
        const char *z = strstr(link, "zoneinfo/");
        if (z) expected = idx(z + 9);
    }
    EXPECT_EQ(orbek::zone::current_zone(), expected);
    setenv("TZ", "CST-8", 1);
    EXPECT_EQ(orbek::zone::current_zone(), expected);
    setenv("TZ", "", 1);
    EXPECT_EQ(orbek::zone::current_zone(), expected);
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
}
#endif

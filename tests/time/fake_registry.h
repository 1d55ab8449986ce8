// Registry contents the tests make up, behind the operations the system zone
// search reads the registry through: keys by full path, each with its values
// and its subkeys in enumeration order.
#ifndef ORBEK_TESTS_TIME_FAKE_REGISTRY_H
#define ORBEK_TESTS_TIME_FAKE_REGISTRY_H

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "time/systemzone.h"

namespace fakereg {

const char kTzi[] = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
const char kZonesNt[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const char kZones9x[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
constexpr uint32_t kSz = 1, kDword = 4;

struct Key {
    std::map<std::string, std::pair<uint32_t, std::string>> values;  // name: type, contents
    std::vector<std::string> subkeys;
    bool openable = true;
};
inline std::map<std::string, Key> keys;
inline int open_keys = 0, opens = 0;

inline void zone(const char *list, const std::string &name, const std::string &std_name) {
    keys[list].subkeys.push_back(name);
    keys[list + ("\\" + name)].values["Std"] = {kSz, std_name};
}

const orbek::reg::Ops kOps = {
    [](void *parent, const char *path, void **key) {
        const std::string full = parent ? *static_cast<std::string *>(parent) + "\\" + path : path;
        if (!keys.count(full) || !keys[full].openable) return false;
        *key = new std::string(full);
        return ++open_keys, ++opens, true;
    },
    [](void *key, const char *name, uint32_t *type, char *buf, uint32_t *size) {
        // Like the registry: the string with its NUL, failing when too long.
        const auto &values = keys[*static_cast<std::string *>(key)].values;
        const auto it = values.find(name);
        if (it == values.end() || it->second.second.size() + 1 > *size) return false;
        *size = (uint32_t)it->second.second.size() + 1;
        memcpy(buf, it->second.second.c_str(), *size);
        return *type = it->second.first, true;
    },
    [](void *key, uint32_t index, char *buf, uint32_t size) {
        const auto &subkeys = keys[*static_cast<std::string *>(key)].subkeys;
        if (index >= subkeys.size() || subkeys[index].size() >= size) return false;
        return strcpy(buf, subkeys[index].c_str()), true;
    },
    [](void *key) { delete static_cast<std::string *>(key), --open_keys; }};

}  // namespace fakereg

#endif

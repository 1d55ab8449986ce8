// Registry contents the tests make up, behind the operations the system zone
// search reads the registry through: each key's subkeys in enumeration order
// and its values by "key\name", as type and contents.
#ifndef ORBEK_TESTS_TIME_FAKE_REGISTRY_H
#define ORBEK_TESTS_TIME_FAKE_REGISTRY_H

#include <string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "time/systemzone.h"

namespace fakereg {

const std::string kTzi = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
const std::string kZonesNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string kZones9x = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
constexpr uint32_t kSz = 1, kDword = 4;

inline std::map<std::string, std::vector<std::string>> keys;  // every key, with its subkeys
inline std::map<std::string, std::pair<uint32_t, std::string>> values;
inline std::set<std::string> locked;  // keys that cannot be opened
inline int open_keys = 0, opens = 0;

inline void set(const std::string &key, const char *name, const std::string &v, uint32_t type = kSz) {
    keys[key], values[key + "\\" + name] = {type, v};
}
inline void zone(const std::string &list, const std::string &name, const std::string &std_name) {
    keys[list].push_back(name), set(list + "\\" + name, "Std", std_name);
}

const orbek::reg::Ops kOps = {
    [](void *parent, const char *path, void **key) {
        const std::string full = parent ? *static_cast<std::string *>(parent) + "\\" + path : path;
        if (!keys.count(full) || locked.count(full)) return false;
        *key = new std::string(full);
        return ++open_keys, ++opens, true;
    },
    [](void *key, const char *name, uint32_t *type, char *buf, uint32_t *size) {
        // Like the registry: the string with its NUL, failing when too long.
        const auto it = values.find(*static_cast<std::string *>(key) + "\\" + name);
        if (it == values.end() || it->second.second.size() + 1 > *size) return false;
        *size = (uint32_t)it->second.second.size() + 1;
        memcpy(buf, it->second.second.c_str(), *size);
        return *type = it->second.first, true;
    },
    [](void *key, uint32_t index, char *buf, uint32_t size) {
        const auto &subkeys = keys[*static_cast<std::string *>(key)];
        return index < subkeys.size() && subkeys[index].size() < size && strcpy(buf, subkeys[index].c_str());
    },
    [](void *key) { delete static_cast<std::string *>(key), --open_keys; }};

}  // namespace fakereg

#endif

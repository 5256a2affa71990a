// A picture of the server as lxnicctl reads it through the library: every
// adapter, team and VLAN with the properties of its panels, the members of
// every team and the VLANs of every adapter and team. Checkpoints keep one;
// diff and verify compare one with the server.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session.h"

namespace lxnicctl {

struct ImageProperty {
    std::string value;
    std::string panel;
    bool writable = false;
};

// Properties in panel order, each id once.
class ImageProperties {
public:
    void set(const std::string &id, ImageProperty property);
    const ImageProperty *find(const std::string &id) const;
    const std::vector<std::pair<std::string, ImageProperty>> &items() const { return items_; }
    bool empty() const { return items_.empty(); }

private:
    std::vector<std::pair<std::string, ImageProperty>> items_;
};

struct ImageVlan {
    uint64_t handle = 0;
    ImageProperties properties;
    std::string id() const;
    std::string name() const;
};

struct ImageAdapter {
    int number = 0;
    uint64_t handle = 0;
    std::string name, definitionType, team;
    ImageProperties properties;
    std::vector<ImageVlan> vlans;
};

struct ImageTeam {
    uint64_t handle = 0;
    std::string name;
    std::vector<int> members;  // adapter numbers
    ImageProperties properties;
    std::vector<ImageVlan> vlans;
};

struct Image {
    std::vector<ImageAdapter> adapters;
    std::vector<ImageTeam> teams;

    const ImageAdapter *adapterNumbered(int number) const;
    const ImageTeam *teamNamed(const std::string &name) const;
    const ImageTeam *teamWithHandle(uint64_t handle) const;

    nlohmann::ordered_json toJson() const;
    // Throws a Failure naming what is wrong with the document.
    static Image fromJson(const nlohmann::json &document, const std::string &what);
};

// Reads the server through the session. With `everyPanel` every panel the
// library knows for each kind of object (a checkpoint); otherwise the panels
// lxnicctl can change.
Image ReadImage(Session &session, bool everyPanel);

// A VLAN among a parent's, by its id (ids compare as numbers).
const ImageVlan *FindVlan(const std::vector<ImageVlan> &vlans, const std::string &id);

// One way in which the server differs from what was expected of it.
struct Difference {
    std::string object;    // eth0, team "Team 1", VLAN 10 on eth2
    std::string what;      // "value", "missing", "extra", "member missing", "member extra"
    std::string property;  // for "value"
    std::string expected, actual;
    nlohmann::json toJson() const;
    std::string text() const;  // a line of the report, without indentation
};

// What in `actual` differs from `expected`. With `exact` (a checkpoint)
// every writable property, team and VLAN counts and what `actual` has beyond
// `expected` is a difference; otherwise (a script) only what `expected`
// names, and empty values in it name nothing.
std::vector<Difference> Compare(const Image &expected, const Image &actual, bool exact);

}  // namespace lxnicctl

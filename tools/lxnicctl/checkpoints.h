// Checkpoints: complete pictures of the server (image.h) with the time and
// the command that took them, one file each in the state folder's
// "checkpoints". Every changing command takes one first; of those the last
// kKeptAutomatic are kept. Ones taken with "checkpoint create" stay until
// they are deleted.
#pragma once

#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "image.h"
#include "state_dir.h"

namespace lxnicctl {

inline constexpr std::size_t kKeptAutomatic = 10;

struct CheckpointInfo {
    std::string id;       // "1", "2", ... in the order taken
    std::time_t taken = 0;
    std::string time;     // taken, as local time text
    std::string command;  // the command line that took it
    bool automatic = true;
    nlohmann::json toJson() const;
};

class Checkpoints {
public:
    explicit Checkpoints(const StateDir &dir) : dir_(dir) {}

    // Saves an image as the next checkpoint; returns its description.
    CheckpointInfo save(const Image &image, const std::string &command, bool automatic);
    // Oldest first.
    std::vector<CheckpointInfo> list() const;
    // Throws a Failure naming the checkpoints there are when there is no
    // checkpoint of this id.
    Image load(const std::string &id, CheckpointInfo &info) const;
    // The whole file, for "checkpoint show --json".
    nlohmann::json document(const std::string &id) const;
    void remove(const std::string &id);
    // The newest checkpoint a changing command took.
    std::optional<CheckpointInfo> latestAutomatic() const;
    // Deletes the automatic checkpoints beyond the newest kKeptAutomatic.
    void prune();

private:
    std::string fileOf(const std::string &id) const;
    const StateDir &dir_;
};

}  // namespace lxnicctl

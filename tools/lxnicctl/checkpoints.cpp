#include "checkpoints.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "library.h"
#include "platform.h"

namespace lxnicctl {

namespace fs = std::filesystem;

namespace {

constexpr int kFormat = 1;

bool IsId(const std::string &text) {
    return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
}

nlohmann::json ReadJson(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read " + path);
    std::stringstream bytes;
    bytes << in.rdbuf();
    try {
        return nlohmann::json::parse(bytes.str());
    } catch (const nlohmann::json::exception &e) {
        throw Failure(path + " is not a checkpoint: " + e.what());
    }
}

CheckpointInfo InfoOf(const nlohmann::json &document) {
    CheckpointInfo info;
    info.id = document.value("id", "");
    info.taken = document.value("taken", static_cast<std::time_t>(0));
    info.time = document.value("time", "");
    info.command = document.value("command", "");
    info.automatic = document.value("automatic", true);
    return info;
}

}  // namespace

nlohmann::json CheckpointInfo::toJson() const {
    return {{"id", id}, {"time", time}, {"command", command}, {"automatic", automatic}};
}

std::string Checkpoints::fileOf(const std::string &id) const { return dir_.checkpoints() + "/" + id + ".json"; }

// Beside each checkpoint a small file with its description, so that listing
// checkpoints does not read whole servers.
static std::string InfoFileOf(const std::string &checkpointFile) {
    return checkpointFile.substr(0, checkpointFile.size() - 5) + ".info.json";
}

CheckpointInfo Checkpoints::save(const Image &image, const std::string &command, bool automatic) {
    dir_.create();
    // Ids are never given twice, also after the newest checkpoint was
    // deleted (or dropped by a command that changed nothing): a caller that
    // noted an id must not restore another checkpoint by it. The highest id
    // given is kept beside the checkpoints.
    const std::string lastFile = dir_.checkpoints() + "/last-id";
    long next = 1;
    for (const CheckpointInfo &c : list()) next = std::max(next, std::atol(c.id.c_str()) + 1);
    {
        std::ifstream last(lastFile);
        long given = 0;
        if (last >> given && given > 0 && given < 999999999) next = std::max(next, given + 1);
    }
    CheckpointInfo info;
    info.id = std::to_string(next);
    info.taken = std::time(nullptr);
    info.time = platform::LocalTimeText(info.taken);
    info.command = command;
    info.automatic = automatic;
    nlohmann::ordered_json document = {{"format", kFormat},         {"id", info.id},
                                       {"time", info.time},         {"taken", info.taken},
                                       {"command", info.command},   {"automatic", info.automatic},
                                       {"server", image.toJson()}};
    std::string problem = platform::ReplaceFile(fileOf(info.id), document.dump(1) + "\n");
    if (problem.empty()) {
        document.erase("server");
        problem = platform::ReplaceFile(InfoFileOf(fileOf(info.id)), document.dump(1) + "\n");
    }
    if (problem.empty()) problem = platform::ReplaceFile(lastFile, info.id + "\n");
    if (!problem.empty()) throw Failure("cannot save the checkpoint: " + problem);
    return info;
}

std::vector<CheckpointInfo> Checkpoints::list() const {
    std::vector<CheckpointInfo> out;
    std::error_code error;
    for (fs::directory_iterator it(dir_.checkpoints(), error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() != ".json" || !IsId(it->path().stem().string())) continue;
        try {
            CheckpointInfo info = InfoOf(ReadJson(InfoFileOf(it->path().string())));
            if (info.id == it->path().stem().string()) out.push_back(info);
        } catch (const Failure &) {
            // A file that is not a checkpoint is not listed.
        }
    }
    std::sort(out.begin(), out.end(), [](const CheckpointInfo &a, const CheckpointInfo &b) {
        return std::atol(a.id.c_str()) < std::atol(b.id.c_str());
    });
    return out;
}

nlohmann::json Checkpoints::document(const std::string &id) const {
    std::error_code error;
    if (!IsId(id) || !fs::exists(fileOf(id), error)) {
        std::string ids;
        for (const CheckpointInfo &c : list()) ids += (ids.empty() ? "" : ", ") + c.id;
        throw Failure("no checkpoint " + id + " (checkpoints: " + (ids.empty() ? "none" : ids) + ")");
    }
    nlohmann::json document = ReadJson(fileOf(id));
    if (document.value("format", 0) > kFormat)
        throw Failure("checkpoint " + id + " was written by a newer lxnicctl");
    return document;
}

Image Checkpoints::load(const std::string &id, CheckpointInfo &info) const {
    nlohmann::json document = this->document(id);
    info = InfoOf(document);
    if (!document.contains("server")) throw Failure("checkpoint " + id + " holds no server");
    return Image::fromJson(document.at("server"), "checkpoint " + id);
}

void Checkpoints::remove(const std::string &id) {
    document(id);  // a Failure when there is none
    std::error_code error;
    fs::remove(InfoFileOf(fileOf(id)), error);
    fs::remove(fileOf(id), error);
    if (error) throw Failure("cannot delete checkpoint " + id + ": " + error.message());
}

std::optional<CheckpointInfo> Checkpoints::latestAutomatic() const {
    std::optional<CheckpointInfo> latest;
    for (const CheckpointInfo &c : list()) {
        if (c.automatic) latest = c;
    }
    return latest;
}

void Checkpoints::prune() {
    std::vector<CheckpointInfo> automatic;
    for (const CheckpointInfo &c : list()) {
        if (c.automatic) automatic.push_back(c);
    }
    for (std::size_t i = 0; i + kKeptAutomatic < automatic.size(); ++i) {
        std::error_code error;
        fs::remove(InfoFileOf(fileOf(automatic[i].id)), error);
        fs::remove(fileOf(automatic[i].id), error);
    }
}

}  // namespace lxnicctl

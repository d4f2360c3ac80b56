#include "dev_state.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "pow_check.h"

namespace corvanta::devserver {
namespace {

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               DevState::Clock::now().time_since_epoch())
        .count();
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

// The whole text as a decimal unsigned 64-bit number, nothing else.
std::optional<std::uint64_t> parseNonce(const std::string& text) {
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

DevState::DevState(DevConfig config)
    : config_(std::move(config)), random_(std::random_device{}()) {}

DevConfig DevState::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void DevState::updateConfig(const nlohmann::json& changes) {
    std::lock_guard lock(mutex_);
    DevConfig next = config_;
    if (changes.contains("tokenLifetime")) {
        next.tokenLifetimeSeconds = changes.at("tokenLifetime").get<std::int64_t>();
    }
    if (changes.contains("difficulty")) {
        next.difficulty = changes.at("difficulty").get<std::int64_t>();
    }
    if (changes.contains("upperBound")) {
        next.upperBound = changes.at("upperBound").get<std::uint64_t>();
    }
    if (changes.contains("versionReply")) {
        next.versionReply = changes.at("versionReply").get<std::string>();
    }
    if (changes.contains("latestVersion")) {
        next.latestVersion = changes.at("latestVersion").get<std::string>();
    }
    if (next.versionReply != "none" && next.versionReply != "optional" &&
        next.versionReply != "mandatory") {
        throw std::invalid_argument("versionReply must be none, optional or mandatory");
    }
    config_ = next;
}

void DevState::addKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!accountsByKey_.contains(key)) {
        accountsByKey_[key] = nextAccount_++;
    }
}

bool DevState::isKnownKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return accountsByKey_.contains(key);
}

std::string DevState::randomHex(std::size_t digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < digits; ++i) {
        out += kHex[random_() & 0xF];
    }
    return out;
}

std::string DevState::issueToken(std::int64_t accountId) {
    std::string token = randomHex(32);
    tokens_[token] =
        Token{accountId, Clock::now() + std::chrono::seconds(config_.tokenLifetimeSeconds)};
    return token;
}

std::optional<std::string> DevState::login(const std::string& key, std::int64_t* expiresAt) {
    std::lock_guard lock(mutex_);
    const auto account = accountsByKey_.find(key);
    if (account == accountsByKey_.end()) {
        return std::nullopt;
    }
    std::string token = issueToken(account->second);
    if (expiresAt) {
        *expiresAt = std::chrono::duration_cast<std::chrono::seconds>(
                         tokens_[token].expiresAt.time_since_epoch())
                         .count();
    }
    return token;
}

std::optional<std::int64_t> DevState::accountOf(const std::string& token) const {
    std::lock_guard lock(mutex_);
    const auto it = tokens_.find(token);
    if (it == tokens_.end() || it->second.expiresAt <= Clock::now()) {
        return std::nullopt;
    }
    return it->second.accountId;
}

std::int64_t DevState::remainingSeconds(const std::string& token) const {
    std::lock_guard lock(mutex_);
    const auto it = tokens_.find(token);
    if (it == tokens_.end()) {
        return 0;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::seconds>(it->second.expiresAt - Clock::now());
    return std::max<std::int64_t>(0, left.count());
}

std::optional<std::string> DevState::refresh(const std::string& token) {
    std::lock_guard lock(mutex_);
    const auto it = tokens_.find(token);
    if (it == tokens_.end() || it->second.expiresAt <= Clock::now()) {
        return std::nullopt;
    }
    const std::int64_t account = it->second.accountId;
    tokens_.erase(it);
    return issueToken(account);
}

void DevState::revoke(const std::string& token) {
    std::lock_guard lock(mutex_);
    tokens_.erase(token);
}

void DevState::revokeAll() {
    std::lock_guard lock(mutex_);
    tokens_.clear();
}

std::int64_t DevState::registerDevice(std::int64_t accountId, const std::string& sn,
                                      const std::string& name, const std::string& cpu) {
    std::lock_guard lock(mutex_);
    for (auto& [id, device] : devices_) {
        if (device.accountId == accountId && device.sn == sn) {
            device.name = name;
            device.cpu = cpu;
            return id;
        }
    }
    const std::int64_t id = nextDevice_++;
    devices_[id] = Device{accountId, sn, name, cpu};
    return id;
}

bool DevState::ownsDevice(std::int64_t accountId, std::int64_t deviceId) const {
    std::lock_guard lock(mutex_);
    const auto it = devices_.find(deviceId);
    return it != devices_.end() && it->second.accountId == accountId;
}

bool DevState::keyMayUseDevice(const std::string& key, std::int64_t deviceId) const {
    std::lock_guard lock(mutex_);
    const auto account = accountsByKey_.find(key);
    const auto device = devices_.find(deviceId);
    return account != accountsByKey_.end() && device != devices_.end() &&
           device->second.accountId == account->second;
}

DevState::Task DevState::issueTask(std::int64_t accountId, std::int64_t deviceId) {
    std::lock_guard lock(mutex_);
    for (auto id = taskOrder_.rbegin(); id != taskOrder_.rend(); ++id) {
        Task& latest = tasks_[*id];
        if (latest.deviceId != deviceId) {
            continue;
        }
        if (!latest.accepted && latest.timesIssued <= config_.reissueUnsolved) {
            ++latest.timesIssued;
            return latest;
        }
        break;
    }
    Task task;
    char id[32];
    std::snprintf(id, sizeof id, "T%lld", static_cast<long long>(nextTask_++));
    task.id = id;
    task.deviceId = deviceId;
    task.accountId = accountId;
    task.seed = randomHex(16);
    task.difficulty = config_.difficulty;
    task.upperBound = config_.upperBound;
    task.beginTime = unixNow();
    tasks_[task.id] = task;
    taskOrder_.push_back(task.id);
    return task;
}

DevState::SubmitOutcome DevState::submit(std::int64_t accountId, const std::string& taskId,
                                         const std::string& result) {
    std::lock_guard lock(mutex_);
    const auto it = tasks_.find(taskId);
    if (it == tasks_.end()) {
        return SubmitOutcome::unknownTask;
    }
    Task& task = it->second;
    if (task.accountId != accountId) {
        return SubmitOutcome::notYours;
    }
    task.submitted.push_back(result);
    const auto nonce = parseNonce(result);
    if (!nonce) {
        return SubmitOutcome::badNonce;
    }
    if (task.accepted) {
        // A client whose reply was lost sends the accepted nonce again: the same answer again.
        return *task.accepted == *nonce ? SubmitOutcome::acceptedAgain
                                        : SubmitOutcome::alreadySolved;
    }
    // Without an upper bound in the reply, clients search the default space of 10 * 2^32.
    const std::uint64_t bound = task.upperBound == 0 ? 42949672960ULL : task.upperBound;
    if (*nonce >= bound) {
        return SubmitOutcome::outOfRange;
    }
    if (!meetsDifficulty(task.seed, *nonce, task.difficulty)) {
        return SubmitOutcome::rejected;
    }
    task.accepted = *nonce;
    awards_[accountId][today()] += 1;
    return SubmitOutcome::accepted;
}

std::map<std::string, std::int64_t> DevState::awardsByDay(std::int64_t accountId) const {
    std::lock_guard lock(mutex_);
    const auto it = awards_.find(accountId);
    return it == awards_.end() ? std::map<std::string, std::int64_t>{} : it->second;
}

nlohmann::json DevState::tasksJson() const {
    std::lock_guard lock(mutex_);
    nlohmann::json list = nlohmann::json::array();
    for (const auto& id : taskOrder_) {
        const Task& task = tasks_.at(id);
        list.push_back(
            {{"taskId", task.id},
             {"deviceId", task.deviceId},
             {"seed", task.seed},
             {"difficulty", task.difficulty},
             {"upperBound", task.upperBound},
             {"beginTime", task.beginTime},
             {"submitted", task.submitted},
             {"accepted", task.accepted ? nlohmann::json(*task.accepted) : nlohmann::json()},
             {"solved", task.accepted.has_value()}});
    }
    return list;
}

}  // namespace corvanta::devserver

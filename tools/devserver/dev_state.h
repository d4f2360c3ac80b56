#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace corvanta::devserver {

// The settings a test may change while the server runs (POST /admin/config).
struct DevConfig {
    std::int64_t tokenLifetimeSeconds = 7 * 24 * 3600;
    std::int64_t difficulty = 5;
    std::uint64_t upperBound = 42949672960ULL;  // 0: the task reply leaves it out
    // How many more times a device's latest unsolved task is handed out again before a new one
    // is made (a client that restarted after a crash resumes it).
    int reissueUnsolved = 0;
    std::string versionReply = "none";  // none, optional, mandatory
    std::string latestVersion = "1.2.0";
};

// Accounts, tokens, devices and tasks. Thread-safe: the HTTP handlers run on a pool.
class DevState {
public:
    using Clock = std::chrono::system_clock;

    struct Task {
        std::string id;
        std::int64_t deviceId = 0;
        std::int64_t accountId = 0;
        std::string seed;
        std::int64_t difficulty = 0;
        std::uint64_t upperBound = 0;
        std::int64_t beginTime = 0;
        std::vector<std::string> submitted;  // every result text, in arrival order
        std::optional<std::uint64_t> accepted;
        int timesIssued = 1;
    };

    enum class SubmitOutcome {
        accepted,
        acceptedAgain,  // the task's accepted nonce, sent again (counted once)
        unknownTask,
        notYours,
        badNonce,
        outOfRange,
        alreadySolved,
        rejected
    };

    explicit DevState(DevConfig config);

    DevConfig config() const;
    void updateConfig(const nlohmann::json& changes);  // throws on bad values

    void addKey(const std::string& key);
    bool isKnownKey(const std::string& key) const;

    // A new token for the key's account; nothing for an unknown key.
    std::optional<std::string> login(const std::string& key, std::int64_t* expiresAt);
    // The account of a live token.
    std::optional<std::int64_t> accountOf(const std::string& token) const;
    // Seconds the token has left (0 when unknown or expired).
    std::int64_t remainingSeconds(const std::string& token) const;
    // Replaces a live token by a new one with a fresh lifetime.
    std::optional<std::string> refresh(const std::string& token);
    void revoke(const std::string& token);
    void revokeAll();

    // The device id for (account, sn), registering it on first sight.
    std::int64_t registerDevice(std::int64_t accountId, const std::string& sn,
                                const std::string& name, const std::string& cpu);
    bool ownsDevice(std::int64_t accountId, std::int64_t deviceId) const;
    bool keyMayUseDevice(const std::string& key, std::int64_t deviceId) const;

    Task issueTask(std::int64_t accountId, std::int64_t deviceId);
    SubmitOutcome submit(std::int64_t accountId, const std::string& taskId,
                         const std::string& result);

    // Accepted tasks per day (yyyy-mm-dd, UTC) of one account.
    std::map<std::string, std::int64_t> awardsByDay(std::int64_t accountId) const;
    nlohmann::json tasksJson() const;

private:
    struct Token {
        std::int64_t accountId;
        Clock::time_point expiresAt;
    };
    struct Device {
        std::int64_t accountId;
        std::string sn;
        std::string name;
        std::string cpu;
    };

    std::string randomHex(std::size_t digits);
    std::string issueToken(std::int64_t accountId);

    mutable std::mutex mutex_;
    DevConfig config_;
    std::mt19937_64 random_;
    std::map<std::string, std::int64_t> accountsByKey_;
    std::map<std::string, Token> tokens_;
    std::map<std::int64_t, Device> devices_;
    std::map<std::string, Task> tasks_;
    std::vector<std::string> taskOrder_;
    std::map<std::int64_t, std::map<std::string, std::int64_t>> awards_;
    std::int64_t nextAccount_ = 1;
    std::int64_t nextDevice_ = 1;
    std::int64_t nextTask_ = 1;
};

}  // namespace corvanta::devserver

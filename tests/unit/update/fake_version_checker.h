#pragma once

#include <deque>
#include <memory>
#include <stdexcept>
#include <vector>

#include "async/resume_slot.h"
#include "update/app_version_source.h"
#include "update/version_checking.h"

namespace corvanta::update {

// A backend answer scripted by the test: an update, none, or a failure.
struct ScriptedReply {
    std::optional<backend::AppVersionUpdate> update;
    bool fail = false;
};

// Shared with the test so it outlives the manager that owns the checker.
struct CheckerScript {
    std::deque<ScriptedReply> replies;  // empty: no update
    std::vector<QString> versionsAsked;
    std::vector<std::stop_token> stops;
    // While set, each check parks in `parked` until the test resumes it.
    bool hold = false;
    std::vector<std::shared_ptr<async::ResumeSlot>> parked;
};

class FakeVersionChecker : public VersionChecking {
public:
    explicit FakeVersionChecker(std::shared_ptr<CheckerScript> script)
        : script_(std::move(script)) {}

    QCoro::Task<std::optional<backend::AppVersionUpdate>> checkVersion(
        QString currentVersion, std::stop_token stop) override {
        const std::shared_ptr<CheckerScript> script = script_;
        script->versionsAsked.push_back(currentVersion);
        script->stops.push_back(stop);
        if (script->hold) {
            auto slot = std::make_shared<async::ResumeSlot>();
            script->parked.push_back(slot);
            co_await slot->wait();
        }
        ScriptedReply reply;
        if (!script->replies.empty()) {
            reply = script->replies.front();
            script->replies.pop_front();
        }
        if (reply.fail) {
            throw std::runtime_error("backend unreachable");
        }
        co_return reply.update;
    }

private:
    std::shared_ptr<CheckerScript> script_;
};

class FixedVersion : public AppVersionSource {
public:
    explicit FixedVersion(QString version) : version_(std::move(version)) {}
    QString currentVersion() const override { return version_; }

private:
    QString version_;
};

}  // namespace corvanta::update

#include "tasks/restart_backoff.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace corvanta::tasks {

RestartBackoff::RestartBackoff(double scale, std::function<double()> unitRandom)
    : scale_(scale > 0 ? scale : 1.0), unitRandom_(std::move(unitRandom)) {
    if (!unitRandom_) {
        unitRandom_ = [] { return QRandomGenerator::global()->generateDouble(); };
    }
}

std::chrono::milliseconds RestartBackoff::next() {
    // 30 s doubled once per earlier restart; the shift stops growing well before it could
    // overflow.
    const int doublings = std::min(restarts_, 16);
    const auto nominal = std::min<std::chrono::milliseconds::rep>(kFirstDelay.count() << doublings,
                                                                  kLongestDelay.count());
    ++restarts_;
    const double random = std::clamp(unitRandom_(), 0.0, 1.0);
    const double jittered = static_cast<double>(nominal) * (1.0 - kJitter * random) * scale_;
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(jittered)));
}

double RestartBackoff::scaleFromEnvironment() {
    bool ok = false;
    const double scale =
        qEnvironmentVariable("CORVANTA_RESTART_DELAY_SCALE").trimmed().toDouble(&ok);
    return ok && scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

}  // namespace corvanta::tasks

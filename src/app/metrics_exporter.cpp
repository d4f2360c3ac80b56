#include "app/metrics_exporter.h"

#include <QHostAddress>

#include <prometheus/collectable.h>
#include <prometheus/exposer.h>
#include <prometheus/metric_family.h>

#include <algorithm>
#include <array>
#include <stdexcept>

#include "guard/pressure_controller.h"
#include "tasks/engine_counters.h"
#include "tasks/task_orchestrator.h"

namespace corvanta::app {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

// The states a scrape names, each 1 when current and 0 otherwise; before the engine first
// starts (idle) all are 0.
constexpr std::array kStates = {tasks::EngineState::running, tasks::EngineState::paused,
                                tasks::EngineState::stopped, tasks::EngineState::waitingKey,
                                tasks::EngineState::restarting};

// The reasons the pressure controller gives, so that a scrape shows each from the start; one it
// gives later that is not here joins the list when it first appears.
constexpr std::array kKnownReasons = {"initial",         "thermal-nominal",  "thermal-fair",
                                      "thermal-serious", "thermal-critical", "memory-pressure",
                                      "memory-critical", "ui-busy",          "ui-latency"};

ClientMetric sample(double value, const char* label = nullptr, std::string labelValue = {}) {
    ClientMetric metric;
    if (label) {
        metric.label.push_back({label, std::move(labelValue)});
    }
    metric.counter.value = value;
    metric.gauge.value = value;
    return metric;
}

double valueOf(const std::atomic<std::uint64_t>& counter) {
    return static_cast<double>(counter.load(std::memory_order_relaxed));
}

}  // namespace

class MetricsExporter::Collector : public prometheus::Collectable {
public:
    Collector(const tasks::EngineCounters& counters, std::string version)
        : counters_(counters), version_(std::move(version)) {
        reasons_.assign(kKnownReasons.begin(), kKnownReasons.end());
    }

    void setState(tasks::EngineState state) {
        std::lock_guard lock(mutex_);
        state_ = state;
    }

    void setAdviceReason(std::string reason) {
        std::lock_guard lock(mutex_);
        if (std::find(reasons_.begin(), reasons_.end(), reason) == reasons_.end()) {
            reasons_.push_back(reason);
        }
        reason_ = std::move(reason);
    }

    std::vector<MetricFamily> Collect() const override {
        std::vector<MetricFamily> families;
        const auto add = [&families](const char* name, const char* help, MetricType type,
                                     std::vector<ClientMetric> metrics) {
            families.push_back(MetricFamily{name, help, type, std::move(metrics)});
        };
        const auto& c = counters_;
        add("corvanta_nonces_searched_total", "Nonces searched since the program started.",
            MetricType::Counter, {sample(valueOf(c.noncesSearched))});
        add("corvanta_nonce_rate",
            "Nonces searched per second over the latest interval; 0 while no task runs.",
            MetricType::Gauge, {sample(c.nonceRate.load(std::memory_order_relaxed))});
        add("corvanta_tasks_total", "Tasks ended since the program started, by outcome.",
            MetricType::Counter,
            {sample(valueOf(c.tasksSolved), "outcome", "solved"),
             sample(valueOf(c.tasksFailed), "outcome", "failed")});
        add("corvanta_candidates_total",
            "Candidate nonces sent to the backend, accepted by it, and refused by it.",
            MetricType::Counter,
            {sample(valueOf(c.candidatesSubmitted), "result", "submitted"),
             sample(valueOf(c.candidatesAccepted), "result", "accepted"),
             sample(valueOf(c.candidatesRefused), "result", "refused")});
        add("corvanta_lanes", "Worker lanes of the task in progress, by kind.", MetricType::Gauge,
            {sample(c.cpuLanes.load(std::memory_order_relaxed), "kind", "cpu"),
             sample(c.gpuLanes.load(std::memory_order_relaxed), "kind", "gpu")});
        add("corvanta_build_info", "The client's version.", MetricType::Gauge,
            {sample(1, "version", version_)});

        std::lock_guard lock(mutex_);
        std::vector<ClientMetric> states;
        for (const auto state : kStates) {
            states.push_back(sample(state == state_ ? 1 : 0, "state",
                                    tasks::engineStateWord(state).toStdString()));
        }
        add("corvanta_engine_state", "1 for the engine's current state, 0 for the others.",
            MetricType::Gauge, std::move(states));
        std::vector<ClientMetric> reasons;
        for (const auto& reason : reasons_) {
            reasons.push_back(sample(reason == reason_ ? 1 : 0, "reason", reason));
        }
        add("corvanta_advice_reason",
            "1 for the reason behind the engine's current budget, 0 for the others.",
            MetricType::Gauge, std::move(reasons));
        return families;
    }

private:
    const tasks::EngineCounters& counters_;
    const std::string version_;
    mutable std::mutex mutex_;
    tasks::EngineState state_ = tasks::EngineState::idle;
    std::vector<std::string> reasons_;
    std::string reason_;
};

std::optional<QString> MetricsExporter::addressFromEnvironment() {
    const QString address = qEnvironmentVariable(kAddressVariable).trimmed();
    if (address.isEmpty()) {
        return std::nullopt;
    }
    return address;
}

std::optional<std::string> MetricsExporter::bindAddress(const QString& address) {
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return std::nullopt;
    }
    const QString portText = address.mid(colon + 1);
    const bool digitsOnly =
        !portText.isEmpty() && portText.size() <= 5 &&
        std::all_of(portText.begin(), portText.end(), [](QChar c) { return c.isDigit(); });
    const int port = digitsOnly ? portText.toInt() : 0;
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    QString host = address.left(colon);
    const bool bracketed = host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'));
    if (bracketed) {
        host = host.mid(1, host.size() - 2);
    }
    const QHostAddress ip(host);
    if (ip.isNull()) {
        return std::nullopt;
    }
    const bool isV6 = ip.protocol() == QAbstractSocket::IPv6Protocol;
    if (isV6 != bracketed) {
        return std::nullopt;
    }
    const QString text = isV6 ? QLatin1Char('[') + ip.toString() + QLatin1Char(']') : ip.toString();
    return (text + QLatin1Char(':') + QString::number(port)).toStdString();
}

MetricsExporter::MetricsExporter(const QString& address, const tasks::EngineCounters& counters,
                                 const guard::PressureController& pressure, QString version,
                                 QObject* parent)
    : QObject(parent), address_(address) {
    const auto bind = bindAddress(address);
    if (!bind) {
        throw std::runtime_error(
            (QStringLiteral("%1=%2 is not an IP address and port (127.0.0.1:9464, [::1]:9464)")
                 .arg(QString::fromLatin1(kAddressVariable), address))
                .toStdString());
    }
    collector_ = std::make_shared<Collector>(counters, version.toStdString());
    setAdviceReason(pressure.currentAdvice().reason);
    connect(&pressure, &guard::PressureController::currentAdviceChanged, this,
            [this](const guard::PressureAdvice& advice) { setAdviceReason(advice.reason); });
    try {
        // One thread: a scrape is small and rare.
        exposer_ = std::make_unique<prometheus::Exposer>(*bind, 1);
    } catch (const std::exception& error) {
        throw std::runtime_error((QStringLiteral("cannot serve metrics on %1: %2")
                                      .arg(address, QString::fromUtf8(error.what())))
                                     .toStdString());
    }
    exposer_->RegisterCollectable(collector_);
}

MetricsExporter::~MetricsExporter() = default;

void MetricsExporter::follow(const tasks::TaskOrchestrator& orchestrator) {
    if (orchestrator_) {
        return;
    }
    orchestrator_ = &orchestrator;
    // Every state the orchestrator publishes, "restarting" included, arrives through this
    // signal.
    connect(&orchestrator, &tasks::TaskOrchestrator::currentStateChanged, this,
            [this] { setState(orchestrator_->currentState()); });
    setState(orchestrator.currentState());
}

void MetricsExporter::setState(tasks::EngineState state) {
    collector_->setState(state);
}

void MetricsExporter::setAdviceReason(const QString& reason) {
    collector_->setAdviceReason(reason.toStdString());
}

}  // namespace corvanta::app

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tasks/engine_state.h"

namespace prometheus {
class Exposer;
}
namespace corvanta::guard {
class PressureController;
struct PressureAdvice;
}  // namespace corvanta::guard
namespace corvanta::tasks {
class TaskOrchestrator;
struct EngineCounters;
}  // namespace corvanta::tasks

namespace corvanta::app {

// Serves the engine's figures to Prometheus on GET /metrics at the address in
// CORVANTA_METRICS_ADDR ("127.0.0.1:9464", "[::1]:9464"), bound to that address only. It carries
// no secret and asks for no authentication: the address belongs on loopback or behind the
// fleet's own network rules.
//
// The exposer answers on threads of its own. The counters are atomics it reads at each scrape;
// the engine state and the pressure reason live on the main thread, which copies them here when
// they change.
class MetricsExporter : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kAddressVariable = "CORVANTA_METRICS_ADDR";

    // The address the environment asks for; none when the variable is unset or empty.
    static std::optional<QString> addressFromEnvironment();
    // "host:port" with the host an IP address (an IPv6 one in brackets) and a port from 1 to
    // 65535, in the form the exposer binds; none for anything else, so that a host name or a
    // bare port never widens the binding to every interface.
    static std::optional<std::string> bindAddress(const QString& address);

    // Binds at once. Throws std::runtime_error, with a message that names the address, when the
    // address is malformed or cannot be bound.
    MetricsExporter(const QString& address, const tasks::EngineCounters& counters,
                    const guard::PressureController& pressure, QString version,
                    QObject* parent = nullptr);
    ~MetricsExporter() override;

    // The engine is built: its state is served from now on (idle until then).
    void follow(const tasks::TaskOrchestrator& orchestrator);

    const QString& address() const { return address_; }

private:
    class Collector;

    void setState(tasks::EngineState state);
    void setAdviceReason(const QString& reason);

    QString address_;
    std::shared_ptr<Collector> collector_;
    // After the collector: stops serving before the collector goes.
    std::unique_ptr<prometheus::Exposer> exposer_;
    QPointer<const tasks::TaskOrchestrator> orchestrator_;
};

}  // namespace corvanta::app

#pragma once

#include <QString>

#include <map>
#include <string>

namespace corvanta::testing {

// One scrape of GET /metrics as the Prometheus project's own text parser reads it (Debian's
// python3-prometheus-client, through tests/support/scrape_metrics.py).
struct MetricsScrape {
    using Labels = std::map<std::string, std::string>;

    bool ok = false;
    // Family name (a counter's without its _total) -> "counter", "gauge", ...
    std::map<std::string, std::string> types;
    // Sample name -> labels -> value; NaN where the page said so.
    std::map<std::string, std::map<Labels, double>> samples;

    // The sample's value; -1 when there is no such sample.
    double value(const std::string& name, const Labels& labels = {}) const;

    // Scrapes http://`address`/metrics. A failed scrape fails the test unless `mayFail`.
    static MetricsScrape of(const QString& address, bool mayFail = false);
};

}  // namespace corvanta::testing

#include "metrics_scrape.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <cmath>

#include <nlohmann/json.hpp>

namespace corvanta::testing {

double MetricsScrape::value(const std::string& name, const Labels& labels) const {
    const auto family = samples.find(name);
    if (family == samples.end()) {
        return -1;
    }
    const auto sample = family->second.find(labels);
    return sample == family->second.end() ? -1 : sample->second;
}

MetricsScrape MetricsScrape::of(const QString& address, bool mayFail) {
    QProcess python;
    python.start(
        QStringLiteral(CORVANTA_SYSTEM_PYTHON),
        {QStringLiteral(CORVANTA_SCRAPE_SCRIPT), QStringLiteral("http://%1/metrics").arg(address)});
    MetricsScrape result;
    if (!python.waitForFinished(20'000) || python.exitCode() != 0) {
        if (!mayFail) {
            ADD_FAILURE() << python.readAllStandardError().toStdString();
        }
        return result;
    }
    const auto parsed = nlohmann::json::parse(python.readAllStandardOutput().toStdString());
    for (const auto& family : parsed["families"]) {
        result.types[family["name"]] = family["type"];
        for (const auto& sample : family["samples"]) {
            const auto& value = sample["value"];
            result.samples[sample["name"]][sample["labels"]] =
                value.is_null() ? std::nan("") : value.get<double>();
        }
    }
    result.ok = true;
    return result;
}

}  // namespace corvanta::testing

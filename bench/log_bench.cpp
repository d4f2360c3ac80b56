// Lines per second through the run log with its database on, next to the same lines into the
// in-memory buffer and view batches only. Both go through the whole append path; the difference
// is the cost of the SQLite insert and the size check.
//
// Then the resident memory each further line costs, in a fresh process per configuration: the
// headless program's (database only), the window's (database, visible lines and the page's
// model), and as a baseline the same lines held as a QStringList.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "child_process.h"
#include "log/log_buffer_service.h"
#include "log/log_lines_model.h"

namespace corvanta::bench {

namespace {

using log::LogBufferService;

// Lines appended before the first reading, so that SQLite's page cache, the write-ahead log's
// index and the allocator have reached their steady size.
constexpr int kWarmUpLines = 30'000;

// A message like the lane loop's, different on every line.
QString laneMessage(qint64 i) {
    return QStringLiteral("🔎 lane 3 searched [%1, %2) in 0.41 s, no match")
        .arg(i << 23)
        .arg((i + 1) << 23);
}

double appendRate(LogBufferService& service, int lines) {
    const QString device = QStringLiteral("4711");
    const QString category = QStringLiteral("CPU");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < lines; ++i) {
        service.append(device, category, laneMessage(i));
    }
    return lines / secondsSince(start);
}

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t total = 0;
    std::size_t resident = 0;
    statm >> total >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// In the child: appends `lines` lines in one configuration after the warm-up and prints the
// growth of the resident set per line.
int measureGrowth(const std::string& configuration, int lines) {
    QTemporaryDir directory;
    if (!directory.isValid()) {
        return 1;
    }
    const bool isHeadless = configuration == "headless";
    if (configuration == "strings") {
        QStringList kept;
        const auto appendLines = [&](int from, int to) {
            for (int i = from; i < to; ++i) {
                kept.append(QStringLiteral("[2026-01-31T08:15:02Z] [CPU] ") + laneMessage(i));
            }
        };
        appendLines(0, kWarmUpLines);
        const std::size_t before = residentBytes();
        appendLines(kWarmUpLines, kWarmUpLines + lines);
        std::printf("%.3f\n", (double(residentBytes()) - double(before)) / lines);
        return 0;
    }
    if (!isHeadless && configuration != "window") {
        return 2;
    }
    LogBufferService service(
        directory.path(), LogBufferService::kDefaultFileSizeLimitBytes,
        LogBufferService::kDefaultMaxDatabaseFiles, {}, LogBufferService::kUiFlushInterval,
        isHeadless ? LogBufferService::VisibleLines::none : LogBufferService::VisibleLines::kept);
    std::optional<log::LogLinesModel> model;
    if (!isHeadless) {
        model.emplace(&service);
    }
    // The window's warm-up leaves the measured lines room under the view's cap: none of them
    // is cut away while they are counted.
    const auto room = LogBufferService::kMaxVisibleLogLines - lines;
    appendRate(service, isHeadless
                            ? kWarmUpLines
                            : static_cast<int>(std::clamp<qsizetype>(room, 0, kWarmUpLines)));
    service.flushPendingLines();
    const std::size_t before = residentBytes();
    appendRate(service, lines);
    service.flushPendingLines();
    std::printf("%.3f\n", (double(residentBytes()) - double(before)) / lines);
    return 0;
}

// Runs this program again to measure one configuration; NaN when it gives no figure.
double growthPerLine(const std::string& configuration, int lines) {
    ChildProcess child("/proc/self/exe",
                       {"log", "--lines", std::to_string(lines), "--rss-of", configuration});
    const auto line = child.readLine(std::chrono::steady_clock::now() + std::chrono::minutes(10));
    try {
        return line.has_value() ? std::stod(*line) : NAN;
    } catch (const std::exception&) {
        return NAN;
    }
}

nlohmann::json figure(double value) {
    return std::isnan(value) ? nlohmann::json() : nlohmann::json(value);
}

}  // namespace

int runLogBench(const std::vector<std::string>& args) {
    const int lines = std::max(std::stoi(optionValue(args, "--lines", "100000")), 1);
    const bool json = hasFlag(args, "--json");

    // The log's flush timer needs an application object; no event loop runs while appending,
    // as on a busy main thread, so the view gets its batches every 200 lines.
    int argc = 1;
    char name[] = "corvanta-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    const std::string growthOf = optionValue(args, "--rss-of");
    if (!growthOf.empty()) {
        return measureGrowth(growthOf, lines);
    }

    QTemporaryDir directory;
    if (!directory.isValid()) {
        std::cerr << "log bench: cannot create a temporary directory\n";
        return 1;
    }
    double dbRate = 0;
    {
        LogBufferService service(directory.path(), LogBufferService::kDefaultFileSizeLimitBytes,
                                 LogBufferService::kDefaultMaxDatabaseFiles, {});
        dbRate = appendRate(service, lines);
    }
    double memoryRate = 0;
    {
        LogBufferService service(QString(), LogBufferService::kDefaultFileSizeLimitBytes,
                                 LogBufferService::kDefaultMaxDatabaseFiles, {});
        memoryRate = appendRate(service, lines);
    }
    const double headlessGrowth = growthPerLine("headless", lines);
    const double windowGrowth = growthPerLine("window", lines);
    const double stringsGrowth = growthPerLine("strings", lines);

    if (json) {
        std::cout << nlohmann::json{{"lines", lines},
                                    {"db_lps", dbRate},
                                    {"memory_lps", memoryRate},
                                    {"rss_growth_bytes_per_line",
                                     {{"headless", figure(headlessGrowth)},
                                      {"window", figure(windowGrowth)}}},
                                    {"string_list_rss_growth_bytes_per_line",
                                     figure(stringsGrowth)}}
                         .dump()
                  << '\n';
    } else {
        std::printf("lines appended:           %d\n", lines);
        std::printf("database on:              %12.0f lines/s\n", dbRate);
        std::printf("memory buffer only:       %12.0f lines/s\n", memoryRate);
        std::printf("database / memory:        %12.3f\n", dbRate / memoryRate);
        std::printf("resident bytes per line:  %12.1f headless\n", headlessGrowth);
        std::printf("                          %12.1f window\n", windowGrowth);
        std::printf("                          %12.1f as a QStringList (baseline)\n",
                    stringsGrowth);
        std::printf("window / baseline:        %12.3f\n", windowGrowth / stringsGrowth);
    }
    return 0;
}

}  // namespace corvanta::bench

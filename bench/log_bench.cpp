// Lines per second through the run log with its database on, next to the same lines into the
// in-memory buffer and view batches only. Both go through the whole append path; the difference
// is the cost of the SQLite insert and the size check.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "log/log_buffer_service.h"

namespace corvanta::bench {

namespace {

using log::LogBufferService;

double appendRate(LogBufferService& service, int lines) {
    // Message texts like the lane loop's, different on every line.
    const QString device = QStringLiteral("4711");
    const QString category = QStringLiteral("CPU");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < lines; ++i) {
        service.append(device, category,
                       QStringLiteral("🔎 lane 3 searched [%1, %2) in 0.41 s, no match")
                           .arg(qint64(i) << 23)
                           .arg((qint64(i) + 1) << 23));
    }
    return lines / secondsSince(start);
}

}  // namespace

int runLogBench(const std::vector<std::string>& args) {
    const int lines = std::stoi(optionValue(args, "--lines", "100000"));
    const bool json = hasFlag(args, "--json");

    // The log's flush timer needs an application object; no event loop runs while appending,
    // as on a busy main thread, so the view gets its batches every 200 lines.
    int argc = 1;
    char name[] = "corvanta-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

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

    if (json) {
        std::cout << nlohmann::json{{"lines", lines},
                                    {"db_lps", dbRate},
                                    {"memory_lps", memoryRate}}
                         .dump()
                  << '\n';
    } else {
        std::printf("lines appended:           %d\n", lines);
        std::printf("database on:              %12.0f lines/s\n", dbRate);
        std::printf("memory buffer only:       %12.0f lines/s\n", memoryRate);
        std::printf("database / memory:        %12.3f\n", dbRate / memoryRate);
    }
    return 0;
}

}  // namespace corvanta::bench

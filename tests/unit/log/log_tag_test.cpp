#include <gtest/gtest.h>

#include <utility>

#include "log/log_tag.h"

namespace corvanta::log {
namespace {

// Readers of run logs search for these words; the enums must keep giving exactly them.
TEST(LogTag, CategoriesAndSeveritiesKeepTheirWordsAndALineShowsOne) {
    const std::pair<LogCategory, const char*> categories[] = {
        {LogCategory::taskEngine, "TASK_ENGINE"},
        {LogCategory::auth, "AUTH"},
        {LogCategory::device, "DEVICE"},
        {LogCategory::task, "TASK"},
        {LogCategory::submit, "SUBMIT"},
        {LogCategory::engine, "ENGINE"},
        {LogCategory::orch, "ORCH"},
        {LogCategory::validate, "VALIDATE"},
        {LogCategory::state, "STATE"},
    };
    for (const auto& [category, word] : categories) {
        EXPECT_EQ(logCategoryWord(category), QString::fromUtf8(word));
        // Ordinary lines name their category.
        EXPECT_EQ(logTag(category), QString::fromUtf8(word));
        EXPECT_EQ(logTag(category, LogSeverity::info), QString::fromUtf8(word));
    }
    EXPECT_EQ(logSeverityWord(LogSeverity::info), "INFO");
    // The others name their severity, whatever part wrote them.
    const std::pair<LogSeverity, const char*> severities[] = {
        {LogSeverity::debug, "DEBUG"},
        {LogSeverity::warning, "WARN"},
        {LogSeverity::error, "ERROR"},
    };
    for (const auto& [severity, word] : severities) {
        EXPECT_EQ(logSeverityWord(severity), QString::fromUtf8(word));
        EXPECT_EQ(logTag(LogCategory::device, severity), QString::fromUtf8(word));
        EXPECT_EQ(logTag(LogCategory::task, severity), QString::fromUtf8(word));
    }
}

}  // namespace
}  // namespace corvanta::log

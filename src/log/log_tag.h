#pragma once

#include <QString>

namespace corvanta::log {

// The part of the client a run-log line comes from. Worker lanes are named by their lane ("CPU",
// "GPU#0", ...) instead.
enum class LogCategory {
    taskEngine,  // the engine as a whole: started, stopped, paused, its main loop
    auth,        // the account key and the sign-in
    device,      // the device's registration
    task,        // fetching tasks and their outcome
    submit,      // submitting found nonces
    engine,      // the machine the engine runs on
    orch,        // the scheduler's run: lanes, throughput, the solved task
    validate,    // the validation of candidates
    state,       // the task's stored progress
};

// How much a run-log line matters.
enum class LogSeverity { info, debug, warning, error };

// "TASK_ENGINE", "AUTH", "DEVICE", "TASK", "SUBMIT", "ENGINE", "ORCH", "VALIDATE", "STATE".
QString logCategoryWord(LogCategory category);
// "INFO", "DEBUG", "WARN", "ERROR".
QString logSeverityWord(LogSeverity severity);

// The bracketed word of a run-log line ("[" + time + "] [" + tag + "] " + message). The line has
// room for one word: a line of ordinary weight names its category, any other its severity, so
// that "[ERROR] ❌ device registration failed" stands out whatever part wrote it.
QString logTag(LogCategory category, LogSeverity severity = LogSeverity::info);

}  // namespace corvanta::log

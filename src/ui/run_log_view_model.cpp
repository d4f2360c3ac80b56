#include "ui/run_log_view_model.h"

#include <QClipboard>
#include <QGuiApplication>

#include "log/log_buffer_service.h"
#include "platform/string_table.h"
#include "tasks/task_orchestrator.h"

namespace corvanta::ui {

using platform::localized;

RunLogViewModel::RunLogViewModel(log::LogBufferService& logs, tasks::TaskOrchestrator& orchestrator,
                                 QObject* parent)
    : QObject(parent), logs_(logs), orchestrator_(orchestrator), lines_(&logs) {
    connect(&orchestrator_, &tasks::TaskOrchestrator::isRunningChanged, this,
            &RunLogViewModel::engineChanged);
    connect(&orchestrator_, &tasks::TaskOrchestrator::currentStateChanged, this,
            &RunLogViewModel::engineChanged);
    connect(&orchestrator_, &tasks::TaskOrchestrator::progressTextChanged, this,
            &RunLogViewModel::progressTextChanged);
    // After the lines model's own connection: the rows are there before the view moves.
    connect(&logs_, &log::LogBufferService::logLinesAppended, this, &RunLogViewModel::linesArrived);
    restartFallback_.setSingleShot(true);
    restartFallback_.setInterval(kRestartFallback);
    connect(&restartFallback_, &QTimer::timeout, this, &RunLogViewModel::finishRestart);
}

RunLogViewModel::ButtonAction RunLogViewModel::actionFor(bool isRunning, tasks::EngineState state) {
    if (!isRunning) {
        return ButtonAction::start;
    }
    // A paused engine is restarted rather than resumed: a fresh start re-checks the key and
    // fetches a current task.
    return state == tasks::EngineState::paused ? ButtonAction::restart : ButtonAction::pause;
}

bool RunLogViewModel::isPinned(double contentY, double viewHeight, double contentHeight) {
    if (contentHeight <= viewHeight) {
        return true;
    }
    return contentY + viewHeight >= contentHeight - kPinnedTolerance;
}

bool RunLogViewModel::isPauseButton() const {
    return actionFor(orchestrator_.isRunning(), orchestrator_.currentState()) ==
           ButtonAction::pause;
}

QString RunLogViewModel::buttonTitle() const {
    return localized(isPauseButton() ? QStringLiteral("run_log_pause")
                                     : QStringLiteral("run_log_start"));
}

QString RunLogViewModel::progressText() const {
    return orchestrator_.progressText();
}

QString RunLogViewModel::badgeText() const {
    return localized(QStringLiteral("run_log_new_logs")).arg(hiddenNewLineCount_);
}

void RunLogViewModel::pressButton() {
    if (isRestartPending()) {
        return;
    }
    switch (actionFor(orchestrator_.isRunning(), orchestrator_.currentState())) {
        case ButtonAction::pause:
            orchestrator_.pause();
            break;
        case ButtonAction::restart:
            restartConnection_ = connect(&orchestrator_, &tasks::TaskOrchestrator::loopExited, this,
                                         &RunLogViewModel::finishRestart);
            restartFallback_.start();
            orchestrator_.stop();
            break;
        case ButtonAction::start:
            startEngine();
            break;
    }
}

void RunLogViewModel::finishRestart() {
    disconnect(restartConnection_);
    restartFallback_.stop();
    startEngine();
}

void RunLogViewModel::startEngine() {
    // The task ends on its own; dropping it does not cancel it.
    [[maybe_unused]] auto running = orchestrator_.start();
}

bool RunLogViewModel::reportScroll(double contentY, double viewHeight, double contentHeight) {
    const bool pinned = isPinned(contentY, viewHeight, contentHeight);
    setTailPinned(pinned);
    return pinned;
}

void RunLogViewModel::copyLines(int first, int last) const {
    const QString text = lines_.text(first, last);
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void RunLogViewModel::jumpToEnd() {
    setTailPinned(true);
}

void RunLogViewModel::linesArrived(const QStringList& lines) {
    if (isTailPinned_) {
        ++scrollToBottomTag_;
        emit scrollToBottomTagChanged();
    } else {
        hiddenNewLineCount_ += lines.size();
        emit hiddenNewLineCountChanged();
    }
}

void RunLogViewModel::setTailPinned(bool pinned) {
    if (pinned == isTailPinned_) {
        return;
    }
    if (!pinned) {
        isTailPinned_ = false;
        return;
    }
    // Counted as hidden, then cleared with the rest.
    logs_.flushPendingLines();
    isTailPinned_ = true;
    hiddenNewLineCount_ = 0;
    emit hiddenNewLineCountChanged();
    ++scrollToBottomTag_;
    emit scrollToBottomTagChanged();
}

}  // namespace corvanta::ui

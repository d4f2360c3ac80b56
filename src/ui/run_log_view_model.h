#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

#include "log/log_lines_model.h"
#include "tasks/engine_state.h"

namespace corvanta::log {
class LogBufferService;
}
namespace corvanta::tasks {
class TaskOrchestrator;
}

namespace corvanta::ui {

// The run-log page: the visible lines, whether the view follows their end, the "new logs" badge
// and the engine's Start/Pause button. Main thread only.
class RunLogViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* lines READ lines CONSTANT)
    Q_PROPERTY(QString buttonTitle READ buttonTitle NOTIFY engineChanged)
    Q_PROPERTY(bool isPauseButton READ isPauseButton NOTIFY engineChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressTextChanged)
    Q_PROPERTY(qint64 hiddenNewLineCount READ hiddenNewLineCount NOTIFY hiddenNewLineCountChanged)
    Q_PROPERTY(QString badgeText READ badgeText NOTIFY hiddenNewLineCountChanged)
    Q_PROPERTY(qint64 scrollToBottomTag READ scrollToBottomTag NOTIFY scrollToBottomTagChanged)
    // The scroll position, kept while another page is shown.
    Q_PROPERTY(double savedContentY MEMBER savedContentY_ NOTIFY savedContentYChanged)

public:
    enum class ButtonAction { pause, restart, start };

    // The view counts as following the tail while its end is this close to the visible bottom.
    static constexpr double kPinnedTolerance = 20;
    static constexpr std::chrono::milliseconds kRestartFallback{10'000};

    RunLogViewModel(log::LogBufferService& logs, tasks::TaskOrchestrator& orchestrator,
                    QObject* parent = nullptr);

    QObject* lines() { return &lines_; }
    QString buttonTitle() const;
    bool isPauseButton() const;
    QString progressText() const;
    // Lines that arrived while the view was away from the end.
    qint64 hiddenNewLineCount() const { return hiddenNewLineCount_; }
    QString badgeText() const;
    // Moves on whenever the view should go to the end of the log.
    qint64 scrollToBottomTag() const { return scrollToBottomTag_; }
    bool isTailPinned() const { return isTailPinned_; }

    static ButtonAction actionFor(bool isRunning, tasks::EngineState state);
    static bool isPinned(double contentY, double viewHeight, double contentHeight);

    // The Start/Pause button. A restart waits for the paused loop to wind down before the new
    // one starts, so that the old loop's end cannot clobber the new run's state.
    Q_INVOKABLE void pressButton();
    bool isRestartPending() const { return restartFallback_.isActive(); }
    // The view reports where it is scrolled to after every move; returns whether it now
    // follows the tail.
    Q_INVOKABLE bool reportScroll(double contentY, double viewHeight, double contentHeight);
    // The badge: back to the end of the log.
    Q_INVOKABLE void jumpToEnd();
    // Puts the lines [first, last] (rows of `lines`) on the clipboard, one per line.
    Q_INVOKABLE void copyLines(int first, int last) const;

signals:
    void engineChanged();
    void progressTextChanged();
    void hiddenNewLineCountChanged();
    void scrollToBottomTagChanged();
    void savedContentYChanged();

private:
    void startEngine();
    void finishRestart();
    void linesArrived(const QStringList& lines);
    // Back at the end: the lines still waiting for their batch come at once, the count clears.
    void setTailPinned(bool pinned);

    log::LogBufferService& logs_;
    tasks::TaskOrchestrator& orchestrator_;
    log::LogLinesModel lines_;
    double savedContentY_ = 0;
    bool isTailPinned_ = true;
    qint64 hiddenNewLineCount_ = 0;
    qint64 scrollToBottomTag_ = 0;
    QMetaObject::Connection restartConnection_;
    // Starts anyway should no loop report its end (one that never got going).
    QTimer restartFallback_;
};

}  // namespace corvanta::ui

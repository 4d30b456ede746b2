#pragma once
// The replay window: a session's table as it was, played again, with a
// banner for each hand's end message, and a bar under it: play and pause,
// the speed, a step to the previous or next action, a jump to a hand, the
// session's time line, the problems met, the export of a hand. It only
// shows: no input reaches the game, and nothing is written but an export.

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>

#include "core/replay/SessionReplay.h"
#include "desktop/replay/SessionFiles.h"

class QComboBox;
class QLabel;
class QTimer;
class QToolButton;
class QPushButton;

namespace qbx::replayview {

class ReplayTable;
class TimeLine;

// The table as shown: scaled down to fit when it is larger than the room
// it has, never up; the banner across its top.
class ReplayStage : public QWidget {
public:
    explicit ReplayStage(QWidget* parent);
    void show(const QImage& table, const QString& banner);
    // Where the table is drawn.
    QRect tableArea() const;
    const QImage& shownTable() const { return table_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage table_;
    QString banner_;
};

class ReplayWindow : public QWidget {
public:
    ReplayWindow(std::unique_ptr<replay::SessionReplay> replay, SessionFiles files);
    ~ReplayWindow() override;

    replay::SessionReplay& replay() { return *replay_; }
    TimeLine* timeLine() const { return timeLine_; }
    ReplayStage* stage() const { return stage_; }

    void play();
    void pause();
    bool playing() const;
    void setSpeed(int times);  // 1, 4 or 16
    int speed() const { return speed_; }
    void stepForward();
    void stepBack();
    void jumpToHand(int hand);
    void goToAction(size_t index);
    void goToTime(long long ms);
    // One tick of playing: the replay moves on by `wallMs` times the speed.
    void advance(long long wallMs);

    // "071226_4711 — P07 — hand 3 — 02:41.2 — QBXSolo replay"
    QString titleText() const;
    // The problem last met, and how many so far; empty when none.
    QString problemText() const;
    // The action last applied, with the log line of its first record:
    // "12/58 move by ColorKeeper: up → ck · ck071226_4711.txt line 20".
    QString actionText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildBar(QWidget* bar);
    void refresh();
    void exportHand();
    int currentHand() const;

    std::unique_ptr<replay::SessionReplay> replay_;
    SessionFiles files_;
    std::unique_ptr<ReplayTable> table_;
    ReplayStage* stage_ = nullptr;
    TimeLine* timeLine_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QToolButton* backButton_ = nullptr;
    QToolButton* forwardButton_ = nullptr;
    QToolButton* speedButtons_[3] = {};
    QComboBox* hands_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QLabel* timeText_ = nullptr;
    QLabel* actionText_ = nullptr;
    QLabel* problems_ = nullptr;
    QTimer* timer_ = nullptr;
    QElapsedTimer wall_;
    double playMs_ = 0;
    // The table and banner last drawn: most ticks of playing change nothing
    // (the participant thinks), and draw nothing.
    uint64_t shown_ = 0;
    int speed_ = 1;
};

// "02:41.2", "1:02:41.2" from an hour on.
QString sessionTime(long long ms);

}  // namespace qbx::replayview

#pragma once
// The time line of a session under the replay's table: every action a mark
// at its time, coloured by the role that acted (deals, the start and the
// end neutral), the hands as bands, the replay's time as a line. A click
// on a mark goes to its action; a click between marks, to that time.

#include <QWidget>

#include <cstddef>
#include <functional>
#include <vector>

#include "core/replay/SessionReplay.h"

namespace qbx::replayview {

class TimeLine : public QWidget {
public:
    explicit TimeLine(QWidget* parent = nullptr);

    void setActions(const std::vector<replay::Action>& actions, long long durationMs);
    void setNow(long long ms);
    long long now() const { return nowMs_; }

    // The x of a time, and the action whose mark lies at (or within a few
    // pixels of) an x; actions().size() when none does.
    int xOf(long long ms) const;
    size_t actionAt(int x) const;
    long long msAt(int x) const;

    std::function<void(size_t)> actionClicked;
    std::function<void(long long)> timeClicked;

    static QColor roleColour(const replay::Action& action);

    QSize sizeHint() const override { return {600, 44}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect track() const;

    std::vector<replay::Action> actions_;
    long long durationMs_ = 1;
    long long nowMs_ = 0;
};

}  // namespace qbx::replayview

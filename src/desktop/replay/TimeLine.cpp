#include "desktop/replay/TimeLine.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace qbx::replayview {

namespace {

// How near a click must come to a mark to go to its action.
constexpr int kReach = 4;

}  // namespace

TimeLine::TimeLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timeLine"));
    setMinimumHeight(36);
    setCursor(Qt::PointingHandCursor);
}

QColor TimeLine::roleColour(const replay::Action& action) {
    switch (action.kind) {
    case replay::ActionKind::Start:
    case replay::ActionKind::Deal:
    case replay::ActionKind::GameEnd: return QColor(120, 120, 120);
    default: break;
    }
    // The ColorKeeper in the hearts' red, the NumberKeeper in blue.
    return action.role == Role::Ck ? QColor(208, 16, 26) : QColor(30, 90, 200);
}

void TimeLine::setActions(const std::vector<replay::Action>& actions, long long durationMs) {
    actions_ = actions;
    durationMs_ = std::max(1LL, durationMs);
    update();
}

void TimeLine::setNow(long long ms) {
    if (ms == nowMs_) return;
    nowMs_ = ms;
    update();
}

QRect TimeLine::track() const { return rect().adjusted(6, 4, -6, -4); }

int TimeLine::xOf(long long ms) const {
    const QRect t = track();
    return t.left() + int(double(std::clamp(ms, 0LL, durationMs_)) * (t.width() - 1) / double(durationMs_));
}

long long TimeLine::msAt(int x) const {
    const QRect t = track();
    const double f = std::clamp(double(x - t.left()) / std::max(1, t.width() - 1), 0.0, 1.0);
    return (long long)(f * double(durationMs_) + 0.5);
}

size_t TimeLine::actionAt(int x) const {
    size_t best = actions_.size();
    int bestDistance = kReach + 1;
    for (size_t i = 0; i < actions_.size(); ++i) {
        const int d = std::abs(xOf(actions_[i].atMs) - x);
        // Of marks drawn at the same place, the last one (it is drawn on top).
        if (d <= bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return bestDistance <= kReach ? best : actions_.size();
}

void TimeLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect t = track();
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(t, QColor(250, 250, 250));
    // The hands as bands, alternately shaded, with their numbers.
    QFont small = font();
    small.setPixelSize(10);
    p.setFont(small);
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].kind != replay::ActionKind::Deal) continue;
        size_t next = i + 1;
        while (next < actions_.size() && actions_[next].kind != replay::ActionKind::Deal) ++next;
        const int x0 = xOf(actions_[i].atMs);
        const int x1 = next < actions_.size() ? xOf(actions_[next].atMs) : t.right();
        const QRect band(x0, t.top(), std::max(1, x1 - x0), t.height());
        if (actions_[i].hand % 2 == 0) p.fillRect(band, QColor(232, 236, 244));
        p.setPen(QColor(110, 110, 110));
        if (band.width() > 14)
            p.drawText(band.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(actions_[i].hand));
    }
    // A mark for each action: deals and the ends tall and thin, play short and bold.
    const int markTop = t.top() + 13;
    for (const replay::Action& a : actions_) {
        const int x = xOf(a.atMs);
        const bool neutral = roleColour(a) == QColor(120, 120, 120);
        if (neutral)
            p.fillRect(QRect(x, t.top(), 2, t.height()), roleColour(a));
        else
            p.fillRect(QRect(x - 1, markTop, 3, t.bottom() - markTop), roleColour(a));
    }
    // Now.
    const int x = xOf(nowMs_);
    p.fillRect(QRect(x - 1, rect().top(), 2, rect().height()), QColor(0, 0, 0));
    p.setPen(QColor(180, 180, 180));
    p.drawRect(t.adjusted(0, 0, -1, -1));
}

void TimeLine::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int x = event->position().toPoint().x();
    const size_t action = actionAt(x);
    if (action < actions_.size()) {
        if (actionClicked) actionClicked(action);
    } else if (timeClicked) {
        timeClicked(msAt(x));
    }
}

}  // namespace qbx::replayview

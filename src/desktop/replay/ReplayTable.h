#pragma once
// The replay's table: the participant's table view, hosted off the screen
// at the size of the window it was played in, following the engine's table
// of a replay and drawn into pictures. The replay window, the export of a
// hand and the snapshot all draw it so.

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>

#include "core/replay/SessionReplay.h"

class QPainter;
class QWidget;

namespace qbx {
class TableView;
}

namespace qbx::replayview {

class ReplayTable {
public:
    // `size`: the table window's client size in the session.
    explicit ReplayTable(Size size);
    ~ReplayTable();

    // Takes the replay's table as it now is: pictures, labels (measured as
    // the program measures them), widgets. The labels' sizes go to the
    // replay's game, as the program's window gives them to its game.
    void follow(replay::SessionReplay& replay);
    // The table at its own size, exactly as the program's window draws it;
    // an empty one while the table window is hidden.
    QImage render() const;
    QSize size() const;

private:
    std::unique_ptr<QWidget> host_;
    std::unique_ptr<TableView> view_;
};

// What the table's picture depends on, as one number: the same number, the
// same picture. Lets a view that follows the replay draw only on a change.
uint64_t tableSignature(const Table& table);

// A hand's end message, as a banner across the top of `area` (the table as
// shown): a box for a moment, never one that waits.
void paintBanner(QPainter& painter, const QRect& area, const QString& text);

}  // namespace qbx::replayview

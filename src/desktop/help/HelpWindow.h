#pragma once
// The help window: the instructions of the task, an HTML page from the setup
// directory, shown modally over the table until the participant presses CLOSE.

#include <QDialog>
#include <QMargins>
#include <QSize>

class QPushButton;
class QTextBrowser;

namespace qbx {

class FrontHolder;

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    // `folder` holds setup/ with the help pages; empty: the working directory.
    explicit HelpWindow(QWidget* parent = nullptr, QString folder = {});

    // Points the browser at page 1 (setup/help.html) or page 2
    // (setup/help2.html, which sticks for the rest of the run) and sizes it
    // to the window. Any other page navigates nowhere.
    void showInstructions(int page);

    // The page that every repaint shows again; 1 at program start.
    static int currentPage;

    QPushButton* closeButton = nullptr;
    QTextBrowser* browser = nullptr;

public slots:
    // CLOSE is the only way out; Escape and the window manager cannot close it.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString folder_;
    void closeClicked();
    // Every opening: 753 x 673 outside, the window manager's frame included,
    // centred on the screen.
    void placeForOpening();
    // The frame the window manager draws around the window (none without one).
    QMargins frameMargins() const;
    // Inside a frame: the size that makes the window 753 x 673 outside, and
    // the smallest size the participant can resize it to.
    static QSize openingSize(const QMargins& frame);
    QSize smallestSize(const QMargins& frame) const;
    // A window manager may minimise or maximise the help whatever its hints
    // say: it is put back as it opened, after the event that told of it.
    void keepInFront();
    void checkPlaceSoon();
    QPoint openingCorner() const;

    QSize sizeAtLastShow_;
    // The frame that the size and place were worked out with; when the window
    // manager's frame turns out to be another, they are worked out again.
    QMargins placedWithFrame_;
    bool restoreQueued_ = false;
    // On every desktop and above the others while open; the participant may
    // move and resize it, so no place is held.
    FrontHolder* holder_ = nullptr;
};

}  // namespace qbx

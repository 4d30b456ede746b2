#pragma once
// The table window: the card table. The game (plain C++) holds every control as state;
// this window draws the light controls, keeps its real widgets (buttons,
// radio buttons, text boxes) in step with the state, forwards mouse, button
// and timer events to the game and gives it the desktop it asks for.

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/game/Game.h"
#include "core/platform/Platform.h"
#include "desktop/table/TableCanvas.h"
#include "desktop/table/TableView.h"

class QTimer;

namespace qbx {

class FrontHolder;
class HelpWindow;

class TableWindow : public QWidget, public Platform, public Clock, public TableInput {
    Q_OBJECT
public:
    // The game plays in `folder` (setup/ and dataout/ there); empty: the
    // working directory.
    explicit TableWindow(HelpWindow* help, std::string folder = {});
    ~TableWindow() override;

    // The game start with the participant's code. When the game asks to end
    // (a failure at the start), the application quits once the event loop runs.
    void start(const std::string& participantCode);

    Game& game() { return game_; }
    TableCanvas* canvas() const { return view_->canvas(); }
    // One tick of a timer, exactly as its timeout runs it.
    void fireTimer(TimerId id);
    bool timerActive(TimerId id) const;
    bool exitRequested() const { return exitRequested_; }
    // Ends the application; queued, so the current handler returns first.
    // Replaceable so that a test can see the request without leaving its loop.
    std::function<void()> quitApplication;

    // Mouse input from the canvas, in client coordinates.
    void forwardPress(int x, int y, MouseButton button) override;
    void forwardMove(int x, int y) override;
    void forwardRelease(int x, int y, MouseButton button) override;

    // Platform
    void showMessage(const std::string& text) override;
    void beep() override;
    void terminate() override;
    Size screenSize() override;
    Size windowSize() override;
    SystemInfo systemInfo() override;
    void timerChanged(TimerId id, bool running, int intervalMs) override;
    // Clock
    LocalTime now() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
#ifdef _WIN32
    // Window commands refused and the foreground kept before Qt sees them.
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    void createWidgets();
    // After every event handed to the game: widgets, labels, dirty regions,
    // cursor and visibility follow the table.
    void refresh();
    void updateDragCursor();
    void cancelDrag();
    void openHelp();
    // The table takes no input while a card glides, a deal runs or a hand has
    // ended: as a disabled window, it then drops every mouse, key, wheel,
    // touch and tablet event, releases included, and nothing changes how
    // the window looks.
    bool blocksInput(QObject* watched, QEvent* event) const;
    // What a disabled window does as it closes and opens: a button held down
    // comes up without acting, and once input is back a press whose release
    // was dropped is ended in the game, with nothing recorded.
    void followInputGate();
    void endMissedRelease();
    // Shows the table maximised over the whole screen (or as large as the
    // window manager lets it be), above every other window.
    void showOnTop();
    // A window manager may minimise, restore, hide, move, shade or lower the
    // table whatever its hints say: it is put back at once, after the event
    // that told of it, and the game is told why (the run record keeps each
    // time).
    void keepInFront(FrontLost why);

    Game game_;
    HelpWindow* help_;
    // On every desktop, above the others, over the whole work area.
    FrontHolder* holder_ = nullptr;
    // The canvas and the widgets, children of this window.
    std::unique_ptr<TableView> view_;
    std::array<QTimer*, 3> timers_{};

    bool handCursor_ = false;
    // The mouse buttons whose press the game had and whose release it has
    // not had yet; only such a release reaches it.
    unsigned gameButtons_ = 0;
    bool releaseMissed_ = false;
    bool inputGateOpen_ = true;
    // The focus policies that took the focus on a click, while input is shut out.
    std::vector<std::pair<QPointer<QWidget>, Qt::FocusPolicy>> clickFocusWithheld_;
    bool exitRequested_ = false;
    bool restoreQueued_ = false;
    FrontLost restoreWhy_ = FrontLost::Hidden;
    // A window manager that keeps undoing the restore is not fought forever.
    int restoresInBurst_ = 0;
    QElapsedTimer restoreBurst_;
    QElapsedTimer lastRestore_;
    FrontLost lastRestoreWhy_ = FrontLost::Hidden;
};

}  // namespace qbx

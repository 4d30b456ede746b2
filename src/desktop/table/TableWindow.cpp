#include "desktop/table/TableWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHideEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>

#include "core/platform/System.h"
#include "desktop/widgets/MessageBox.h"
#include "desktop/help/HelpWindow.h"
#include "desktop/table/TableCanvas.h"
#include "desktop/table/Trace.h"
#include "desktop/windowsystem/WindowManager.h"
#ifdef _WIN32
#include "desktop/windowsystem/FrontWindows.h"
#endif

namespace qbx {

namespace {

unsigned buttonBit(MouseButton button) { return 1U << static_cast<unsigned>(button); }

}  // namespace

TableWindow::TableWindow(HelpWindow* help, std::string folder)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      game_(*this, *this, std::move(folder)),
      help_(help) {
    setObjectName(QStringLiteral("window"));
    setWindowTitle(QStringLiteral("QBX"));
    resize(1024, 768);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) move(screen->geometry().center() - QPoint(512, 384));

    quitApplication = [] {
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };

    for (size_t i = 0; i < timers_.size(); ++i) {
        auto* timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        const auto id = static_cast<TimerId>(i);
        connect(timer, &QTimer::timeout, this, [this, id] { fireTimer(id); });
        timers_[i] = timer;
    }

    createWidgets();
    holder_ = new FrontHolder(
        *this, [this](FrontLost why) { keepInFront(why); },
        [] {
            const QScreen* screen = QGuiApplication::primaryScreen();
            return screen ? screen->availableGeometry() : QRect();
        });
    // Escape and a lost focus end a drag wherever the keyboard focus is.
    qApp->installEventFilter(this);
#ifndef _WIN32
    // Another program's window that takes the focus (activated by a task
    // bar, a script, or itself) would take the participant's keys: the
    // table takes the focus back, and with no window manager the top too.
    // (On Windows the window procedure hears of the lost foreground.) The
    // program's own box or help keeps the application active, so they are
    // never fought.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && isVisible()) keepInFront(FrontLost::LostFocus);
    });
#endif
    refresh();
}

TableWindow::~TableWindow() {
    // The game goes before the widgets: nothing may reach it from here on.
    qApp->removeEventFilter(this);
    for (QTimer* timer : timers_) timer->stop();
    if (handCursor_) QGuiApplication::restoreOverrideCursor();
}

void TableWindow::createWidgets() {
    view_ = std::make_unique<TableView>(*this, game_.table(), this);

    connect(view_->passButton(), &QPushButton::clicked, this, [this] {
        trace::mark(trace::Event::Click);
        game_.pass();
        refresh();
    });
    connect(view_->helpButton(), &QPushButton::clicked, this, [this] { openHelp(); });
    connect(view_->secondHelpButton(), &QPushButton::clicked, this, [this] { openHelp(); });
    // The radio buttons have no handler in the game; a click only moves the
    // selection, which the table keeps until the turn logic sets it.
    connect(view_->ckTurnIndicator(), &QRadioButton::clicked, this, [this] {
        game_.table().setChecked(Ctl::CkTurnIndicator, true);
        refresh();
    });
    connect(view_->nkTurnIndicator(), &QRadioButton::clicked, this, [this] {
        game_.table().setChecked(Ctl::NkTurnIndicator, true);
        refresh();
    });
}

void TableWindow::start(const std::string& participantCode) {
    game_.startGame(participantCode);
    // The pictures are read once, by the game start; nothing changes them later.
    view_->setPictures(game_.cardBack(), game_.background());
    refresh();
    if (game_.terminated() && !exitRequested_) terminate();
}

// ---- Events handed to the game ------------------------------------------

// A glide tick runs here 66 times a second: it moves one card and asks for
// the repaint of its old and new rectangles only (refresh() below); it
// allocates nothing and makes no file system call (the logs are synced only
// when a record was written).
void TableWindow::fireTimer(TimerId id) {
    if (id == TimerId::Glide)
        trace::mark(trace::Event::GlideTick);
    else if (id == TimerId::DealStep)
        trace::mark(trace::Event::DealStepTick);
    game_.onTimer(id);
    refresh();
}

bool TableWindow::timerActive(TimerId id) const { return timers_[static_cast<size_t>(id)]->isActive(); }

void TableWindow::forwardPress(int x, int y, MouseButton button) {
    if (releaseMissed_) endMissedRelease();
    gameButtons_ |= buttonBit(button);
    trace::mark(trace::Event::Press);
    game_.mousePress(x, y, button);
    refresh();
}

void TableWindow::forwardMove(int x, int y) {
    game_.mouseMove(x, y);
    refresh();
}

void TableWindow::forwardRelease(int x, int y, MouseButton button) {
    // A release outside the window still comes here through the grab; the
    // game takes a point outside every control as a drop on the window.
    // A release whose press the table did not take ends nothing.
    if (!(gameButtons_ & buttonBit(button))) return;
    gameButtons_ &= ~buttonBit(button);
    trace::mark(trace::Event::Release);
    game_.mouseRelease(x, y, button);
    refresh();
}

void TableWindow::cancelDrag() {
    if (!game_.dragging()) return;
    game_.cancelDrag();
    refresh();
}

void TableWindow::openHelp() {
    if (!help_) return;
    help_->showInstructions(1);
    help_->exec();
    refresh();
}

// ---- Keeping the window in step with the table ---------------------------

void TableWindow::refresh() {
    followInputGate();
    // Labels fit their text; the game needs their sizes for hit testing.
    view_->fitLabels([this](Ctl id, int width, int height) { game_.setLabelSize(id, width, height); });
    // Whether the window takes input is checked as the input comes
    // (blocksInput): disabling the widgets would grey every button for the
    // length of each glide and deal.
    if (view_->syncWidgets()) {
        const Table& table = game_.table();
        if (table.formVisible() && !isVisible()) {
            showOnTop();
        } else if (!table.formVisible() && isVisible()) {
            hide();
        }
    }
    view_->repaintDirty(game_.table());
    updateDragCursor();
}

void TableWindow::updateDragCursor() {
    // The hand pointer throughout a drag, over the table and its buttons alike.
    const bool dragging = game_.dragging();
    if (dragging == handCursor_) return;
    handCursor_ = dragging;
    if (dragging)
        QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

// ---- Window events --------------------------------------------------------

void TableWindow::closeEvent(QCloseEvent* event) {
    // No way out by accident: the game alone ends the program.
    event->ignore();
}

void TableWindow::showOnTop() {
    // Without a window manager nobody acts on "maximised": the window is
    // given the whole screen itself. With one, the window manager makes it
    // as large as the work area and its frame allow.
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && !isVisible())
        setGeometry(screen->geometry());
    setWindowState(Qt::WindowMaximized);
    show();
    raise();
    activateWindow();
    holder_->holdInFront();
    // A box or the help that was up stays in front of the table.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
}

void TableWindow::keepInFront(FrontLost why) {
    // A minimise comes as a hide and then as a change of state, a show
    // desktop or a switch of desktops as a hide and a change on the desktop:
    // the restore already queued for the hide is the more telling one's.
    if (restoreQueued_ && why != FrontLost::Hidden && why != FrontLost::Unmaximised) restoreWhy_ = why;
    if (restoreQueued_ || exitRequested_ || !game_.table().formVisible()) return;
    if (!restoreBurst_.isValid() || restoreBurst_.elapsed() > 2000) {
        restoreBurst_.start();
        restoresInBurst_ = 0;
    }
    if (++restoresInBurst_ > 20) return;
    restoreQueued_ = true;
    restoreWhy_ = why;
    // Queued: the window manager's own handling of its request ends first.
    QTimer::singleShot(0, this, [this] {
        restoreQueued_ = false;
        if (exitRequested_ || !game_.table().formVisible()) return;
        const bool inPlace = isVisible() && windowState() == Qt::WindowMaximized && !isMinimized();
        // Qt's own state tells of a minimise and a restore; the window
        // manager told of the rest, which Qt's state does not show.
        if ((restoreWhy_ == FrontLost::Minimised || restoreWhy_ == FrontLost::Unmaximised) && inPlace) return;
        if (restoreWhy_ == FrontLost::LostFocus && inPlace) {
#ifdef _WIN32
            // Asked of Windows itself: Qt may not have heard of the change yet.
            const bool focused = winfront::inForeground();
#else
            const bool focused = QGuiApplication::applicationState() == Qt::ApplicationActive;
#endif
            if (focused) return;
        }
        // A window manager's answers to one request can take the window
        // back more than once in a row, for the same reason: the record
        // keeps the first. Another reason is another attempt, however soon.
        if (!lastRestore_.isValid() || lastRestore_.elapsed() > 500 || restoreWhy_ != lastRestoreWhy_)
            game_.keptInFront(restoreWhy_);
        lastRestore_.start();
        lastRestoreWhy_ = restoreWhy_;
        showOnTop();
    });
}

void TableWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && windowState() != Qt::WindowMaximized)
        keepInFront(isMinimized() ? FrontLost::Minimised : FrontLost::Unmaximised);
}

void TableWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A hide the program did not ask for (the window manager unmapped it).
    if (event->spontaneous()) keepInFront(onAnotherDesktop(*this) ? FrontLost::AnotherDesktop : FrontLost::Hidden);
}

#ifdef _WIN32
bool TableWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType == "windows_generic_MSG") {
        switch (winfront::classify(message)) {
        case winfront::Message::RefusedCommand:
            // Handled: Windows' default handling, which would act, never runs.
            *result = 0;
            return true;
        case winfront::Message::LostForeground: keepInFront(FrontLost::LostFocus); break;
        case winfront::Message::Other: break;
        }
    }
    return QWidget::nativeEvent(eventType, message, result);
}
#endif

bool TableWindow::blocksInput(QObject* watched, QEvent* event) const {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: break;
    default: return false;
    }
    if (game_.table().formEnabled()) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && widget->window() == this;
}

void TableWindow::followInputGate() {
    const bool open = game_.table().formEnabled();
    if (open == inputGateOpen_) return;
    inputGateOpen_ = open;
    if (!open) {
        for (QAbstractButton* button : findChildren<QAbstractButton*>())
            if (button->isDown()) button->setDown(false);
        // Qt hands the focus to a clicked widget before any event filter
        // sees the press, so a press that is then dropped would still move
        // it (and the next Space would press the clicked button): while the
        // table takes no input, no widget takes the focus from a click.
        for (QWidget* widget : findChildren<QWidget*>()) {
            const Qt::FocusPolicy policy = widget->focusPolicy();
            if (!(policy & Qt::ClickFocus)) continue;
            clickFocusWithheld_.emplace_back(widget, policy);
            widget->setFocusPolicy(static_cast<Qt::FocusPolicy>(policy & ~Qt::ClickFocus));
        }
        return;
    }
    for (const auto& [widget, policy] : clickFocusWithheld_)
        if (widget) widget->setFocusPolicy(policy);
    clickFocusWithheld_.clear();
    // Queued: the game may be inside a handler of its own right now.
    if (releaseMissed_)
        QMetaObject::invokeMethod(
            this, [this] { endMissedRelease(); }, Qt::QueuedConnection);
}

void TableWindow::endMissedRelease() {
    if (!releaseMissed_ || !game_.table().formEnabled()) return;
    releaseMissed_ = false;
    game_.releaseMissed();
    refresh();
}

bool TableWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) cancelDrag();
    return QWidget::event(event);
}

bool TableWindow::eventFilter(QObject* watched, QEvent* event) {
    if (blocksInput(watched, event)) {
        // A release dropped here may end a press the game had: a look or a
        // drag. The game hears of it once the table takes input again.
        MouseButton button;
        if (event->type() == QEvent::MouseButtonRelease &&
            mouseButton(static_cast<QMouseEvent*>(event)->button(), button) && (gameButtons_ & buttonBit(button))) {
            gameButtons_ &= ~buttonBit(button);
            releaseMissed_ = true;
        }
        event->accept();
        return true;
    }
    if (game_.dragging()) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            event->accept();
            cancelDrag();
            return true;
        }
        if (event->type() == QEvent::ApplicationStateChange &&
            QGuiApplication::applicationState() != Qt::ApplicationActive)
            cancelDrag();
    }
    return QWidget::eventFilter(watched, event);
}

void TableWindow::resizeEvent(QResizeEvent* event) {
    view_->canvas()->setGeometry(rect());
    QWidget::resizeEvent(event);
}

// ---- What the game asks of the desktop ------------------------------------

void TableWindow::showMessage(const std::string& text) {
    // Everything the rule changed so far is on the screen before the box
    // waits: a counter, a frame, a card.
    if (isVisible()) {
        refresh();
        repaint();
    }
    showMessageBox(this, text);
    // Where no window manager runs, the focus of a closed box goes back to
    // the root, not to the table: the table takes it, so that it hears when
    // another program takes it.
    if (isVisible() && !exitRequested_) holder_->holdInFront();
}

void TableWindow::beep() { QApplication::beep(); }

void TableWindow::terminate() {
    if (exitRequested_) return;
    exitRequested_ = true;
    if (quitApplication) quitApplication();
}

Size TableWindow::screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {width(), height()};
    const QSize s = screen->geometry().size();
    return {s.width(), s.height()};
}

Size TableWindow::windowSize() {
    // The table is fitted as the window is shown maximised, so its outer
    // size is then the screen's work area, whatever size it had while hidden.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize s = screen ? screen->availableGeometry().size() : frameGeometry().size();
    return {s.width(), s.height()};
}

SystemInfo TableWindow::systemInfo() {
    SystemInfo info;
    info.os = QSysInfo::prettyProductName().toStdString();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        info.screenWidth = screen->geometry().width();
        info.screenHeight = screen->geometry().height();
        info.devicePixelRatio = screen->devicePixelRatio();
    }
    info.windowManager = windowManagerName();
    return info;
}

void TableWindow::timerChanged(TimerId id, bool running, int intervalMs) {
    QTimer* timer = timers_[static_cast<size_t>(id)];
    if (!timer) return;
    if (id == TimerId::Glide)
        trace::mark(running ? trace::Event::GlideStart : trace::Event::GlideStop);
    else if (id == TimerId::DealStep)
        trace::mark(running ? trace::Event::DealStepStart : trace::Event::DealStepStop);
    // A timer runs only while something moves or waits: idle, none does.
    if (running)
        timer->start(intervalMs);
    else
        timer->stop();
}

LocalTime TableWindow::now() {
    // Every record stamp and every deal step reads the clock: the system's
    // own call, which QDateTime would wrap with a look at the zone files.
    const LocalTime t = sys::localTimeNow();
    trace::markStamp(((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond);
    return t;
}

}  // namespace qbx

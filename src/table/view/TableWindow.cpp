#include "table/view/TableWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <ctime>

#include "app/Fonts.h"
#include "app/MessageBox.h"
#include "help/HelpWindow.h"
#include "table/view/CardPictures.h"
#include "table/view/TableCanvas.h"
#include "table/view/Trace.h"

namespace qbx {

namespace {

void setTextIfChanged(QAbstractButton* button, const std::string& caption) {
    const QString text = fromBytes(caption);
    if (button->text() != text) button->setText(text);
}

constexpr Ctl kLabels[] = {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4, Ctl::Label5,
                           Ctl::Label6, Ctl::Label7, Ctl::Label8, Ctl::Label9, Ctl::Label10};

}  // namespace

TableWindow::TableWindow(HelpWindow* help)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowStaysOnTopHint),
      game_(*this, *this),
      help_(help) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QBX"));
    setFont(layoutFont("MS Sans Serif", 11));
    resize(1024, 768);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(512, 384));

    quitApplication = [] {
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };

    for (size_t i = 0; i < timers_.size(); ++i) {
        auto* timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        const auto id = static_cast<TimerId>(i);
        connect(timer, &QTimer::timeout, this, [this, id] { fireTimer(id); });
        timers_[i] = timer;
    }

    createWidgets();
    dirty_.reserve(64);
    // Escape and a lost focus end a drag wherever the keyboard focus is.
    qApp->installEventFilter(this);
    refresh();
}

TableWindow::~TableWindow() {
    // The game goes before the widgets: nothing may reach it from here on.
    qApp->removeEventFilter(this);
    for (QTimer* timer : timers_) timer->stop();
    if (handCursor_) QGuiApplication::restoreOverrideCursor();
}

void TableWindow::createWidgets() {
    canvas_ = new TableCanvas(*this, game_.table());
    canvas_->setGeometry(rect());

    // Created bottom to top, all above the canvas.
    memo2_ = new QPlainTextEdit(this);
    button2_ = new QPushButton(this);
    ckturn_ = new QRadioButton(this);
    nkturn_ = new QRadioButton(this);
    button1_ = new QPushButton(this);
    memo1_ = new QPlainTextEdit(this);
    bitBtn1_ = new QPushButton(this);

    QPalette menuPalette = palette();
    menuPalette.setColor(QPalette::Base, TableCanvas::menuColour());
    memo1_->setPalette(menuPalette);
    memo2_->setPalette(menuPalette);
    memo2_->setReadOnly(true);
    memo2_->setFrameShape(QFrame::NoFrame);

    const QFont buttonFont = layoutFont("MS Sans Serif", 16, true);
    button1_->setFont(buttonFont);
    button2_->setFont(buttonFont);
    button1_->setAutoDefault(false);
    button2_->setAutoDefault(false);
    bitBtn1_->setIcon(QIcon(QPixmap::fromImage(helpButtonPicture())));
    bitBtn1_->setIconSize(QSize(kHelpIconSize, kHelpIconSize));

    turnGroup_ = new QButtonGroup(this);
    turnGroup_->addButton(ckturn_);
    turnGroup_->addButton(nkturn_);
    turnGroup_->setExclusive(true);

    for (Ctl id : game_.table().widgets()) widgetFor(id)->setObjectName(QString::fromLatin1(game_.table()[id].name));

    setTabOrder(button1_, ckturn_);
    setTabOrder(ckturn_, nkturn_);
    setTabOrder(nkturn_, memo1_);
    setTabOrder(memo1_, button2_);

    connect(button1_, &QPushButton::clicked, this, [this] {
        trace::mark(trace::Event::Click);
        game_.Button1Click();
        refresh();
    });
    connect(button2_, &QPushButton::clicked, this, [this] { openHelp(); });
    connect(bitBtn1_, &QPushButton::clicked, this, [this] { openHelp(); });
    // The radio buttons have no handler in the game; a click only moves the
    // selection, which the table keeps until the turn logic sets it.
    connect(ckturn_, &QRadioButton::clicked, this, [this] {
        game_.table().setChecked(Ctl::ckturn, true);
        refresh();
    });
    connect(nkturn_, &QRadioButton::clicked, this, [this] {
        game_.table().setChecked(Ctl::nkturn, true);
        refresh();
    });
}

QWidget* TableWindow::widgetFor(Ctl id) const {
    switch (id) {
    case Ctl::Memo1: return memo1_;
    case Ctl::Memo2: return memo2_;
    case Ctl::Button1: return button1_;
    case Ctl::Button2: return button2_;
    case Ctl::ckturn: return ckturn_;
    case Ctl::nkturn: return nkturn_;
    case Ctl::BitBtn1: return bitBtn1_;
    default: return nullptr;
    }
}

void TableWindow::start(const std::string& userCode) {
    game_.FormCreate(userCode);
    // The pictures are read once, by the game start; nothing changes them later.
    canvas_->setBackBitmap(game_.backBitmap);
    canvas_->setTextureBitmap(game_.textureBitmap);
    refresh();
    if (game_.terminated() && !exitRequested_) terminate();
}

// ---- Events handed to the game ------------------------------------------

// A glide tick runs here 66 times a second: it moves one card and asks for
// the repaint of its old and new rectangles only (refresh() below); it
// allocates nothing and makes no file system call (the logs are synced only
// when a record was written).
void TableWindow::fireTimer(TimerId id) {
    if (id == TimerId::Timer1) trace::mark(trace::Event::Timer1Tick);
    else if (id == TimerId::Timer3) trace::mark(trace::Event::Timer3Tick);
    game_.onTimer(id);
    refresh();
}

bool TableWindow::timerActive(TimerId id) const {
    return timers_[static_cast<size_t>(id)]->isActive();
}

void TableWindow::forwardPress(int x, int y, MouseButton button) {
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
    help_->ShowInst(1);
    help_->exec();
    refresh();
}

// ---- Keeping the window in step with the table ---------------------------

void TableWindow::refresh() {
    if (game_.table().labelVersion() != fittedLabelVersion_) {
        fitLabels();
        fittedLabelVersion_ = game_.table().labelVersion();
    }
    if (game_.table().widgetVersion() != syncedVersion_) {
        syncWidgets();
        syncedVersion_ = game_.table().widgetVersion();
    }
    repaintDirty();
    updateDragCursor();
}

void TableWindow::fitLabels() {
    // Labels fit their text; the game needs their sizes for hit testing.
    for (Ctl id : kLabels) {
        const Control& c = game_.table()[id];
        const QSize fitted = canvas_->fittedLabelSize(id, c.caption);
        if (fitted.width() != c.width || fitted.height() != c.height)
            game_.setLabelSize(id, fitted.width(), fitted.height());
    }
}

void TableWindow::syncWidgets() {
    const Table& table = game_.table();
    for (Ctl id : table.widgets()) {
        const Control& c = table[id];
        QWidget* w = widgetFor(id);
        const QRect geometry(c.left, c.top, c.width, c.height);
        if (w->geometry() != geometry) w->setGeometry(geometry);
        if (w->isHidden() == c.visible) w->setVisible(c.visible);
        if (w->isEnabled() != c.enabled) w->setEnabled(c.enabled);
    }
    setTextIfChanged(button1_, table[Ctl::Button1].caption);
    setTextIfChanged(button2_, table[Ctl::Button2].caption);
    setTextIfChanged(ckturn_, table[Ctl::ckturn].caption);
    setTextIfChanged(nkturn_, table[Ctl::nkturn].caption);

    const bool ck = table[Ctl::ckturn].checked;
    const bool nk = table[Ctl::nkturn].checked;
    if (ckturn_->isChecked() != ck || nkturn_->isChecked() != nk) {
        turnGroup_->setExclusive(false);
        ckturn_->setChecked(ck);
        nkturn_->setChecked(nk);
        turnGroup_->setExclusive(true);
    }

    if (table.memo2Lines != shownMemo2Lines_) {
        shownMemo2Lines_ = table.memo2Lines;
        QStringList lines;
        for (const std::string& line : shownMemo2Lines_) lines << fromBytes(line);
        memo2_->setPlainText(lines.join(QLatin1Char('\n')));
    }

    // Disabling the window shuts out the mouse and the keyboard from every control.
    if (isEnabled() != table.formEnabled()) setEnabled(table.formEnabled());

    if (table.formVisible() && !isVisible()) {
        showMaximized();
        activateWindow();
    } else if (!table.formVisible() && isVisible()) {
        hide();
    }
}

void TableWindow::repaintDirty() {
    Table& table = game_.table();
    if (table.allDirty()) {
        table.takeDirty(dirty_);
        canvas_->update();
        return;
    }
    table.takeDirty(dirty_);
    for (const Rect& r : dirty_) canvas_->update(r.left, r.top, r.width, r.height);
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

bool TableWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) cancelDrag();
    return QWidget::event(event);
}

bool TableWindow::eventFilter(QObject* watched, QEvent* event) {
    if (game_.dragging()) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
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
    canvas_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

// ---- What the game asks of the desktop ------------------------------------

void TableWindow::showMessage(const std::string& text) { showMessageBox(this, text); }

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

void TableWindow::timerChanged(TimerId id, bool running, int intervalMs) {
    QTimer* timer = timers_[static_cast<size_t>(id)];
    if (!timer) return;
    if (id == TimerId::Timer1)
        trace::mark(running ? trace::Event::Timer1Start : trace::Event::Timer1Stop);
    else if (id == TimerId::Timer3)
        trace::mark(running ? trace::Event::Timer3Start : trace::Event::Timer3Stop);
    // A timer runs only while something moves or waits: idle, none does.
    if (running)
        timer->start(intervalMs);
    else
        timer->stop();
}

LocalTime TableWindow::now() {
    // Every record stamp and every deal step reads the clock. The wall clock
    // comes through the vDSO and localtime_r uses the zone rules loaded at
    // the first call, so a reading makes no system call; QDateTime would look
    // at /etc/localtime each time.
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     static_cast<int>(ts.tv_nsec / 1000000)};
}

}  // namespace qbx

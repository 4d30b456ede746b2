#include "desktop/replay/ReplayWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "core/eventlog/LogFormat.h"
#include "desktop/replay/HandExport.h"
#include "desktop/replay/ReplayTable.h"
#include "desktop/replay/TimeLine.h"
#include "desktop/widgets/Text.h"

namespace qbx::replayview {

namespace {

// Playing moves the replay on this often, by the wall time passed times the speed.
constexpr int kTickMs = 15;
constexpr int kSpeeds[3] = {1, 4, 16};

QToolButton* barButton(QWidget* parent, const QString& name, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    b->setIconSize(QSize(22, 22));
    return b;
}

}  // namespace

QString sessionTime(long long ms) {
    ms = std::max(0LL, ms);
    const long long tenths = ms / 100;
    const long long s = tenths / 10, m = s / 60, h = m / 60;
    const QString secs = QStringLiteral("%1.%2").arg(s % 60, 2, 10, QLatin1Char('0')).arg(tenths % 10);
    if (h > 0) return QStringLiteral("%1:%2:%3").arg(h).arg(m % 60, 2, 10, QLatin1Char('0')).arg(secs);
    return QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(secs);
}

// ---- The stage ------------------------------------------------------------------

ReplayStage::ReplayStage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("stage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ReplayStage::show(const QImage& table, const QString& banner) {
    table_ = table;
    banner_ = banner;
    update();
}

QSize ReplayStage::sizeHint() const { return table_.isNull() ? QSize(1024, 768) : table_.size(); }

QRect ReplayStage::tableArea() const {
    if (table_.isNull()) return rect();
    const QSize fitted = table_.width() <= width() && table_.height() <= height()
                             ? table_.size()
                             : table_.size().scaled(size(), Qt::KeepAspectRatio);
    QRect area(QPoint(0, 0), fitted);
    area.moveCenter(rect().center());
    return area;
}

void ReplayStage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(60, 63, 68));
    if (table_.isNull()) return;
    const QRect area = tableArea();
    p.setRenderHint(QPainter::SmoothPixmapTransform, area.size() != table_.size());
    p.drawImage(area, table_);
    paintBanner(p, area, banner_);
}

// ---- The window -------------------------------------------------------------------

ReplayWindow::ReplayWindow(std::unique_ptr<replay::SessionReplay> replay, SessionFiles files)
    : replay_(std::move(replay)), files_(std::move(files)) {
    setObjectName(QStringLiteral("replayWindow"));
    // The keys go to the window: nothing in it takes the focus.
    setFocusPolicy(Qt::StrongFocus);
    table_ = std::make_unique<ReplayTable>(files_.screen);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    stage_ = new ReplayStage(this);
    layout->addWidget(stage_, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("bar"));
    buildBar(bar);
    layout->addWidget(bar);

    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setContentsMargins(10, 2, 10, 4);
    problems_->setStyleSheet(QStringLiteral("color: #a01010;"));
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problems_->setWordWrap(true);
    problems_->hide();
    layout->addWidget(problems_);

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, [this] { advance(wall_.restart()); });

    replay_->showAction(0);
    playMs_ = double(replay_->nowMs());
    refresh();
    // Room for the table at its size, as far as this screen has it.
    QSize room(files_.screen.width, files_.screen.height + bar->sizeHint().height());
    if (const QScreen* here = screen()) room = room.boundedTo(here->availableGeometry().size());
    resize(room);
}

ReplayWindow::~ReplayWindow() = default;

void ReplayWindow::buildBar(QWidget* bar) {
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    rows->addLayout(row);

    backButton_ = barButton(bar, QStringLiteral("stepBack"), tr("Previous action (Left)"));
    backButton_->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
    playButton_ = barButton(bar, QStringLiteral("play"), tr("Play or pause (Space)"));
    forwardButton_ = barButton(bar, QStringLiteral("stepForward"), tr("Next action (Right)"));
    forwardButton_->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    connect(backButton_, &QToolButton::clicked, this, [this] { stepBack(); });
    connect(playButton_, &QToolButton::clicked, this, [this] { playing() ? pause() : play(); });
    connect(forwardButton_, &QToolButton::clicked, this, [this] { stepForward(); });
    row->addWidget(backButton_);
    row->addWidget(playButton_);
    row->addWidget(forwardButton_);
    row->addSpacing(12);

    auto* speeds = new QButtonGroup(bar);
    for (int i = 0; i < 3; ++i) {
        QToolButton* b = barButton(bar, QStringLiteral("speed%1").arg(kSpeeds[i]), tr("Play at this speed"));
        b->setText(QStringLiteral("×%1").arg(kSpeeds[i]));
        b->setCheckable(true);
        speeds->addButton(b);
        speedButtons_[i] = b;
        const int times = kSpeeds[i];
        connect(b, &QToolButton::clicked, this, [this, times] { setSpeed(times); });
        row->addWidget(b);
    }
    speedButtons_[0]->setChecked(true);
    row->addSpacing(12);

    hands_ = new QComboBox(bar);
    hands_->setObjectName(QStringLiteral("hands"));
    hands_->setFocusPolicy(Qt::NoFocus);
    hands_->setToolTip(tr("Go to a hand's deal"));
    for (int h = 1; h <= replay_->hands(); ++h) hands_->addItem(tr("Hand %1").arg(h), h);
    connect(hands_, &QComboBox::activated, this, [this](int index) { jumpToHand(hands_->itemData(index).toInt()); });
    row->addWidget(hands_);

    exportButton_ = new QPushButton(tr("Export hand…"), bar);
    exportButton_->setObjectName(QStringLiteral("exportHand"));
    exportButton_->setFocusPolicy(Qt::NoFocus);
    exportButton_->setToolTip(tr("Save the hand shown as an animated PNG"));
    connect(exportButton_, &QPushButton::clicked, this, [this] { exportHand(); });
    row->addWidget(exportButton_);
    row->addSpacing(12);
    actionText_ = new QLabel(bar);
    actionText_->setObjectName(QStringLiteral("action"));
    actionText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(actionText_, 1);

    timeText_ = new QLabel(bar);
    timeText_->setObjectName(QStringLiteral("time"));
    QFont mono = timeText_->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("DejaVu Sans Mono"));
    timeText_->setFont(mono);
    row->addWidget(timeText_);

    timeLine_ = new TimeLine(bar);
    timeLine_->setActions(replay_->actions(), replay_->durationMs());
    timeLine_->actionClicked = [this](size_t index) { goToAction(index); };
    timeLine_->timeClicked = [this](long long ms) { goToTime(ms); };
    rows->addWidget(timeLine_);
}

bool ReplayWindow::playing() const { return timer_->isActive(); }

void ReplayWindow::play() {
    if (playing()) return;
    // At the end, playing starts again from the beginning.
    if (replay_->nowMs() >= replay_->durationMs()) {
        replay_->showAction(0);
        playMs_ = double(replay_->nowMs());
    }
    playMs_ = double(replay_->nowMs());
    wall_.start();
    timer_->start();
    refresh();
}

void ReplayWindow::pause() {
    timer_->stop();
    refresh();
}

void ReplayWindow::setSpeed(int times) {
    speed_ = times;
    for (int i = 0; i < 3; ++i) speedButtons_[i]->setChecked(kSpeeds[i] == times);
}

void ReplayWindow::advance(long long wallMs) {
    playMs_ = std::min(playMs_ + double(wallMs) * speed_, double(replay_->durationMs()));
    replay_->playTo((long long)playMs_);
    if (playMs_ >= double(replay_->durationMs())) timer_->stop();
    refresh();
}

void ReplayWindow::stepForward() {
    const size_t next = replay_->actionsApplied();
    if (next < replay_->actions().size()) goToAction(next);
}

void ReplayWindow::stepBack() {
    const size_t applied = replay_->actionsApplied();
    goToAction(applied >= 2 ? applied - 2 : 0);
}

void ReplayWindow::jumpToHand(int hand) {
    const size_t deal = replay_->firstActionOfHand(hand);
    if (deal < replay_->actions().size()) goToAction(deal);
}

void ReplayWindow::goToAction(size_t index) {
    if (index >= replay_->actions().size()) return;
    replay_->showAction(index);
    playMs_ = double(replay_->nowMs());
    wall_.restart();
    refresh();
}

void ReplayWindow::goToTime(long long ms) {
    ms = std::clamp(ms, 0LL, replay_->durationMs());
    // The engine goes forwards only: a time before now starts it again.
    if (ms < replay_->nowMs()) replay_->jumpToAction(0);
    replay_->playTo(ms);
    playMs_ = double(ms);
    wall_.restart();
    refresh();
}

int ReplayWindow::currentHand() const {
    const size_t applied = replay_->actionsApplied();
    return applied == 0 ? 0 : replay_->actions()[applied - 1].hand;
}

QString ReplayWindow::titleText() const {
    const int hand = currentHand();
    const QString handText = hand > 0 ? tr("hand %1").arg(hand) : tr("before the first hand");
    QString participant = fromBytes(replay_->participant());
    if (participant.isEmpty()) participant = tr("(no code)");
    return QStringLiteral("%1 — %2 — %3 — %4 — QBXSolo replay")
        .arg(QString::fromStdString(replay_->session()), participant, handText, sessionTime(replay_->nowMs()));
}

QString ReplayWindow::actionText() const {
    const size_t applied = replay_->actionsApplied();
    if (applied == 0) return {};
    const replay::Action& a = replay_->actions()[applied - 1];
    const QString who = a.role == Role::Ck ? tr("ColorKeeper") : tr("NumberKeeper");
    auto place = [](uint8_t p) { return QString::fromLatin1(placeShortName(p).data(), placeShortName(p).size()); };
    QString what;
    switch (a.kind) {
    case replay::ActionKind::Start: what = tr("game start"); break;
    case replay::ActionKind::Deal: what = tr("deal of hand %1").arg(a.hand); break;
    case replay::ActionKind::PickUp: what = tr("pick-up by %1: %2").arg(who, place(a.from)); break;
    case replay::ActionKind::Look: what = tr("look by %1: %2").arg(who, place(a.from)); break;
    case replay::ActionKind::Move: what = tr("move by %1: %2 → %3").arg(who, place(a.from), place(a.to)); break;
    case replay::ActionKind::Pass: what = tr("pass by %1").arg(who); break;
    case replay::ActionKind::GameEnd: what = tr("game end"); break;
    }
    QString text = QStringLiteral("%1/%2 %3").arg(applied).arg(replay_->actions().size()).arg(what);
    if (!a.file.empty()) text += tr(" · %1 line %2").arg(QString::fromStdString(a.file)).arg(a.line);
    return text;
}

QString ReplayWindow::problemText() const {
    // Those of the opening, and those of the actions played so far.
    const auto& all = replay_->problems();
    const replay::Problem* last = nullptr;
    int reached = 0;
    for (const replay::Problem& p : all) {
        if (p.action < replay_->actionsApplied() || p.action >= replay_->actions().size()) {
            last = &p;
            ++reached;
        }
    }
    if (!last) return {};
    QString text = tr("Problem: %1").arg(fromBytes(last->what));
    if (reached > 1) text += tr(" (%1 problems so far)").arg(reached);
    return text;
}

void ReplayWindow::refresh() {
    const uint64_t banner = std::hash<std::string>()(replay_->banner());
    if ((tableSignature(replay_->game().table()) ^ banner) != shown_) {
        table_->follow(*replay_);
        stage_->show(table_->render(), fromBytes(replay_->banner()));
        // Taken after the labels were fitted to their captions.
        shown_ = tableSignature(replay_->game().table()) ^ banner;
    }
    const long long now = replay_->nowMs();
    timeLine_->setNow(now);
    timeText_->setText(sessionTime(now) + QStringLiteral(" / ") + sessionTime(replay_->durationMs()));
    playButton_->setIcon(style()->standardIcon(playing() ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    const int hand = currentHand();
    if (hand > 0 && hands_->currentIndex() != hand - 1) hands_->setCurrentIndex(hand - 1);
    exportButton_->setEnabled(hand > 0);
    setWindowTitle(titleText());
    actionText_->setText(actionText());
    const QString problem = problemText();
    if (problems_->text() != problem) problems_->setText(problem);
    problems_->setVisible(!problem.isEmpty());
}

void ReplayWindow::exportHand() {
    const int hand = currentHand();
    if (hand < 1) return;
    pause();
    // Beside the logs' folder, not in it: dataout holds what sessions wrote.
    QDir beside(QString::fromStdString(files_.logFolder));
    beside.cdUp();
    const QString suggested =
        beside.filePath(QStringLiteral("%1_hand%2.png").arg(QString::fromStdString(replay_->session())).arg(hand));
    const QString path = QFileDialog::getSaveFileName(this, tr("Export hand %1").arg(hand), suggested,
                                                      tr("Animated PNG (*.png *.apng)"));
    if (path.isEmpty()) return;
    // The dialog asked before replacing a file: only what no export may
    // replace is refused.
    std::string error = output::refusal({{"--apng", toBytes(path)}}, inputsOf(files_), true);
    if (!error.empty()) {
        QMessageBox::warning(this, tr("Export hand"), fromBytes(error));
        return;
    }
    // A replay of its own: the one shown stays where it is.
    auto copy = replay::SessionReplay::open(files_.logs, files_.screen, error);
    bool done = false;
    int frames = 0;
    if (copy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ReplayTable table(files_.screen);
        done = exportHandApng(*copy, table, hand, kDefaultFps, toBytes(path), error, &frames);
        QApplication::restoreOverrideCursor();
    }
    if (done)
        QMessageBox::information(this, tr("Export hand"),
                                 tr("Hand %1 saved in %2 (%3 frames).").arg(hand).arg(path).arg(frames));
    else
        QMessageBox::warning(this, tr("Export hand"), fromBytes(error));
}

void ReplayWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space: playing() ? pause() : play(); break;
    case Qt::Key_Left: stepBack(); break;
    case Qt::Key_Right: stepForward(); break;
    case Qt::Key_Home: goToAction(0); break;
    case Qt::Key_End:
        if (!replay_->actions().empty()) goToAction(replay_->actions().size() - 1);
        break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

}  // namespace qbx::replayview

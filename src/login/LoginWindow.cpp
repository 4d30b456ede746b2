#include "login/LoginWindow.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "app/Fonts.h"
#include "app/MessageBox.h"
#include "config/ConfigFiles.h"

namespace qbx {

namespace {

constexpr int kClientWidth = 429;
constexpr int kClientHeight = 358;
constexpr const char* kEmptyCodeMessage = "Per favore riempi tutti i campi";

QFont sansSerif(int pixelSize, bool bold = false)
{
    return layoutFont("MS Sans Serif", pixelSize, bold);
}

template <typename W>
W* makeControl(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* control = new W(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

}  // namespace

LoginWindow::LoginWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("QBX"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(sansSerif(11));

    label1_ = makeControl<QLabel>(this, "Label1", 104, 64, 71, 24);
    label1_->setText(QStringLiteral("CODICE"));
    label1_->setFont(sansSerif(19));

    edit1_ = makeControl<QLineEdit>(this, "Edit1", 104, 104, 217, 32);
    edit1_->setFont(sansSerif(19));

    button1_ = makeControl<QPushButton>(this, "Button1", 104, 240, 233, 81);
    button1_->setText(QStringLiteral("OK"));
    button1_->setFont(sansSerif(19, true));
    // Not the default button: Enter in the code box must not press it.
    button1_->setAutoDefault(false);
    button1_->setDefault(false);

    // Surname, registration number and tax code: part of the layout, hidden
    // for the whole run.
    label2_ = makeControl<QLabel>(this, "Label2", 16, 168, 67, 16);
    label2_->setText(QStringLiteral("Cognome"));
    label2_->setFont(sansSerif(13, true));
    edit2_ = makeControl<QLineEdit>(this, "Edit2", 112, 168, 217, 21);
    label3_ = makeControl<QLabel>(this, "Label3", 16, 192, 65, 16);
    label3_->setText(QStringLiteral("Matricola"));
    label3_->setFont(sansSerif(13, true));
    edit3_ = makeControl<QLineEdit>(this, "Edit3", 112, 192, 217, 21);
    label4_ = makeControl<QLabel>(this, "Label4", 16, 224, 88, 16);
    label4_->setText(QStringLiteral("Cod. Fiscale"));
    label4_->setFont(sansSerif(13, true));
    edit4_ = makeControl<QLineEdit>(this, "Edit4", 112, 216, 217, 21);
    for (QWidget* hidden : {static_cast<QWidget*>(label2_), static_cast<QWidget*>(edit2_),
                            static_cast<QWidget*>(label3_), static_cast<QWidget*>(edit3_),
                            static_cast<QWidget*>(label4_), static_cast<QWidget*>(edit4_)})
        hidden->hide();

    setTabOrder(edit1_, edit2_);
    setTabOrder(edit2_, edit3_);
    setTabOrder(edit3_, button1_);
    setTabOrder(button1_, edit4_);
    edit1_->setFocus(Qt::OtherFocusReason);

    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });

    centreOnScreen();
    FormCreate();
}

void LoginWindow::centreOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The whole window, frame included, is centred; the frame's size is
    // known only once the window exists on the screen.
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    // move() places a window by its frame's top-left corner.
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void LoginWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
}

void LoginWindow::FormCreate()
{
    ReadIniFile();
    setLabel1Caption();
}

void LoginWindow::ReadIniFile()
{
    // On a failure readLabelCode leaves the text as it was, so Label1 shows
    // whatever had been stored before the error.
    if (!readLabelCode(kParameterFile, labelCodeText_))
        showMessageBox(nullptr, kParameterReadError);
}

void LoginWindow::setLabel1Caption()
{
    label1_->setText(fromBytes(labelCodeText_));
    // The label grows to the right with a caption longer than its layout
    // width, as a self-sizing label does; it never shrinks.
    const int needed = QFontMetrics(label1_->font()).horizontalAdvance(label1_->text());
    if (needed > label1_->width())
        label1_->resize(needed, label1_->height());
}

void LoginWindow::Button1Click()
{
    if (edit1_->text().isEmpty()) {
        showMessageBox(this, kEmptyCodeMessage);
        return;
    }
    hide();
    userCode_ = toBytes(edit1_->text()) + " " + toBytes(edit2_->text()) + " " +
                toBytes(edit3_->text()) + " " + toBytes(edit4_->text());
    if (onLogin)
        onLogin(userCode_);
}

void LoginWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

}  // namespace qbx

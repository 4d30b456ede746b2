#pragma once
// the login window, the login window: the participant types a code and presses OK.
// It is the program's main window and lives, hidden after the login, for the
// whole run.

#include <QWidget>

#include <functional>
#include <string>

class QCloseEvent;
class QShowEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qbx {

class FrontHolder;

class LoginWindow : public QWidget {
    Q_OBJECT

public:
    // `folder` holds setup/; empty: the working directory.
    explicit LoginWindow(QWidget* parent = nullptr, std::string folder = {});

    // Caption of the code label from the message catalogue's "LabelCode"; shows the
    // read-error box when the parameter file or the catalogue cannot be read.
    void readLabelCaption();
    // The OK button.
    void acceptCode();

    // The participant string built by an accepted OK: the four boxes joined
    // by single blanks, untrimmed.
    const std::string& participantCode() const { return participantCode_; }
    const std::string& labelCodeText() const { return labelCodeText_; }

    // What an accepted OK does after hiding the window and building
    // participantCode: the program creates the table window here.
    std::function<void(const std::string&)> onLogin;

protected:
    // The window has no close box; a close request from the window manager
    // (Alt+F4 and the like) is refused, so OK is the only way forward.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Minimised by a window manager (its title-bar button, a key binding, a
    // client message), the window comes back at once: the login has no
    // caption buttons and OK is the only way on.
    void changeEvent(QEvent* event) override;

private:
    void loadCaption();
    void setCodeLabelCaption();
    void centreOnScreen();
    // Where centreOnScreen puts the window: its frame's rectangle.
    QRect centredFrame() const;
    // Taken from the front by the window manager: back in its place, on top.
    void putBack();

    std::string folder_;
    std::string labelCodeText_ = "CODE";
    std::string participantCode_;
    bool centred_ = false;
    bool restoreQueued_ = false;
    // On every desktop, above the others, in its place.
    FrontHolder* holder_ = nullptr;

    QLabel* codeLabel_ = nullptr;
    QLineEdit* codeEdit_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QLabel* surnameLabel_ = nullptr;
    QLineEdit* surnameEdit_ = nullptr;
    QLabel* registrationLabel_ = nullptr;
    QLineEdit* registrationEdit_ = nullptr;
    QLabel* taxCodeLabel_ = nullptr;
    QLineEdit* taxCodeEdit_ = nullptr;
};

}  // namespace qbx

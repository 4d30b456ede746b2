#pragma once
// Form2, the login window: the participant types a code and presses OK.
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

class LoginWindow : public QWidget {
    Q_OBJECT

public:
    explicit LoginWindow(QWidget* parent = nullptr);

    // Caption of Label1 from the message catalogue's "LabelCode"; shows the
    // read-error box when the parameter file or the catalogue cannot be read.
    void ReadIniFile();
    // The OK button.
    void Button1Click();

    // The participant string built by an accepted OK: the four boxes joined
    // by single blanks, untrimmed.
    const std::string& userCode() const { return userCode_; }
    const std::string& labelCodeText() const { return labelCodeText_; }

    // What an accepted OK does after hiding the window and building
    // userCode: the program creates the table window here.
    std::function<void(const std::string&)> onLogin;

protected:
    // The window has no close box; a close request from the window manager
    // (Alt+F4 and the like) is refused, so OK is the only way forward.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void setLabel1Caption();
    void centreOnScreen();

    std::string labelCodeText_ = "CODE";
    std::string userCode_;
    bool centred_ = false;

    QLabel* label1_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QPushButton* button1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLineEdit* edit2_ = nullptr;
    QLabel* label3_ = nullptr;
    QLineEdit* edit3_ = nullptr;
    QLabel* label4_ = nullptr;
    QLineEdit* edit4_ = nullptr;
};

}  // namespace qbx

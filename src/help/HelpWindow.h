#pragma once
// The help window: the instructions of the task, an HTML page from the setup
// directory, shown modally over the table until the participant presses CLOSE.

#include <QDialog>
#include <QSize>

class QPushButton;
class QTextBrowser;

namespace qbx {

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

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

private:
    void closeClicked();
    QSize sizeAtLastShow_;
};

}  // namespace qbx

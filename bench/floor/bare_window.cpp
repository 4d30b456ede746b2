// The floor of start time and memory: a Qt 6 program that maps one empty
// window and waits to be ended. Arguments, for the floors of a window like
// ours: "text" shows one line of text (the font configuration is read and a
// font file loaded before the window is mapped); "screen" makes the window
// 1024 x 768, as large as the table.

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(400, 300);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "text") == 0) {
            auto* label = new QLabel(QStringLiteral("Code"), &window);
            label->move(20, 20);
        } else if (std::strcmp(argv[i], "screen") == 0) {
            window.resize(1024, 768);
        }
    }
    window.show();
    return app.exec();
}

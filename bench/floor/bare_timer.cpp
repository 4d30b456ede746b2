// The floor of glide smoothness: one empty window and one precise 15 ms
// QTimer; prints the intervals of its ticks in microseconds, one a line,
// and ends after the number of ticks given as the first argument.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 600;
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare-timer"));
    window.resize(400, 300);
    window.show();

    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> times;
    times.reserve(static_cast<size_t>(ticks) + 1);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        times.push_back(Clock::now());
        if (static_cast<int>(times.size()) > ticks) {
            timer.stop();
            QCoreApplication::quit();
        }
    });
    // Starts once the window is up, as the table's timers do.
    QTimer::singleShot(200, [&] {
        times.push_back(Clock::now());
        timer.start(15);
    });
    app.exec();
    for (size_t i = 1; i < times.size(); ++i)
        std::printf("%lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::microseconds>(times[i] - times[i - 1]).count()));
    return 0;
}

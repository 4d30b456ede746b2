// Owns the X clipboard and the primary selection with one text, given as
// hexadecimal UTF-8 (control characters included), and serves both until it
// is ended; a newer owner may take them over meanwhile. Prints "ready" once
// it owns them, and "served" each time a program reads the text, so that a
// test knows when a paste has happened.

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QVariant>

#include <cstdio>

namespace {

class ServedText : public QMimeData {
public:
    explicit ServedText(const QString& text) : text_(text) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (mimeType != QLatin1String("text/plain")) return {};
        std::printf("served\n");
        std::fflush(stdout);
        return text_;
    }

private:
    QString text_;
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: clipboard_owner HEX\n");
        return 2;
    }
    const QString text = QString::fromUtf8(QByteArray::fromHex(argv[1]));
    QGuiApplication::clipboard()->setMimeData(new ServedText(text), QClipboard::Clipboard);
    QGuiApplication::clipboard()->setMimeData(new ServedText(text), QClipboard::Selection);
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "desktop/widgets/QtMessages.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace qbx {

namespace {

QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    if (previousHandler) {
        previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

void installQtMessageFilter() {
    const QtMessageHandler previous = qInstallMessageHandler(filterMessage);
    if (previous != filterMessage) previousHandler = previous;
}

}  // namespace qbx

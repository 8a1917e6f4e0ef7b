#pragma once

#include <QString>
#include <QtGlobal>

#include <csignal>
#include <cstdio>

namespace velmora::tools {

inline const char*& ToolName() {
    static const char* name = "velmora";
    return name;
}

// Only what went wrong reaches standard error, one line with the tool's name.
inline void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s: %s\n", ToolName(), qUtf8Printable(message.simplified()));
    }
}

// Before the application object: converting needs fonts, not a screen; and past a file size
// limit a write fails with its reason instead of ending the process.
inline void PrepareHeadlessConversion(const char* toolName) {
    ToolName() = toolName;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QuietMessages);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace velmora::tools

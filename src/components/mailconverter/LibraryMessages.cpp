#include "components/mailconverter/LibraryMessages.h"

#include <QString>
#include <QtGlobal>

#include <glib.h>

namespace velmora::mailconverter {

namespace {

GLogWriterOutput ToQt(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
    QString domain;
    QString message;
    for (gsize i = 0; i < count; ++i) {
        const QString value = fields[i].length < 0
                                  ? QString::fromUtf8(static_cast<const char*>(fields[i].value))
                                  : QString::fromUtf8(static_cast<const char*>(fields[i].value),
                                                      qsizetype(fields[i].length));
        if (qstrcmp(fields[i].key, "MESSAGE") == 0) {
            message = value;
        } else if (qstrcmp(fields[i].key, "GLIB_DOMAIN") == 0) {
            domain = value;
        }
    }
    const QString text = domain.isEmpty() ? message : domain + QStringLiteral(": ") + message;
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) {
        qCritical("%s", qUtf8Printable(text));
    } else if (level & G_LOG_LEVEL_WARNING) {
        qWarning("%s", qUtf8Printable(text));
    } else {
        qInfo("%s", qUtf8Printable(text));
    }
    return G_LOG_WRITER_HANDLED;
}

}  // namespace

void RouteLibraryMessages() {
    static const bool routed = [] {
        g_log_set_writer_func(ToQt, nullptr, nullptr);
        return true;
    }();
    Q_UNUSED(routed);
}

}  // namespace velmora::mailconverter

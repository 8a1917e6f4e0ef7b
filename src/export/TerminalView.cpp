#include "export/TerminalView.h"

#include "export/ExportReport.h"

namespace velmora::exporting {

namespace {

constexpr qint64 kRedrawMs = 200;
constexpr std::int64_t kLogEvery = 1000;
constexpr qsizetype kLineWidth = 79;

QString Duration(qint64 seconds) {
    if (seconds >= 3600) {
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString ProgressLine(std::int64_t done, std::int64_t total, qint64 elapsedMs) {
    QString line = QStringLiteral("%1/%2 messages").arg(done).arg(total);
    if (done > 0 && elapsedMs > 0) {
        const double rate = 1000.0 * static_cast<double>(done) / static_cast<double>(elapsedMs);
        line += QStringLiteral(", %1/s").arg(rate, 0, 'f', 1);
        if (total > done) {
            line +=
                QStringLiteral(", %1 left")
                    .arg(Duration(static_cast<qint64>(static_cast<double>(total - done) / rate)));
        }
    }
    return line;
}

TerminalView::TerminalView(std::FILE* out, bool interactive, bool quiet)
    : m_out(out), m_interactive(interactive), m_quiet(quiet) {
    m_clock.start();
}

void TerminalView::Print(const QString& text) {
    if (m_interactive) {
        // Back to the start of the line and over what was there.
        std::fprintf(m_out, "\r\033[K%s", qUtf8Printable(text));
        m_lineOpen = true;
    } else {
        std::fprintf(m_out, "%s\n", qUtf8Printable(text));
    }
    std::fflush(m_out);
}

void TerminalView::SetSaveHeader(const QString& text) {
    // Folder names come from the database: what they hold must not steer the terminal.
    const QString header = VisibleControls(text);
    if (m_quiet || header == m_header) {
        return;
    }
    m_header = header;
    if (!m_interactive) {
        Print(header);
    }
}

void TerminalView::SetOverallProgress(std::int64_t done, std::int64_t total) {
    if (m_quiet || done == 0) {
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (m_interactive) {
        if (done == total || m_lastDrawn < 0 || now - m_lastDrawn >= kRedrawMs) {
            m_lastDrawn = now;
            // One terminal line, or the next one would not start over it.
            const QString line = ProgressLine(done, total, now);
            Print(line + QStringLiteral("  ") + m_header.left(kLineWidth - 2 - line.size()));
        }
    } else if (done - m_lastLogged >= kLogEvery || done == total) {
        m_lastLogged = done;
        Print(ProgressLine(done, total, now));
    }
}

void TerminalView::CloseWindow() {
    if (m_lineOpen) {
        std::fputs("\n", m_out);
        std::fflush(m_out);
        m_lineOpen = false;
    }
}

MsgAnswer TerminalUserInterface::MessageBox(const QString& text, const QString& title, MsgIcon icon,
                                            MsgButtons buttons) {
    lastText = text;
    lastTitle = title;
    lastIcon = icon;
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

}  // namespace velmora::exporting

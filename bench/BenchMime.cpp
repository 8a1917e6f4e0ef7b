// Median time to compose a message, for two shapes of message. Not a test: prints figures.
#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MailMessage.h"
#include "components/mime/MimeComponent.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

QString OnePage() {
    QString text;
    for (int line = 0; line < 50; ++line) {
        text += QStringLiteral("Line %1 of a one-page message, with a few words to fill it up.\n")
                    .arg(line);
    }
    return text;
}

struct Timing {
    double build = 0;    // creating the message and adding every field and attachment
    double compose = 0;  // ComposeText
    size_t size = 0;
};

Timing Compose(const QString& body, const QStringList& attachments) {
    QElapsedTimer timer;
    timer.start();
    auto message = automation::CreateObject<mime::MailMessage>(mime::kMailMessageClassId);
    auto composer = automation::CreateObject<mime::MailComposer>(mime::kMailComposerClassId);
    const QString to = QStringLiteral("Jane Roe/Sales/Acme;bob@x.example");
    message->AddTo(to, to);
    message->SetSubject(QStringLiteral("Quarterly figures"));
    message->SetBody(body);
    message->SetFrom(QStringLiteral("Ann Example <ann@x.example>"));
    message->AddCc(QString(), QString());
    message->AddBcc(QString(), QString());
    message->SetDate(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone(7200)));
    for (const QString& path : attachments) {
        message->AddAttachment(path);
    }
    Timing timing;
    timing.build = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    timing.size = size_t(composer->ComposeText(*message).size());
    timing.compose = double(timer.nsecsElapsed()) / 1e6;
    return timing;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Report(const char* label, int runs, const QString& body, const QStringList& attachments) {
    std::vector<double> total, build, compose;
    size_t size = 0;
    for (int i = 0; i < runs; ++i) {
        const Timing timing = Compose(body, attachments);
        total.push_back(timing.build + timing.compose);
        build.push_back(timing.build);
        compose.push_back(timing.compose);
        size = timing.size;
    }
    std::printf("%s median %.3f ms (build %.3f ms, ComposeText %.3f ms), %zu characters, %d runs\n",
                label, Median(total), Median(build), Median(compose), size, runs);
}

}  // namespace

int main() {
    RegisterStandardComponents();
    QTemporaryDir dir;
    QStringList attachments;
    for (const QString& name : {QStringLiteral("first.pdf"), QStringLiteral("second.bin")}) {
        QByteArray bytes(200 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(1);
        for (char& byte : bytes) {
            byte = char(generator.bounded(256));
        }
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
        attachments << file.fileName();
    }
    const QString page = OnePage();
    const QString twoPages = page + page;
    Report("one-page plain text:         ", 1000, page, {});
    Report("two pages + 2 x 200 KB files:", 200, twoPages, attachments);
    return 0;
}

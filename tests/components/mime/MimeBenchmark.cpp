// Median time to compose a message, for two shapes of message. Not a test: prints figures.
#include "components/StandardComponents.h"
#include "components/automation/Automation.h"
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
#include <functional>
#include <vector>

using namespace velmora;

namespace {

double MedianMilliseconds(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QString OnePage() {
    QString text;
    for (int line = 0; line < 50; ++line) {
        text += QStringLiteral("Line %1 of a one-page message, with a few words to fill it up.\n")
                    .arg(line);
    }
    return text;
}

size_t Compose(const QString& body, const QStringList& attachments) {
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
    return size_t(composer->ComposeText(*message).size());
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
    size_t size = 0;
    const double plain = MedianMilliseconds(1000, [&] { size = Compose(page, {}); });
    std::printf("one-page plain text:          median %.3f ms (%zu characters)\n", plain, size);
    const double attached = MedianMilliseconds(200, [&] { size = Compose(twoPages, attachments); });
    std::printf("two pages + 2 x 200 KB files: median %.3f ms (%zu characters)\n", attached, size);
    return 0;
}

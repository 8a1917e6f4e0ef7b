// What the converter does with inputs and destinations that are out of the ordinary:
// refused outputs, writes that fail half way, same-named messages, names too long to
// store, shapes of message that would cost unbounded time.

#include "ArchivalCheck.h"
#include "PdfTools.h"
#include "components/mailconverter/MailConverter.h"
#include "components/mailconverter/MailReader.h"
#include "util/FileNames.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBoundaryFinder>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmora::mailconverter;
using velmora::mailconverter::testing::ArchivalProblems;
using velmora::mailconverter::testing::AssociatedFiles;

namespace {

QString CorpusPath(const QString& name) {
    return QStringLiteral(VELMORA_MAIL_CORPUS "/") + name;
}

using velmora::testing::ToolResult;
constexpr auto Run = [](const QString& program, const QStringList& args,
                        const std::function<void()>& inChild = {}) {
    return velmora::testing::RunTool(program, args, inChild);
};

QString PdfText(const QString& pdf) {
    return QString::fromUtf8(Run("pdftotext", {"-enc", "UTF-8", pdf, "-"}).out);
}

// pdfdetach writes a character beyond the BMP as its two UTF-16 halves, each in UTF-8
// form (CESU-8); the PDF itself holds proper UTF-16.
QString FromCesu8(const QByteArray& bytes) {
    QString out;
    QByteArray run;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const auto next = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (b == 0xED && next >= 0xA0 && i + 2 < bytes.size()) {
            out += QString::fromUtf8(run);
            run.clear();
            out += QChar(char16_t(0xD000 | ((next & 0x3F) << 6) | (bytes[i + 2] & 0x3F)));
            i += 2;
        } else {
            run += bytes[i];
        }
    }
    return out + QString::fromUtf8(run);
}

QStringList AttachmentNames(const QString& pdf) {
    QStringList names;
    const QStringList lines =
        FromCesu8(Run("pdfdetach", {"-enc", "UTF-8", "-list", pdf}).out).split('\n');
    static const QRegularExpression entry(QStringLiteral("^\\d+: (.*)$"));
    for (const QString& line : lines) {
        if (const auto m = entry.match(line); m.hasMatch()) {
            names << m.captured(1);
        }
    }
    return names;
}

// The embedded file called `name`, as pdfdetach gives it back.
QByteArray Detached(const QString& pdf, const QString& name) {
    QTemporaryDir out;
    Run("pdfdetach", {"-enc", "UTF-8", "-saveall", "-o", out.path(), pdf});
    QFile file(out.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<not embedded>");
}

QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray SimpleMessage(const QByteArray& marker) {
    return "From: a@example.com\r\nSubject: " + marker + "\r\n\r\nBody " + marker + "\r\n";
}

// RFC 2231 form of a UTF-8 file name, percent-encoded in one piece.
QByteArray ExtendedFileName(const QString& name) {
    return "filename*=utf-8''" + name.toUtf8().toPercentEncoding();
}

}  // namespace

class ConverterHardeningTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (const char* tool : {"pdftotext", "pdfdetach"}) {
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        }
    }

    void destination_notAFileOrTheInput_refusedAndNothingChanged_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo"
                                    << "not a regular file";
        QTest::newRow("the input itself") << "same"
                                          << "message itself";
        QTest::newRow("the input by another path") << "dotted"
                                                   << "message itself";
        QTest::newRow("a hard link to the input") << "hardlink"
                                                  << "message itself";
        QTest::newRow("a symbolic link to the input") << "symlink"
                                                      << "message itself";
    }

    void destination_notAFileOrTheInput_refusedAndNothingChanged() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString eml = dir.filePath("message.eml");
        const QByteArray message = SimpleMessage("KEEPME");
        QVERIFY(Write(eml, message));
        QString pdf = dir.filePath("out.pdf");
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(pdf).constData(), 0600), 0);
        } else if (kind == "same") {
            pdf = eml;
        } else if (kind == "dotted") {
            pdf = dir.path() + "/./message.eml";
        } else if (kind == "hardlink") {
            QCOMPARE(::link(QFile::encodeName(eml).constData(), QFile::encodeName(pdf).constData()),
                     0);
        } else if (kind == "symlink") {
            QVERIFY(QFile::link(eml, pdf));
        }
        const QStringList before = FilesIn(dir.path());

        MailConverter converter;
        try {
            converter.Convert(eml, pdf, "-c PDF");
            QFAIL("the conversion went ahead");
        } catch (const ConversionError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(reason), e.what());
        }
        const ToolResult tool = Run(VELMORA_EML2PDF, {eml, pdf});
        QCOMPARE(tool.exitCode, 1);
        QVERIFY2(QString::fromUtf8(tool.err).contains(reason), tool.err.constData());

        QCOMPARE(FilesIn(dir.path()), before);
        QCOMPARE(ReadAll(eml), message);
        if (kind == "fifo") {
            struct stat info {};
            QCOMPARE(::stat(QFile::encodeName(pdf).constData(), &info), 0);
            QVERIFY(S_ISFIFO(info.st_mode));
        }
    }

    void emptyInput_clearError_noPdf() {
        QTemporaryDir dir;
        const QString eml = dir.filePath("empty.eml");
        QVERIFY(Write(eml, {}));
        const QString pdf = dir.filePath("empty.pdf");
        QVERIFY(Write(pdf, "earlier document"));
        MailConverter converter;
        try {
            converter.Convert(eml, pdf, "-c PDF");
            QFAIL("an empty file was converted");
        } catch (const ConversionError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains("is empty"), e.what());
        }
        QVERIFY_THROWS_EXCEPTION(ConversionError, MailReader().ReadBytes({}));
        const ToolResult tool = Run(VELMORA_EML2PDF, {"-o", dir.path(), eml});
        QCOMPARE(tool.exitCode, 1);
        QVERIFY(tool.err.contains("is empty"));
        QCOMPARE(ReadAll(pdf), QByteArray("earlier document"));
        QCOMPARE(FilesIn(dir.path()), (QStringList{"empty.eml", "empty.pdf"}));
    }

    // A write that stops short (a file size limit, a full file system) is an error, and
    // neither a half-written PDF nor a lost earlier one stays behind.
    void shortWrite_errorAndNothingHalfWritten_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("file size limit") << "rlimit";
        QTest::newRow("full tmpfs") << "tmpfs";
    }

    void shortWrite_errorAndNothingHalfWritten() {
        QFETCH(QString, how);
        const QString eml = CorpusPath("scripts.eml");
        constexpr qint64 kRoom = 16 * 1024;  // the PDF of scripts.eml is about twice that
        if (how == "rlimit") {
            QTemporaryDir dir;
            const QString fresh = dir.filePath("new.pdf");
            const QString old = dir.filePath("old.pdf");
            QVERIFY(Write(old, "earlier document"));
            const auto limited = [] {
                const rlimit limit{kRoom, kRoom};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            };
            for (const QString& pdf : {fresh, old}) {
                const ToolResult r = Run(VELMORA_EML2PDF, {eml, pdf}, limited);
                QCOMPARE(r.exitCode, 1);
                QVERIFY2(r.err.contains("cannot be written: File too large"), r.err.constData());
            }
            QCOMPARE(FilesIn(dir.path()), QStringList{"old.pdf"});
            QCOMPARE(ReadAll(old), QByteArray("earlier document"));
            // Without the limit the same command succeeds: the limit was what failed it.
            QCOMPARE(Run(VELMORA_EML2PDF, {eml, fresh}).exitCode, 0);
            QVERIFY(QFileInfo(fresh).size() > kRoom);
            return;
        }
        // A tmpfs of our own, in a mount namespace of our own: no device of the machine.
        if (QStandardPaths::findExecutable("unshare").isEmpty() ||
            Run("unshare", {"-rm", "true"}).exitCode != 0) {
            QSKIP("no mount namespace can be made here; the file size limit row covers this");
        }
        QTemporaryDir dir;
        const QString script =
            QStringLiteral(
                "mount -t tmpfs -o size=%1 tmpfs \"$1\" || exit 90\n"
                "printf 'earlier document' > \"$1/old.pdf\"\n"
                "\"$2\" \"$3\" \"$1/old.pdf\"; echo \"old=$?\"\n"
                "\"$2\" \"$3\" \"$1/new.pdf\"; echo \"new=$?\"\n"
                "echo files=$(ls -A \"$1\"); echo \"kept=$(cat \"$1/old.pdf\")\"\n")
                .arg(kRoom);
        const ToolResult r =
            Run("unshare", {"-rm", "sh", "-c", script, "sh", dir.path(), VELMORA_EML2PDF, eml});
        if (r.exitCode == 90) {
            QSKIP("no tmpfs can be mounted here; the file size limit row covers this");
        }
        const QString out = QString::fromUtf8(r.out);
        QVERIFY2(out.contains("old=1\n") && out.contains("new=1\n"), qPrintable(out + r.err));
        QVERIFY2(out.contains("files=old.pdf\n"), qPrintable(out));
        QVERIFY2(out.contains("kept=earlier document\n"), qPrintable(out));
        QCOMPARE(r.err.count("cannot be written: No space left on device"), 2);
    }

    // -o DIR makes the folder, and never replaces a file silently: a name taken in the folder
    // or earlier in the run is numbered, unless --overwrite says to replace what was there.
    void outputFolder_madeAndNothingReplacedSilently_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("pdfThere");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("exitCode");
        // "file: what it holds", the marker of the message or "not ours".
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("same names in one run")
            << QStringList{} << "out" << false << 3 << 0
            << QStringList{"x (2).pdf: FROMB", "x (3).pdf: FROMC", "x.pdf: FROMA"};
        QTest::newRow("a PDF there before")
            << QStringList{} << "out" << true << 2 << 0
            << QStringList{"x (2).pdf: FROMA", "x (3).pdf: FROMB", "x.pdf: not ours"};
        QTest::newRow("--overwrite") << QStringList{"--overwrite"} << "out" << true << 2 << 0
                                     << QStringList{"x (2).pdf: FROMB", "x.pdf: FROMA"};
        QTest::newRow("missing folders made")
            << QStringList{} << "new/deeper" << false << 1 << 0 << QStringList{"x.pdf: FROMA"};
        QTest::newRow("a file where a folder should be")
            << QStringList{} << "file.txt/out" << false << 1 << 1 << QStringList{};
    }

    void outputFolder_madeAndNothingReplacedSilently() {
        QFETCH(QStringList, options);
        QFETCH(QString, folder);
        QFETCH(bool, pdfThere);
        QFETCH(int, messages);
        QFETCH(int, exitCode);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(Write(dir.filePath("file.txt"), "a file"));
        QStringList inputs;
        for (const char* from : {"a", "b", "c"}) {
            QVERIFY(QDir(dir.path()).mkpath(from));
            inputs << dir.filePath(QString::fromLatin1(from) + "/x.eml");
            QVERIFY(Write(inputs.back(), SimpleMessage("FROM" + QByteArray(from).toUpper())));
        }
        const QString out = dir.filePath(folder);
        if (pdfThere) {
            QVERIFY(QDir().mkpath(out));
            QVERIFY(Write(out + "/x.pdf", "not ours"));
        }
        const ToolResult r =
            Run(VELMORA_EML2PDF, options + QStringList{"-o", out} + inputs.mid(0, messages));
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode != 0) {
            QCOMPARE(r.err.count('\n'), 1);
            QVERIFY2(r.err.contains("Not a directory"), r.err.constData());
            return;
        }
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QStringList found;
        for (const QString& name : FilesIn(out)) {
            const QByteArray bytes = ReadAll(out + '/' + name);
            const QString text = bytes.startsWith("%PDF") ? PdfText(out + '/' + name) : bytes;
            const QRegularExpression marker(QStringLiteral("FROM[A-C]|not ours"));
            found << name + ": " + marker.match(text).captured();
            if (name != "x.pdf") {
                QVERIFY2(r.out.contains("written as " + name.toUtf8()), r.out.constData());
            }
        }
        QCOMPARE(found, expected);
    }

    // Standard error says what failed, one line a file, and nothing when all went well: the
    // libraries' own messages about damaged images stay out of it.
    void commandLine_standardErrorCarriesOnlyFailures_data() {
        QTest::addColumn<QByteArray>("message");  // empty: a file that is not there
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("errorLines");
        const auto image = [](const char* format) {
            QImage picture(40, 40, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, format);
            return buffer.data().left(buffer.data().size() / 2).toBase64();
        };
        const QByteArray head =
            "From: a@example.com\r\nSubject: pictures\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\n"
            "Content-Type: text/html\r\n\r\n<p>PICTURE <img src=\"cid:p\"></p>\r\n--b\r\n";
        const QByteArray png = head +
                               "Content-Type: image/png\r\nContent-ID: <p>\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\n" +
                               image("PNG") + "\r\n--b--\r\n";
        QTest::newRow("truncated PNG in HTML") << png << 0 << 0;
        QByteArray between = png;
        between.replace("multipart/related", "multipart/mixed");
        between.replace("Content-ID: <p>", "Content-Disposition: inline; filename=p.png");
        QTest::newRow("truncated PNG between parts") << between << 0 << 0;
        QByteArray jpeg = png;
        jpeg.replace(image("PNG"), image("JPEG"));
        jpeg.replace("image/png", "image/jpeg");
        QTest::newRow("truncated JPEG in HTML") << jpeg << 0 << 0;
        QTest::newRow("a file that is not there") << QByteArray() << 1 << 1;
    }

    void commandLine_standardErrorCarriesOnlyFailures() {
        QFETCH(QByteArray, message);
        QFETCH(int, exitCode);
        QFETCH(int, errorLines);
        QTemporaryDir dir;
        const QString eml = dir.filePath("m.eml");
        if (!message.isEmpty()) {
            QVERIFY(Write(eml, message));
        }
        const ToolResult r = Run(VELMORA_EML2PDF, {eml, dir.filePath("m.pdf")});
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.count('\n') == errorLines, r.err.constData());
        if (exitCode == 0) {
            QVERIFY(PdfText(dir.filePath("m.pdf")).contains("PICTURE"));
        }
    }

    void attachmentName_cappedAtCharacterBoundaryKeepingExtension_data() {
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("ext");
        QTest::newRow("10,000 ASCII characters") << QString(10'000, 'n') << ".pdf";
        QTest::newRow("two-byte letters") << QString(3'000, QChar(0xE9)) << ".txt";
        QTest::newRow("three-byte ideographs") << QString(2'000, QChar(0x6587)) << ".tar.gz";
        QTest::newRow("four-byte emoji") << QStringLiteral("\U0001F600").repeated(1'000) << ".png";
        QTest::newRow("letters with combining accents")
            << QStringLiteral("e\u0301").repeated(1'000) << ".docx";
        QTest::newRow("no extension") << QString(600, 'z') << "";
        QTest::newRow("dots inside, long last part")
            << QStringLiteral("v1.2 ") + QString(400, 'q') << "";
    }

    void attachmentName_cappedAtCharacterBoundaryKeepingExtension() {
        QFETCH(QString, stem);
        QFETCH(QString, ext);
        const QString name = stem + ext;
        const QString capped = velmora::filenames::CapName(name);
        QVERIFY(capped.toUtf8().size() <= velmora::filenames::kMaxNameBytes);
        QVERIFY(capped.endsWith(ext));
        const QString kept = capped.left(capped.size() - ext.size());
        QVERIFY(!kept.isEmpty());
        QVERIFY(stem.startsWith(kept));
        QVERIFY(QStringView(capped).isValidUtf16());
        // Cut at a grapheme boundary, and no earlier than it had to be.
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, stem);
        finder.setPosition(kept.size());
        QVERIFY(finder.isAtBoundary());
        const qsizetype next = finder.toNextBoundary();
        QVERIFY((stem.left(next) + ext).toUtf8().size() > velmora::filenames::kMaxNameBytes);

        // Two attachments of that name: both stored, distinct, within the bound, and the
        // complete name kept in the PDF.
        QByteArray parts;
        for (const char* body : {"FIRSTFILE", "SECONDFILE"}) {
            parts +=
                "--B\r\nContent-Type: application/octet-stream\r\n"
                "Content-Disposition: attachment; " +
                ExtendedFileName(name) + "\r\n\r\n" + body + "\r\n";
        }
        QTemporaryDir dir;
        const QString eml = dir.filePath("names.eml");
        QVERIFY(Write(eml,
                      "From: a@example.com\r\nSubject: names\r\nMIME-Version: 1.0\r\n"
                      "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n"
                      "Content-Type: text/plain\r\n\r\nNAMESBODY\r\n" +
                          parts + "--B--\r\n"));
        const QString pdf = dir.filePath("names.pdf");
        MailConverter().Convert(eml, pdf, "-c PDF");
        const QStringList names = AttachmentNames(pdf);
        QVERIFY2(names.contains(capped), qPrintable(names.join('\n')));
        QVERIFY(names.contains("long-names.txt"));
        QStringList stored = names;
        stored.removeAll("long-names.txt");
        stored.removeAll("names.eml");  // the message itself
        stored.removeDuplicates();
        QCOMPARE(stored.size(), 2);
        for (const QString& n : std::as_const(stored)) {
            QVERIFY2(n.toUtf8().size() <= velmora::filenames::kMaxNameBytes, qPrintable(n));
            QVERIFY(n.endsWith(ext));
        }
        QVERIFY(QString::fromUtf8(Detached(pdf, "long-names.txt")).contains(name));
        QVERIFY(PdfText(pdf).contains("long-names.txt"));
    }

    // Shapes of message that once took a minute each: shown in bounded time, with a
    // notice, and what is not shown attached whole.
    void hostileShape_cappedAndTheRestAttachedWhole_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("file");     // where the rest goes
        QTest::addColumn<QByteArray>("last");  // what the rest must hold
#ifdef VELMORA_SANITIZED_BUILD
        constexpr int kPieces = 10'000;  // 100,000 takes minutes under AddressSanitizer
#else
        constexpr int kPieces = 100'000;
#endif
        QByteArray pieces;
        for (int i = 0; i < kPieces; ++i) {
            pieces += ";\r\n filename*" + QByteArray::number(i) + "=\"p" +
                      QByteArray::number(i).rightJustified(6, '0') + "\"";
        }
        QTest::newRow("many RFC 2231 name pieces")
            << "From: a@example.com\r\nSubject: pieces\r\nMIME-Version: 1.0\r\n"
               "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n"
               "Content-Type: text/plain\r\n\r\nBODY\r\n--B\r\n"
               "Content-Type: application/octet-stream\r\nContent-Disposition: attachment" +
                   pieces + "\r\n\r\nDATA\r\n--B--\r\n"
            << "long-names.txt"
            << "p" + QByteArray::number(kPieces - 1).rightJustified(6, '0');
        QByteArray parts;
        for (int i = 0; i < kPieces; ++i) {
            parts +=
                "--B\r\nContent-Type: text/plain\r\n\r\npart " + QByteArray::number(i) + "\r\n";
        }
        QTest::newRow("many MIME parts")
            << "From: a@example.com\r\nSubject: parts\r\nMIME-Version: 1.0\r\n"
               "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n" +
                   parts + "--B--\r\n"
            << "more-parts-1.eml"
            << "part " + QByteArray::number(kPieces - 1);
        QByteArray header;
        for (const char* field : {"From", "To", "Cc", "Bcc", "Subject"}) {
            header +=
                QByteArray(field) + ": " + QByteArray(1'000'000, 'h') + "END" + field + "\r\n";
        }
        QTest::newRow("five fields of a million characters")
            << header + "\r\nBODY\r\n"
            << "message-header.txt" << QByteArray("ENDSubject");
    }

    void hostileShape_cappedAndTheRestAttachedWhole() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, file);
        QFETCH(QByteArray, last);
        QTemporaryDir dir;
        const QString eml = dir.filePath("shape.eml");
        QVERIFY(Write(eml, bytes));
        const QString pdf = dir.filePath("shape.pdf");
        QElapsedTimer clock;
        clock.start();
        MailConverter().Convert(eml, pdf, "-c PDF");
        // The time is for people to read; a timed assertion would fail on a busy machine.
        qInfo("converted in %lld ms", static_cast<long long>(clock.elapsed()));
        QVERIFY2(PdfText(pdf).contains(file), qPrintable(file + " not named on the page"));
        QVERIFY(Detached(pdf, file).contains(last));
        QVERIFY(Detached(pdf, "shape.eml") == bytes);  // the message itself, whole
        const QStringList problems = ArchivalProblems(pdf);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // The reader's budgets, each at a small size: exactly so much is shown, the rest is
    // attached whole and the page says so.
    void readerBudget_showsSoMuch_attachesTheRest_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("maxParts");
        QTest::addColumn<int>("maxMessages");
        QTest::addColumn<int>("shown");  // text parts and attached messages shown
        QTest::addColumn<int>("rest");   // parts in the file of the rest
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QByteArray>("last");
        const auto message = [](const char* type, const QByteArray& parts) {
            return "From: a@example.com\r\nSubject: budget\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/" +
                   QByteArray(type) + "; boundary=\"B\"\r\n\r\n" + parts + "--B--\r\n";
        };
        QByteArray texts;
        QByteArray messages;
        QByteArray files;
        for (int i = 0; i < 50; ++i) {
            const QByteArray n = QByteArray::number(i);
            texts += "--B\r\nContent-Type: text/plain\r\n\r\ntext " + n + "\r\n";
            messages +=
                "--B\r\nContent-Type: message/rfc822\r\n\r\nFrom: m@example.com\r\n"
                "Subject: inner\r\n\r\ninner " +
                n + "\r\n";
            files += "--B\r\nContent-Type: application/octet-stream\r\n\r\nfile " + n + "\r\n";
        }
        // The multipart itself is a part: nine of its children fit in ten.
        QTest::newRow("parts") << message("mixed", texts) << 10 << 100 << 9 << 41
                               << "more than 10 parts; the last 41 parts" << QByteArray("text 49");
        QTest::newRow("attached messages")
            << message("mixed", messages) << 1000 << 3 << 3 << 47
            << "more than 3 attached messages; the last 47 parts" << QByteArray("inner 49");
        QTest::newRow("alternative with files")
            << message("alternative", "--B\r\nContent-Type: text/plain\r\n\r\ntext 0\r\n" + files)
            << 10 << 100 << 1 << 42 << "more than 10 parts; the last 42 parts"
            << QByteArray("file 49");
    }

    void readerBudget_showsSoMuch_attachesTheRest() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, maxParts);
        QFETCH(int, maxMessages);
        QFETCH(int, shown);
        QFETCH(int, rest);
        QFETCH(QString, notice);
        QFETCH(QByteArray, last);
        ReaderLimits limits;
        limits.maxParts = maxParts;
        limits.maxMessages = maxMessages;
        const MailContent mail = MailReader(limits).ReadBytes(bytes);
        QCOMPARE(mail.body.size() + mail.attachedMessages.size(), size_t(shown));
        QVERIFY2(mail.notices.join('\n').contains(notice), qPrintable(mail.notices.join('\n')));
        const MailAttachment& file = mail.attachments.back();
        QCOMPARE(file.name, QStringLiteral("more-parts-1.eml"));
        // The rest is a message of its own that holds every part not shown.
        const MailContent parts = MailReader().ReadBytes(file.data);
        QCOMPARE(parts.body.size() + parts.attachedMessages.size() + parts.attachments.size(),
                 size_t(rest));
        QVERIFY(file.data.contains(last));
    }

    void readerBudget_headerFieldsTogether() {
        ReaderLimits limits;
        limits.maxFieldChars = 100;
        limits.maxHeaderChars = 150;
        QByteArray bytes = "From: " + QByteArray(120, 'f') +
                           "@example.com\r\nTo: " + QByteArray(120, 't') +
                           "@example.com\r\nCc: c@example.com\r\n" +
                           "Subject: " + QByteArray(120, 's') + "\r\n\r\nBODY\r\n";
        const MailContent mail = MailReader(limits).ReadBytes(bytes);
        qsizetype addresses = 0;
        QString subject;
        for (const auto& field : mail.fields) {
            if (field.label == "Subject") {
                subject = field.value;
            } else if (field.label != "Date") {
                addresses += field.value.size();
            }
        }
        // Each cut field ends in an ellipsis, one character over its share.
        QVERIFY2(addresses <= limits.maxHeaderChars + 3, qPrintable(QString::number(addresses)));
        QCOMPARE(subject, QString(100, 's') + QChar(0x2026));  // its own budget, not the rest
        QVERIFY(mail.notices.join('\n').contains("The Cc field has 13 characters; the first 0"));
        QVERIFY(mail.notices.join('\n').contains("The To field has"));
        QCOMPARE(mail.attachments.size(), size_t(1));
        QCOMPARE(mail.attachments[0].name, QStringLiteral("message-header.txt"));
        QVERIFY(mail.attachments[0].data.contains(QByteArray(120, 't')));
    }

    void archival_everyCorpusMessage_checkPasses_sourceComesBackWhole_data() {
        QTest::addColumn<QString>("file");
        const QStringList corpus =
            QDir(QStringLiteral(VELMORA_MAIL_CORPUS)).entryList({"*.eml"}, QDir::Files, QDir::Name);
        QVERIFY(corpus.size() >= 5);
        for (const QString& name : corpus) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }

    void archival_everyCorpusMessage_checkPasses_sourceComesBackWhole() {
        QFETCH(QString, file);
        const QString pdf = m_dir.filePath(QFileInfo(file).completeBaseName() + ".pdf");
        MailConverter().Convert(CorpusPath(file), pdf, "-c PDF");
        const QStringList problems = ArchivalProblems(pdf);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        const QMap<QString, QString> files = AssociatedFiles(pdf);
        const QStringList sources = files.keys(QStringLiteral("Source"));
        QCOMPARE(sources.size(), 1);
        QVERIFY(sources[0].endsWith(".eml"));
        for (const QString& other : files.keys()) {
            QVERIFY(other == sources[0] || files[other] == QLatin1String("Unspecified"));
        }
        QCOMPARE(Detached(pdf, sources[0]), ReadAll(CorpusPath(file)));
    }

    // The check finds each defect it claims to look for in a document it passes otherwise.
    void archivalCheck_findsEachDefect_data() {
        QTest::addColumn<QString>("defect");
        QTest::addColumn<QString>("expected");
        QTest::newRow("encrypted") << "encrypted"
                                   << "encrypted";
        QTest::newRow("JavaScript") << "javascript"
                                    << "JavaScript";
        QTest::newRow("additional actions") << "aa"
                                            << "/AA";
        QTest::newRow("link not printed") << "annot"
                                          << "not printed";
        QTest::newRow("LZW stream") << "lzw"
                                    << "LZW";
        QTest::newRow("no output intent") << "intent"
                                          << "no output intent";
        QTest::newRow("conformance B") << "conformance"
                                       << "conformance U";
        QTest::newRow("information differs from XMP") << "info"
                                                      << "XMP dc:creator";
        QTest::newRow("CMYK colour") << "cmyk"
                                     << "CMYK colour (k/K)";
        QTest::newRow("font without ToUnicode") << "tounicode"
                                                << "without a ToUnicode";
        QTest::newRow("glyphs outside the Unicode map") << "unmapped"
                                                        << "map to no Unicode";
        QTest::newRow("embedded-file entry without /UF") << "uf"
                                                         << "has no /UF";
        QTest::newRow("embedded-file entry without relationship") << "relationship"
                                                                  << "has no /AFRelationship";
        QTest::newRow("embedded-file entry outside /AF") << "af"
                                                         << "not listed in an /AF";
        QTest::newRow("embedded file without MIME type") << "subtype"
                                                         << "MIME type";
    }

    void archivalCheck_findsEachDefect() {
        QFETCH(QString, defect);
        QFETCH(QString, expected);
        const QString good = m_dir.filePath("good.pdf");
        if (!QFile::exists(good)) {
            MailConverter().Convert(CorpusPath("scripts.eml"), good, "-c PDF");
        }
        QVERIFY(ArchivalProblems(good).isEmpty());
        QPDF pdf;
        pdf.processFile(good.toLocal8Bit().constData());
        QPDFObjectHandle root = pdf.getRoot();
        QPDFObjectHandle firstSpec = root.getKey("/AF").getArrayItem(0);
        if (defect == "javascript") {
            QPDFObjectHandle action = QPDFObjectHandle::newDictionary();
            action.replaceKey("/S", QPDFObjectHandle::newName("/JavaScript"));
            action.replaceKey("/JS", QPDFObjectHandle::newString("app.alert(1)"));
            root.replaceKey("/OpenAction", action);
        } else if (defect == "aa") {
            QPDFObjectHandle page = pdf.getAllPages().at(0);
            page.replaceKey("/AA", QPDFObjectHandle::newDictionary());
        } else if (defect == "annot") {
            QPDFObjectHandle link = QPDFObjectHandle::newDictionary();
            link.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
            link.replaceKey("/Subtype", QPDFObjectHandle::newName("/Link"));
            link.replaceKey("/Rect", QPDFObjectHandle::parse("[0 0 10 10]"));
            QPDFObjectHandle annots = QPDFObjectHandle::newArray();
            annots.appendItem(pdf.makeIndirectObject(link));
            QPDFObjectHandle page = pdf.getAllPages().at(0);
            page.replaceKey("/Annots", annots);
        } else if (defect == "lzw") {
            QPDFObjectHandle stream = pdf.newStream();
            stream.replaceStreamData(std::string("\x80\x0b\x60\x50\x22\x0c\x0c\x85\x01"),
                                     QPDFObjectHandle::newName("/LZWDecode"),
                                     QPDFObjectHandle::newNull());
            root.replaceKey("/PieceInfo", stream);
        } else if (defect == "intent") {
            root.removeKey("/OutputIntents");
        } else if (defect == "conformance") {
            QPDFObjectHandle metadata = root.getKey("/Metadata");
            const std::shared_ptr<Buffer> data = metadata.getStreamData(qpdf_dl_all);
            std::string xmp(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            const auto at = xmp.find("<pdfaid:conformance>U");
            QVERIFY(at != std::string::npos);
            xmp[at + 20] = 'B';
            metadata.replaceStreamData(xmp, QPDFObjectHandle::newNull(),
                                       QPDFObjectHandle::newNull());
        } else if (defect == "info") {
            QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
            info.replaceKey("/Author", QPDFObjectHandle::newUnicodeString("Someone Else"));
        } else if (defect == "cmyk") {
            QPDFPageObjectHelper(pdf.getAllPages().at(0))
                .addPageContents(pdf.newStream(std::string("0 0 0 1 k\n")), false);
        } else if (defect == "tounicode") {
            for (QPDFObjectHandle object : pdf.getAllObjects()) {
                if (object.isDictionary() && object.hasKey("/ToUnicode")) {
                    object.removeKey("/ToUnicode");
                }
            }
        } else if (defect == "unmapped") {
            // Only the code for .notdef mapped: every glyph shown loses its character.
            for (QPDFObjectHandle object : pdf.getAllObjects()) {
                if (object.isDictionary() && object.getKey("/ToUnicode").isStream()) {
                    object.getKey("/ToUnicode")
                        .replaceStreamData(
                            "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                            "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
                            "1 beginbfchar <0000> <0000> endbfchar\n"
                            "endcmap CMapName currentdict /CMap defineresource pop end end\n",
                            QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
                }
            }
        } else if (defect == "uf") {
            firstSpec.removeKey("/UF");
        } else if (defect == "relationship") {
            firstSpec.removeKey("/AFRelationship");
        } else if (defect == "af") {
            QPDFObjectHandle rest = QPDFObjectHandle::newArray();
            for (int i = 1; i < root.getKey("/AF").getArrayNItems(); ++i) {
                rest.appendItem(root.getKey("/AF").getArrayItem(i));
            }
            root.replaceKey("/AF", rest);
        } else if (defect == "subtype") {
            firstSpec.getKey("/EF").getKey("/F").getDict().removeKey("/Subtype");
        }
        const QString bad = m_dir.filePath("bad-" + defect + ".pdf");
        const QByteArray badName = bad.toLocal8Bit();  // the writer keeps the pointer
        QPDFWriter writer(pdf, badName.constData());
        writer.setDecodeLevel(qpdf_dl_none);  // else qpdf recodes the LZW stream
        writer.setCompressStreams(false);
        if (defect == "encrypted") {
            writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true,
                                             qpdf_r3p_full, true);
        }
        writer.write();
        const QStringList problems = ArchivalProblems(bad);
        QVERIFY2(problems.join('\n').contains(expected), qPrintable(problems.join('\n')));
    }
};

QTEST_MAIN(ConverterHardeningTest)
#include "ConverterHardeningTest.moc"

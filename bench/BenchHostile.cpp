// Figures, not a test: the time and peak memory of velmora-eml2pdf on hostile shapes of
// mail, each converted in a process of its own, and what it wrote on standard error.
//   build/bench/bench_hostile [NAME...]
// Shapes that once took gigabytes or never ended; each runs with a 6 GB address-space limit
// and a 600 s timeout, so a regression shows as a failure here rather than a dead machine.
// VELMORA_EML2PDF=/path/to/velmora-eml2pdf measures another build of the tool.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

QByteArray Html(const QByteArray& html) {
    return "From: a@example.com\r\nSubject: hostile\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/html; charset=utf-8\r\n\r\n" +
           html + "\r\n";
}

QByteArray Repeat(const QByteArray& piece, int times) {
    return piece.repeated(times);
}

struct Shape {
    const char* name;
    std::function<QByteArray()> make;
};

std::vector<Shape> Shapes() {
    return {
        {"colspan 10,000,000",
         [] { return Html("<table><tr><td colspan=10000000>a</td></tr><tr><td>b</td></tr>"); }},
        {"heading colspan 1,000,000",
         [] { return Html("<table><tr><th colspan=1000000>H</th></tr><tr><td>a<td>b</table>"); }},
        {"selector of 5,000 child combinators",
         [] {
             return Html("<style>td" + Repeat(" > a", 5000) +
                         " { color: red }</style><table><tr><td><a>x</a></td></tr></table>");
         }},
        {"2,000 rules for every element, 40,000 elements",
         [] {
             return Html("<style>" + Repeat("* {color:red}\n", 2000) + "</style>" +
                         Repeat("<b>x</b>", 40000));
         }},
        {"5,000 custom properties for every element",
         [] {
             QByteArray properties;
             for (int i = 0; i < 5000; ++i) {
                 properties += "--p" + QByteArray::number(i) + ": v;";
             }
             return Html("<style>* {" + properties + "}</style>" + Repeat("<b>x</b>", 40000));
         }},
        {"var() naming itself",
         [] { return Html("<div style=\"--a: var(--a); color: var(--a)\">x</div>"); }},
        {"var() doubling 40 times",
         [] {
             QByteArray declarations = "--v0: xxxxxxxx;";
             for (int i = 1; i < 40; ++i) {
                 const QByteArray before = "var(--v" + QByteArray::number(i - 1) + ")";
                 declarations += "--v" + QByteArray::number(i) + ": " + before + " " + before + ";";
             }
             return Html("<div style=\"" + declarations + "color: var(--v39)\">x</div>");
         }},
        {"first row of 5,000 cells over 1,000 rows",
         [] {
             return Html("<table><tr>" + Repeat("<td>x</td>", 5000) + "</tr>" +
                         Repeat("<tr><td>y</td></tr>", 1000) + "</table>");
         }},
        {"100,000 self-closed divs", [] { return Html(Repeat("<div/>", 100000) + "DEEP"); }},
        {"<!--> before 100,000 divs",
         [] { return Html("<!-->" + Repeat("<div>", 100000) + "DEEP<!-- -->"); }},
        {"formatting made again after 30,000 paragraphs",
         [] {
             QByteArray open = "<p>";
             for (int i = 0; i < 90; ++i) {
                 open += "<b a=" + QByteArray::number(i) + ">";
             }
             return Html(open + Repeat("</p><p>x</p>", 30000));
         }},
        {"three HTML parts of 1,000,000 characters",
         [] {
             QByteArray parts =
                 "From: a@example.com\r\nSubject: words\r\nMIME-Version: 1.0\r\n"
                 "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
             for (int i = 0; i < 3; ++i) {
                 parts +=
                     "--b\r\nContent-Type: text/html\r\n\r\n<p>" + Repeat("x ", 499000) + "\r\n";
             }
             return parts + "--b--\r\n";
         }},
        {"30-byte UTF-16 body of rare ideographs",
         [] {
             const char16_t body[] =
                 u"\u4CC0\uB181\uF2BA\u3B3E\uEEF9\uF7F5\u2B9F\u3449\u87AF"
                 u"\u52F5\u690B\u4BB9\u980D\u852E\u55BB";
             const QByteArray bytes(reinterpret_cast<const char*>(body), sizeof body - 2);
             return "From: a@example.com\r\nSubject: u16\r\nMIME-Version: 1.0\r\n"
                    "Content-Type: text/plain; charset=utf-16le\r\n"
                    "Content-Transfer-Encoding: base64\r\n\r\n" +
                    bytes.toBase64() + "\r\n";
         }},
    };
}

struct Outcome {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
    qint64 errorBytes = 0;
};

Outcome Convert(const QString& eml, const QString& pdf, const QString& errors) {
    const QByteArray tool = qEnvironmentVariableIsSet("VELMORA_EML2PDF")
                                ? qgetenv("VELMORA_EML2PDF")
                                : QByteArray(VELMORA_EML2PDF);
    const QByteArray in = QFile::encodeName(eml);
    const QByteArray out = QFile::encodeName(pdf);
    char* argv[] = {const_cast<char*>(tool.constData()), const_cast<char*>(in.constData()),
                    const_cast<char*>(out.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, QFile::encodeName(errors).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const rlimit space{6LL << 30, 6LL << 30};
    rlimit previous{};
    ::getrlimit(RLIMIT_AS, &previous);
    ::setrlimit(RLIMIT_AS, &space);  // inherited by the child only: set, spawn, put back
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv, environ);
    ::setrlimit(RLIMIT_AS, &previous);
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (spawned != 0) {
        return outcome;
    }
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, WNOHANG, &usage) == 0) {
        if (timer.elapsed() > 600'000) {
            ::kill(child, SIGKILL);
        }
        ::usleep(10'000);
    }
    outcome.seconds = timer.elapsed() / 1000.0;
    outcome.peakKb = usage.ru_maxrss;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    outcome.errorBytes = QFile(errors).size();
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList wanted;
    for (int i = 1; i < argc; ++i) {
        wanted << QString::fromLocal8Bit(argv[i]);
    }
    QTemporaryDir dir;
    std::printf("%-50s %9s %9s %5s %7s\n", "shape", "seconds", "peak MB", "exit", "stderr");
    for (const Shape& shape : Shapes()) {
        const QString name = QString::fromUtf8(shape.name);
        if (!wanted.isEmpty() && !wanted.contains(name)) {
            continue;
        }
        const QString eml = dir.filePath(QStringLiteral("hostile.eml"));
        QFile file(eml);
        if (!file.open(QIODevice::WriteOnly) || file.write(shape.make()) < 0) {
            return 1;
        }
        file.close();
        const Outcome o = Convert(eml, dir.filePath(QStringLiteral("hostile.pdf")),
                                  dir.filePath(QStringLiteral("errors.txt")));
        std::printf("%-50s %9.2f %9.1f %5d %7lld\n", shape.name, o.seconds, o.peakKb / 1024.0,
                    o.status, static_cast<long long>(o.errorBytes));
        std::fflush(stdout);
    }
    return 0;
}

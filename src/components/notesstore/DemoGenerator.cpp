#include "components/notesstore/DemoGenerator.h"

#include "components/notesstore/DemoFormatted.h"
#include "components/notesstore/MimeItems.h"
#include "components/notesstore/StoreWriter.h"
#include "util/Global.h"

#include <QTimeZone>

#include <array>

namespace velmora::notesstore {

using namespace velmora::notes;

namespace {

// The generated databases must come out the same on every machine and every run.
class Random {
  public:
    explicit Random(quint64 seed) : m_sequence(seed) {}
    int Below(int bound) {
        return static_cast<int>(m_sequence.Next() % static_cast<quint64>(bound));
    }

  private:
    Global::RandomSequence m_sequence;
};

struct Person {
    QString notesName;
    QString internet;  // empty: a Notes-only address, written as the "." placeholder
};

const Person kOwner{QStringLiteral("CN=Demo User/O=Quarnix"),
                    QStringLiteral("demo.user@quarnix.example")};

const std::array<Person, 9> kPeople{{
    {QStringLiteral("CN=Anna Berg/OU=Sales/O=Quarnix"),
     QStringLiteral("anna.berg@quarnix.example")},
    {QStringLiteral("CN=Jonas Keller/O=Quarnix"), QStringLiteral("jonas.keller@quarnix.example")},
    {QStringLiteral("CN=Marie Dubois/OU=Paris/O=Quarnix"),
     QStringLiteral("marie.dubois@quarnix.example")},
    {QStringLiteral("CN=Dmitri Volkov/O=Partner"), QStringLiteral("d.volkov@partner.example")},
    {QStringLiteral("CN=Eleni Papadopoulou/O=Partner"), QStringLiteral("eleni.p@partner.example")},
    {QStringLiteral("CN=Li Wei/O=Partner"), QStringLiteral("li.wei@partner.example")},
    {QStringLiteral("CN=Omar Haddad/O=Partner"), QStringLiteral("omar.haddad@partner.example")},
    {QStringLiteral("CN=Build Robot/OU=Servers/O=Quarnix"), QString()},
    {QStringLiteral("CN=Petra Novak/O=Quarnix"), QStringLiteral("petra.novak@quarnix.example")},
}};

enum PersonIndex { Anna, Jonas, Marie, Dmitri, Eleni, LiWei, Omar, Robot, Petra };

const Person& P(int index) {
    return kPeople[static_cast<std::size_t>(index)];
}

QDateTime At(int year, int month, int day, int hour, int minute, int offsetHours) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, 0),
                     QTimeZone(offsetHours * 3600));
}

struct Mail {
    Person from;
    std::vector<Person> to, cc, bcc;
    std::optional<QString> subject;
    std::optional<QDateTime> posted, delivered;
    QString body;
    bool richBody = true;
};

QString InternetOrPlaceholder(const Person& person) {
    return person.internet.isEmpty() ? QStringLiteral(".") : person.internet;
}

void AddAddresses(DocumentData& doc, const QString& notesItem, const QString& internetItem,
                  const std::vector<Person>& people) {
    if (people.empty()) {
        return;
    }
    QStringList names, internet;
    bool anyInternet = false;
    for (const Person& person : people) {
        names << person.notesName;
        internet << InternetOrPlaceholder(person);
        anyInternet = anyInternet || !person.internet.isEmpty();
    }
    doc.AddText(notesItem, names);
    if (anyInternet) {
        doc.AddText(internetItem, internet);
    }
}

// The items of a memo in the order a Notes mail file holds them.
DocumentData MakeMemo(const Mail& mail) {
    DocumentData doc;
    doc.AddText(QStringLiteral("Form"), {QStringLiteral("Memo")});
    doc.AddText(QStringLiteral("From"), {mail.from.notesName});
    doc.AddText(QStringLiteral("INetFrom"), {InternetOrPlaceholder(mail.from)});
    AddAddresses(doc, QStringLiteral("SendTo"), QStringLiteral("InetSendTo"), mail.to);
    AddAddresses(doc, QStringLiteral("CopyTo"), QStringLiteral("InetCopyTo"), mail.cc);
    AddAddresses(doc, QStringLiteral("BlindCopyTo"), QStringLiteral("InetBlindCopyTo"), mail.bcc);
    if (mail.subject) {
        doc.AddText(QStringLiteral("Subject"), {*mail.subject});
    }
    if (mail.posted) {
        doc.AddDate(QStringLiteral("PostedDate"), *mail.posted);
    }
    if (mail.delivered) {
        doc.AddDate(QStringLiteral("DeliveredDate"), *mail.delivered);
    }
    doc.Add(QStringLiteral("Body"), {mail.body}, mail.richBody ? kItemRichText : kItemText);
    return doc;
}

ItemData& Body(DocumentData& doc) {
    return *doc.Find(QStringLiteral("Body"));
}

// A memo whose Body is the MIME message, kept as Notes keeps MIME mail.
DocumentData MimeMemo(const Mail& mail, const QByteArray& message) {
    DocumentData doc = MakeMemo(mail);
    std::erase_if(doc.items, [](const ItemData& item) {
        return item.name.compare(QLatin1String("Body"), Qt::CaseInsensitive) == 0;
    });
    AddMimeBody(doc, message);
    return doc;
}

EmbeddedData Attachment(const QString& name, QByteArray data) {
    return EmbeddedData{kEmbedAttachment, name, std::move(data), {}};
}

QByteArray TextFile(const QString& text) {
    return text.toUtf8();
}

// Whole lines of sensor readings, at least the given number of bytes.
QByteArray CsvFile(int minimumBytes) {
    QByteArray csv = "time,sensor,celsius\n";
    csv.reserve(minimumBytes + 64);
    Random random(2011);
    QDateTime time(QDate(2011, 1, 1), QTime(0, 0), QTimeZone::utc());
    while (csv.size() < minimumBytes) {
        csv += time.toString(Qt::ISODate).toLatin1() + ",sensor-" +
               QByteArray::number(random.Below(12) + 1).rightJustified(2, '0') + "," +
               QByteArray::number(15 + random.Below(1500) / 100.0, 'f', 2) + "\n";
        time = time.addSecs(30);
    }
    return csv;
}

const QStringList kWords =
    QStringLiteral(
        "budget review offer contract shipment workshop migration invoice forecast schedule "
        "training meeting report figures proposal")
        .split(QLatin1Char(' '));

const QStringList kSentences{
    QStringLiteral("Thanks for the quick answer yesterday."),
    QStringLiteral("The quarterly figures show steady growth in every region."),
    QStringLiteral("The northern team reported a two-week delay in shipping."),
    QStringLiteral("Please review the attached draft before our meeting on Thursday."),
    QStringLiteral("Let me know whether the budget needs another round of changes."),
    QStringLiteral("We agreed to move the workshop to the second week of the month."),
    QStringLiteral("The customer asked for a revised offer including maintenance and training."),
    QStringLiteral("Could you send me the signed contract by Friday?"),
    QStringLiteral("I have updated the forecast with the latest numbers from finance."),
    QStringLiteral("The migration of the old servers is planned for the weekend."),
    QStringLiteral("Invoices for March are in the shared folder."),
    QStringLiteral("I will be out of the office on Monday, back on Tuesday morning."),
    QStringLiteral("The room for the planning session is booked from ten to twelve."),
    QStringLiteral("Our partners in Athens and Moscow confirmed the new schedule."),
    QStringLiteral("Please forward this to anyone who missed the call."),
    QStringLiteral("The test results look good; two minor issues remain open."),
};

QString Paragraphs(Random& random, int count) {
    QStringList paragraphs;
    for (int p = 0; p < count; ++p) {
        QStringList sentences;
        const int length = 2 + random.Below(3);
        for (int w = 0; w < length; ++w) {
            sentences << kSentences[random.Below(static_cast<int>(kSentences.size()))];
        }
        paragraphs << sentences.join(QLatin1Char(' '));
    }
    return QStringLiteral("Hello,\n\n") + paragraphs.join(QStringLiteral("\n\n")) +
           QStringLiteral("\n\nBest regards");
}

class DemoBuilder {
  public:
    explicit DemoBuilder(StoreWriter& writer) : m_writer(writer) {}

    std::int64_t View(const QString& name, bool isFolder = true) {
        return m_writer.AddView(name, isFolder);
    }
    std::int64_t Add(const DocumentData& doc, std::initializer_list<std::int64_t> views) {
        const std::int64_t id = m_writer.AddDocument(doc);
        for (std::int64_t view : views) {
            m_writer.File(view, id);
        }
        m_all.push_back(id);
        return id;
    }
    const std::vector<std::int64_t>& All() const { return m_all; }

  private:
    StoreWriter& m_writer;
    std::vector<std::int64_t> m_all;
};

Mail Incoming(const Person& from, QString subject, QDateTime posted, QString body) {
    Mail mail;
    mail.from = from;
    mail.to = {kOwner};
    mail.subject = std::move(subject);
    mail.posted = posted;
    mail.delivered = posted.addSecs(95);
    mail.body = std::move(body);
    return mail;
}

}  // namespace

void GenerateDemo(StoreWriter& writer) {
    writer.SetTitle(QStringLiteral("Demo Mail (Demo User)"));
    Random random(1);
    DemoBuilder demo(writer);

    // The order is deliberately not sorted: the program orders folders itself.
    const auto projects2010 = demo.View(QStringLiteral("Projects\\2010"));
    const auto inbox = demo.View(QStringLiteral("($Inbox)"));
    const auto newsletters = demo.View(QStringLiteral("Newsletters"));
    const auto customersA = demo.View(QStringLiteral("Customers"));
    const auto all = demo.View(QStringLiteral("($All)"), false);
    const auto drafts = demo.View(QStringLiteral("($Drafts)"), false);
    const auto receiptsUpper = demo.View(QStringLiteral("Receipts"));
    const auto sent = demo.View(QStringLiteral("($Sent)"), false);
    const auto projects = demo.View(QStringLiteral("Projects"));
    const auto followUp = demo.View(QStringLiteral("($Follow-Up)"));
    const auto archiveOld = demo.View(QStringLiteral("Archive\\Old"));
    const auto junk = demo.View(QStringLiteral("($JunkMail)"));
    const auto clients = demo.View(QStringLiteral("Clients/Europe: 2011"));
    const auto calendar = demo.View(QStringLiteral("($Calendar)"), false);
    const auto trash = demo.View(QStringLiteral("($Trash)"));
    const auto qa = demo.View(QStringLiteral("Q&A <draft>"));
    const auto meetings = demo.View(QStringLiteral("Meetings"), false);
    const auto userTrash = demo.View(QStringLiteral("Trash"));
    const auto receiptsLower = demo.View(QStringLiteral("receipts"));
    const auto empty = demo.View(QStringLiteral("Empty Folder"));
    const auto customersB = demo.View(QStringLiteral("Customers"));
    const auto bySender = demo.View(QStringLiteral("By Sender"), false);
    const auto projectsQ4 = demo.View(QStringLiteral("Projects\\2010\\Q4"));
    const auto hiddenFolder = demo.View(QStringLiteral("(Rules)"));
    Q_UNUSED(empty);
    Q_UNUSED(hiddenFolder);

    // Inbox.
    {
        Mail mail = Incoming(P(Anna), QStringLiteral("Quarterly figures for the northern region"),
                             At(2011, 3, 14, 9, 12, 1), Paragraphs(random, 3));
        mail.cc = {P(Jonas), P(Robot), P(Petra)};
        DocumentData doc = MakeMemo(mail);
        Body(doc).embedded.push_back(Attachment(QStringLiteral("figures-q1.pdf"),
                                                demo::PdfFile("Quarterly figures, Q1 2011")));
        demo.Add(doc, {inbox, projects, customersA, bySender});
    }
    demo.Add(
        MakeMemo(Incoming(P(Marie), QStringLiteral("Café crème – réunion à Zürich, déjà prévue"),
                          At(2011, 3, 15, 17, 45, 1),
                          QStringLiteral("Bonjour,\n\nLa réunion à Zürich est confirmée pour "
                                         "jeudi. Nous préparerons les pièces jointes.\n\n"
                                         "Amitiés,\nMarie"))),
        {inbox, clients, bySender});
    demo.Add(MakeMemo(Incoming(P(Dmitri), QStringLiteral("Отчёт о поставках за март"),
                               At(2011, 3, 16, 11, 3, 3),
                               QStringLiteral("Добрый день!\n\nОтчёт о поставках за март во "
                                              "вложении. Все партии доставлены вовремя.\n\n"
                                              "С уважением,\nДмитрий"))),
             {inbox, bySender});
    demo.Add(MakeMemo(Incoming(P(Eleni), QStringLiteral("Συνάντηση την Τρίτη στις 10:00"),
                               At(2011, 3, 17, 8, 30, 2),
                               QStringLiteral("Καλημέρα,\n\nΕπιβεβαιώνω τη συνάντηση της Τρίτης."
                                              "\n\nΕλένη"))),
             {inbox, followUp, bySender});
    demo.Add(MakeMemo(Incoming(P(LiWei), QStringLiteral("季度销售报告"), At(2011, 3, 18, 16, 20, 8),
                               QStringLiteral("您好，\n\n附上本季度的销售报告，请查收。\n\n李伟"))),
             {inbox, bySender});
    demo.Add(MakeMemo(Incoming(P(Omar), QStringLiteral("تقرير الاجتماع الأسبوعي"),
                               At(2011, 3, 19, 13, 5, 3),
                               QStringLiteral("مرحبا،\n\nمرفق تقرير الاجتماع الأسبوعي.\n\nعمر"))),
             {inbox, bySender});
    demo.Add(MakeMemo(Incoming(P(Jonas),
                               QStringLiteral("Re: Budget 2011/2012 — final? *draft* <v2> | A\\B: "
                                              "\"numbers\""),
                               At(2011, 3, 21, 10, 0, 1), Paragraphs(random, 2))),
             {inbox, qa, bySender});
    demo.Add(MakeMemo(Incoming(P(Petra), QStringLiteral("   Leading blanks before this subject  "),
                               At(2011, 3, 22, 7, 55, 1), Paragraphs(random, 1))),
             {inbox, bySender});
    {
        Mail mail = Incoming(P(Anna), QString(), At(2011, 3, 1, 0, 0, 0), Paragraphs(random, 1));
        mail.subject.reset();  // a memo sent without any subject, posted exactly at midnight UTC
        demo.Add(MakeMemo(mail), {inbox, bySender});
    }
    {
        Mail mail = Incoming(P(Marie), QStringLiteral("Photos, notes and the sensor export"),
                             At(2011, 3, 23, 14, 40, 1), Paragraphs(random, 2));
        DocumentData doc = MakeMemo(mail);
        Body(doc).embedded.push_back(Attachment(
            QStringLiteral("notes.txt"),
            TextFile(QStringLiteral("Notes from the site visit\n- meter 7 replaced\n- café "
                                    "closed on Mondays\n"))));
        Body(doc).embedded.push_back(
            Attachment(QStringLiteral("site-photo.png"), demo::PngFile(64, 48)));
        Body(doc).embedded.push_back(
            Attachment(QStringLiteral("measurements.csv"), CsvFile(kDemoLargeAttachmentBytes)));
        demo.Add(doc, {inbox, projects2010, bySender});
    }
    {
        Mail mail = Incoming(P(Marie), QStringLiteral("Re: Site visit"), At(2011, 3, 23, 9, 41, 1),
                             QString());
        demo.Add(MimeMemo(mail, demo::ReplyWithPictureMessage()), {inbox, projects2010, bySender});
    }
    {
        Mail mail = Incoming(P(Jonas), QStringLiteral("Project status, week 14 (formatted)"),
                             At(2011, 4, 8, 16, 5, 2), QString());
        mail.cc = {P(Anna), P(Robot)};
        DocumentData doc = MakeMemo(mail);
        const QString report = QStringLiteral("status-week14.txt");
        demo::SetRichBody(doc, demo::StatusReport(report));
        Body(doc).embedded.push_back(Attachment(
            report, TextFile(QStringLiteral("Status, week 14\nShipping on schedule.\n"))));
        demo.Add(doc, {inbox, projects, bySender});
    }
    {
        Mail mail = Incoming(P(Jonas), QStringLiteral("Two reports, same file name"),
                             At(2011, 3, 24, 12, 0, 1),
                             QStringLiteral("Both versions attached; they carry the same name."));
        DocumentData doc = MakeMemo(mail);
        Body(doc).embedded.push_back(Attachment(QStringLiteral("report.txt"),
                                                TextFile(QStringLiteral("Report, version A\n"))));
        Body(doc).embedded.push_back(Attachment(QStringLiteral("report.txt"),
                                                TextFile(QStringLiteral("Report, version B\n"))));
        demo.Add(doc, {inbox, projects2010, bySender});
    }
    {
        Mail mail = Incoming(P(Petra), QStringLiteral("Spreadsheet object and a link"),
                             At(2011, 3, 25, 15, 30, 1),
                             QStringLiteral("The budget table is embedded below, with a link to "
                                            "the original and the summary attached."));
        DocumentData doc = MakeMemo(mail);
        Body(doc).embedded.push_back(EmbeddedData{
            kEmbedObject, QStringLiteral("Budget Worksheet"), QByteArray(4096, '\x2a'), {}});
        Body(doc).embedded.push_back(Attachment(QStringLiteral("summary.txt"),
                                                TextFile(QStringLiteral("Budget summary\n"))));
        Body(doc).embedded.push_back(EmbeddedData{
            kEmbedObjectLink, QStringLiteral("Link to Budget 2011"), QByteArray(), {}});
        demo.Add(doc, {inbox, projectsQ4, bySender});
    }
    {
        Mail mail = Incoming(P(Anna), QStringLiteral("Plain body with a separate appendix"),
                             At(2011, 3, 26, 9, 15, 1),
                             QStringLiteral("This memo's body is plain text, not rich text."));
        mail.richBody = false;
        DocumentData doc = MakeMemo(mail);
        ItemData& appendix = doc.Add(QStringLiteral("Appendix"),
                                     {QStringLiteral("See the attached file.")}, kItemRichText);
        appendix.embedded.push_back(Attachment(QStringLiteral("appendix.txt"),
                                               TextFile(QStringLiteral("Appendix text\n"))));
        demo.Add(doc, {inbox, archiveOld, bySender});
    }
    {
        Mail mail =
            Incoming(P(Robot), QStringLiteral("Nightly build finished"), At(2011, 3, 27, 3, 2, 1),
                     QStringLiteral("Build 2011.03.27 finished without errors."));
        DocumentData doc = MakeMemo(mail);
        doc.Add(QStringLiteral("BuildNumber"), {2011.0327}, kItemNumber);
        doc.Add(QStringLiteral("Importance"), {1.0}, kItemNumber);
        demo.Add(doc, {inbox, followUp, archiveOld});
    }
    {
        Mail mail = Incoming(P(Jonas), QStringLiteral("Workshop: many recipients"),
                             At(2011, 3, 28, 10, 30, 1), Paragraphs(random, 2));
        mail.to = {kOwner, P(Robot), P(Marie)};
        mail.cc = {P(Dmitri), P(Robot), P(Eleni)};
        mail.bcc = {P(Robot), P(LiWei)};
        demo.Add(MakeMemo(mail), {inbox, projects, customersB, bySender});
    }

    // Sent.
    const std::array<std::pair<int, const char*>, 6> sentMail{{
        {Anna, "Re: Quarterly figures for the northern region"},
        {Marie, "Re: Café crème – réunion à Zürich"},
        {Dmitri, "Спасибо за отчёт"},
        {Omar, "Agenda for the weekly meeting"},
        {Robot, "Please restart the nightly build"},
        {Petra, "Receipts for March"},
    }};
    for (std::size_t i = 0; i < sentMail.size(); ++i) {
        Mail mail;
        mail.from = kOwner;
        mail.to = {P(sentMail[i].first)};
        if (i == 3) {
            mail.to.push_back(P(Robot));  // InetSendTo ends with a "." placeholder
            mail.bcc = {P(Anna)};
        }
        if (i == 4) {
            mail.cc = {P(Jonas)};
        }
        mail.subject = QString::fromUtf8(sentMail[i].second);
        mail.posted = At(2011, 4, 1 + static_cast<int>(i), 11, 10, 1);
        mail.body = Paragraphs(random, 1);
        DocumentData doc = MakeMemo(mail);
        if (i == 5) {
            Body(doc).embedded.push_back(
                Attachment(QStringLiteral("receipt-0311.pdf"), demo::PdfFile("Receipt 0311")));
            demo.Add(doc, {sent, receiptsUpper});
        } else if (i == 2) {
            demo.Add(doc, {sent, receiptsLower});
        } else {
            demo.Add(doc, {sent});
        }
    }

    // Drafts: never posted; $Revisions holds every save.
    for (int i = 0; i < 3; ++i) {
        Mail mail;
        mail.from = kOwner;
        if (i != 2) {
            mail.to = {P(i == 0 ? Eleni : Jonas)};
        }
        mail.subject = i == 0 ? QStringLiteral("Draft: answer to Eleni")
                              : (i == 1 ? QStringLiteral("Draft: travel plan")
                                        : QStringLiteral("Draft without recipients"));
        mail.body = Paragraphs(random, 1);
        DocumentData doc = MakeMemo(mail);
        NotesValues revisions;
        for (int r = 0; r <= i; ++r) {
            revisions.emplace_back(At(2011, 4, 10 + i, 9 + r, 5 * r, 1));
        }
        doc.Add(QStringLiteral("$Revisions"), revisions, kItemDateTime);
        doc.created = std::get<QDateTime>(revisions.front());
        demo.Add(doc, {drafts});
    }

    // Junk: delivered, and the sender's claimed posting time is not to be trusted.
    for (int i = 0; i < 3; ++i) {
        Mail mail;
        mail.from = Person{QStringLiteral("Prize Department <winner%1@lottery.example>").arg(i),
                           QStringLiteral("winner%1@lottery.example").arg(i)};
        mail.to = {kOwner};
        mail.subject = QStringLiteral("You have won %1 000 000!!!").arg(i + 1);
        if (i != 1) {
            mail.posted = At(2001, 1, 1, 0, 0, 0);
        }
        mail.delivered = At(2011, 4, 20 + i, 23, 59, 1);
        mail.body = QStringLiteral("Click here to claim your prize.");
        demo.Add(MakeMemo(mail), {junk});
    }

    // Trash: deleted mail that still has its Internet addresses.
    for (int i = 0; i < 3; ++i) {
        Mail mail = Incoming(P(i), QStringLiteral("Old thread %1").arg(i + 1),
                             At(2010, 12, 1 + i, 16, 0, 1), Paragraphs(random, 1));
        mail.to = {kOwner, P(Petra)};
        demo.Add(MakeMemo(mail), {trash});
    }

    // User folders.
    for (int i = 0; i < 2; ++i) {
        Mail mail = Incoming(P(Dmitri), QStringLiteral("Contract %1 for 2010").arg(i + 1),
                             At(2010, 6, 10 + i, 10, 0, 3), Paragraphs(random, 2));
        demo.Add(MakeMemo(mail), {projects2010, customersA});
    }
    demo.Add(MakeMemo(Incoming(P(Jonas), QStringLiteral("Kick-off notes"), At(2010, 1, 5, 9, 0, 1),
                               Paragraphs(random, 2))),
             {projects});
    demo.Add(MakeMemo(Incoming(P(Anna), QStringLiteral("Old archive entry"),
                               At(2009, 11, 30, 18, 0, 1), Paragraphs(random, 1))),
             {archiveOld});
    demo.Add(MakeMemo(Incoming(P(Omar), QStringLiteral("Open questions & answers"),
                               At(2011, 2, 2, 13, 0, 3), Paragraphs(random, 1))),
             {qa});
    demo.Add(MakeMemo(Incoming(P(Petra), QStringLiteral("A message kept in a folder named Trash"),
                               At(2011, 2, 3, 8, 0, 1), Paragraphs(random, 1))),
             {userTrash});
    demo.Add(MakeMemo(Incoming(P(Petra), QStringLiteral("Receipt 0211"), At(2011, 2, 28, 17, 0, 1),
                               Paragraphs(random, 1))),
             {receiptsUpper});
    demo.Add(MakeMemo(Incoming(P(Marie), QStringLiteral("Planning session"),
                               At(2011, 4, 4, 15, 0, 2), Paragraphs(random, 1))),
             {meetings, calendar});
    {
        Mail mail;
        mail.from = Person{QStringLiteral("Quarnix Weekly <weekly@news.example>"),
                           QStringLiteral("weekly@news.example")};
        mail.to = {kOwner};
        mail.subject = QStringLiteral("Quarnix Weekly: spring special (HTML)");
        mail.posted = At(2011, 4, 4, 6, 0, 0);
        mail.delivered = mail.posted->addSecs(60);
        demo.Add(MimeMemo(mail, demo::NewsletterMessage()), {newsletters, inbox});
    }
    {
        Mail mail;
        mail.from = Person{QStringLiteral("M\u00fcller & S\u00f6hne <billing@mueller.example>"),
                           QStringLiteral("billing@mueller.example")};
        mail.to = {kOwner};
        mail.subject = QStringLiteral("Invoice 2011-0411");
        mail.posted = At(2011, 4, 11, 8, 30, 2);
        demo.Add(MimeMemo(mail, demo::InvoiceMessage(demo::PdfFile("Invoice 2011-0411"))),
                 {receiptsUpper});
    }
    for (int i = 1; i <= 40; ++i) {
        Mail mail;
        mail.from = Person{QStringLiteral("Quarnix Weekly <weekly@news.example>"),
                           QStringLiteral("weekly@news.example")};
        mail.to = {kOwner};
        mail.subject = QStringLiteral("Quarnix Weekly #%1").arg(i);
        mail.posted = At(2010, 1, 4, 6, 0, 0).addDays(7 * (i - 1));
        mail.delivered = mail.posted->addSecs(60);
        mail.body = Paragraphs(random, 2);
        demo.Add(MakeMemo(mail), {newsletters});
    }

    for (std::int64_t id : demo.All()) {
        writer.File(all, id);
    }
}

void GenerateScaled(StoreWriter& writer, int messages, ScaledMix mix) {
    writer.SetTitle(QStringLiteral("Generated Mail (%1 messages)").arg(messages));
    Random random(static_cast<quint64>(messages) * 7919 + 17);
    const std::array<std::int64_t, 6> standard{
        writer.AddView(QStringLiteral("($Inbox)"), true),
        writer.AddView(QStringLiteral("($Drafts)"), false),
        writer.AddView(QStringLiteral("($Sent)"), false),
        writer.AddView(QStringLiteral("($Follow-Up)"), true),
        writer.AddView(QStringLiteral("($JunkMail)"), true),
        writer.AddView(QStringLiteral("($Trash)"), true),
    };
    const std::int64_t all = writer.AddView(QStringLiteral("($All)"), false);
    const int folderCount = std::max(1, messages / 100);
    std::vector<std::int64_t> folders;
    folders.reserve(static_cast<std::size_t>(folderCount));
    for (int f = 0; f < folderCount; ++f) {
        // Every tenth folder is an area; the nine after it are its teams.
        const int area = f / 10 + 1;
        const QString name = f % 10 == 0
                                 ? QStringLiteral("Area %1").arg(area, 3, 10, QLatin1Char('0'))
                                 : QStringLiteral("Area %1\\Team %2")
                                       .arg(area, 3, 10, QLatin1Char('0'))
                                       .arg(f, 4, 10, QLatin1Char('0'));
        folders.push_back(writer.AddView(name, true));
    }
    const QDateTime start(QDate(2008, 1, 1), QTime(8, 0), QTimeZone(3600));
    for (int i = 0; i < messages; ++i) {
        Mail mail;
        const int slot = i % 100;
        const bool isSent = slot >= 20 && slot < 25;
        const bool isDraft = slot == 25;
        mail.from = isSent || isDraft ? kOwner : P(random.Below(static_cast<int>(kPeople.size())));
        mail.to = {isSent || isDraft ? P(random.Below(static_cast<int>(kPeople.size()))) : kOwner};
        if (random.Below(4) == 0) {
            mail.cc = {P(random.Below(static_cast<int>(kPeople.size())))};
        }
        mail.subject = QStringLiteral("Message %1: ").arg(i + 1) +
                       kWords[random.Below(static_cast<int>(kWords.size()))] + QLatin1Char(' ') +
                       kWords[random.Below(static_cast<int>(kWords.size()))];
        if (!isDraft) {
            mail.posted = start.addSecs(static_cast<qint64>(i) * 600);
        }
        mail.body = Paragraphs(random, 1 + random.Below(3));
        const int kind = mix == ScaledMix::Formatted ? i % 3 : 0;
        DocumentData doc =
            kind == 1 ? MimeMemo(mail, demo::ShortHtmlMessage(i + 1)) : MakeMemo(mail);
        if (kind == 2) {
            demo::SetRichBody(doc, demo::ShortFormattedMemo(i + 1));
        }
        if (isDraft) {
            doc.Add(QStringLiteral("$Revisions"), {start.addSecs(static_cast<qint64>(i) * 600)},
                    kItemDateTime);
        }
        if (i % 50 == 7 && kind != 1) {
            Body(doc).embedded.push_back(
                Attachment(QStringLiteral("attachment-%1.txt").arg(i + 1),
                           QByteArray(2048 + random.Below(2048), static_cast<char>('a' + i % 26))));
        }
        const std::int64_t id = writer.AddDocument(doc);
        writer.File(all, id);
        if (slot < 20) {
            writer.File(standard[0], id);
        } else if (isSent) {
            writer.File(standard[2], id);
        } else if (isDraft) {
            writer.File(standard[1], id);
        } else if (slot == 26) {
            writer.File(standard[4], id);
        } else if (slot == 27) {
            writer.File(standard[5], id);
        } else {
            writer.File(folders[static_cast<std::size_t>(i / 100 % folderCount)], id);
            if (slot == 28) {
                writer.File(standard[3], id);
            }
        }
    }
}

}  // namespace velmora::notesstore

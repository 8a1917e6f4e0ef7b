#include "NsfTestSupport.h"

#include "components/nsf/Attachments.h"
#include "components/nsf/Huffman.h"
#include "components/nsf/Mime.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>

using namespace velmora::nsf;
using velmora::notes::NotesError;
using velmora::notes::NotesValues;

namespace {

TEST(nsf_Values, ListsNumbersRangesAndDamage) {
    const std::vector<std::uint8_t> list = {2, 0, 3, 0, 2, 0, 'A', 'n', 'n', 'B', 'o'};
    const NotesValues names = DecodeValues(kTypeTextList, list);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(std::get<QString>(names[0]), QStringLiteral("Ann"));
    EXPECT_EQ(std::get<QString>(names[1]), QStringLiteral("Bo"));

    std::vector<std::uint8_t> number(8);
    const double pi = 3.25;
    std::memcpy(number.data(), &pi, 8);
    EXPECT_EQ(std::get<double>(DecodeValues(kTypeNumber, number).at(0)), 3.25);

    // A range of one list entry and one pair: three numbers.
    std::vector<std::uint8_t> range = {1, 0, 1, 0};
    for (double d : {1.0, 2.0, 4.0}) {
        const auto at = range.size();
        range.resize(at + 8);
        std::memcpy(range.data() + at, &d, 8);
    }
    const NotesValues numbers = DecodeValues(kTypeNumberRange, range);
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(std::get<double>(numbers[2]), 4.0);

    // Bytes that are no exact list read as text (a name's type can differ between notes).
    const std::vector<std::uint8_t> title = {'(', '$', 'I', 'n', 'b', 'o', 'x', ')'};
    EXPECT_EQ(std::get<QString>(DecodeValues(kTypeTextList, title).at(0)),
              QStringLiteral("($Inbox)"));
    EXPECT_THROW(DecodeValues(kTypeTime, std::vector<std::uint8_t>{1, 2, 3}), NotesError);
    range.pop_back();
    EXPECT_THROW(DecodeValues(kTypeNumberRange, range), NotesError);
}

TEST(nsf_Values, RichTextParagraphsAndLineBreaks) {
    std::vector<std::uint8_t> r;
    const auto text = [&](const std::string& s) {
        const std::size_t length = 8 + s.size();
        r.insert(r.end(), {0x85, 0xFF, static_cast<std::uint8_t>(length), 0, 1, 0, 0, 0x0A});
        r.insert(r.end(), s.begin(), s.end());
        if (length & 1) {
            r.push_back('j');  // padding carries no meaning
        }
    };
    text("First");
    r.insert(r.end(), {0x81, 0x02});
    text(std::string("Second\0line", 11));
    r.insert(r.end(), {0x81, 0x02});
    text("Third");
    EXPECT_TRUE(LooksLikeRichText(r));
    EXPECT_EQ(RichTextToPlain(r), QStringLiteral("First\nSecond\nline\nThird"));
    const std::vector<std::uint8_t> words = {'p', 'l', 'a', 'i', 'n'};
    EXPECT_FALSE(LooksLikeRichText(words));
    // A value of no known type gives no values, whatever it looks like.
    EXPECT_TRUE(DecodeValues(0, r).empty());
    // A record claiming more than there is ends the text, not the program.
    r.insert(r.end(), {0x85, 0xFF, 0xF0, 0x00});
    EXPECT_EQ(RichTextToPlain(r), QStringLiteral("First\nSecond\nline\nThird"));
}

NoteRecord Document(const NsfDatabase& db, std::uint32_t id) {
    const NoteRecord* note = db.FindNote(id);
    EXPECT_NE(note, nullptr) << id;
    return note != nullptr ? *note : NoteRecord{};
}

const NoteItem* Find(const std::vector<NoteItem>& items, const char* name) {
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&](const NoteItem& i) { return i.name == QLatin1String(name); });
    return it == items.end() ? nullptr : &*it;
}

// What readmail-hfinn.txt shows for the one memo.
TEST(nsf_Samples, HfinnMemoItemsAsTheMailSampleShowsThem) {
    const auto db = NsfDatabase::Open(velmora::nsf::test::Sample("hfinn.nsf"));
    const auto items = db->Items(Document(*db, 0x20FA));
    const auto text = [&](const char* name) {
        const NoteItem* item = Find(items, name);
        EXPECT_NE(item, nullptr) << name;
        return item ? DecodeValues(item->type, item->value) : NotesValues{};
    };
    EXPECT_EQ(std::get<QString>(text("From").at(0)), QStringLiteral("Martin Cox"));
    EXPECT_EQ(std::get<QString>(text("SendTo").at(0)), QStringLiteral("Charles Connell"));
    const NotesValues copies = text("CopyTo");
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(std::get<QString>(copies[0]), QStringLiteral("Donna Amaral"));
    EXPECT_EQ(std::get<QString>(copies[1]), QStringLiteral("Mark Yuska"));
    EXPECT_EQ(std::get<QString>(copies[2]), QStringLiteral("Mark Wallace"));
    EXPECT_EQ(std::get<QString>(text("Subject").at(0)),
              QStringLiteral("Re: APISUPP.NSF Stub attached"));
    const QDateTime posted = std::get<QDateTime>(text("PostedDate").at(0));
    EXPECT_EQ(posted.date(), QDate(1992, 4, 12));
    EXPECT_EQ(posted.time().toString(QStringLiteral("HH:mm:ss")), QStringLiteral("16:31:17"));
    EXPECT_EQ(posted.offsetFromUtc(), -4 * 3600);
    // The stored text says "Notev API" where the sample's readme says "Notes API".
    const QString body = std::get<QString>(text("Body").at(0));
    EXPECT_TRUE(body.startsWith(QStringLiteral("Attached please find the replica stub o")))
        << body.toStdString();
    EXPECT_TRUE(body.endsWith(QStringLiteral("database (APISUPP.NSF).")));
    const NoteItem* file = Find(items, "$FILE");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->type, kTypeObject);
}

// The lines rrich-richtext.txt shows for note 0x212A.
TEST(nsf_Samples, RichtextNoteGivesItsLines) {
    const auto db = NsfDatabase::Open(velmora::nsf::test::Sample("richtext.nsf"));
    const auto items = db->Items(Document(*db, 0x212A));
    const NoteItem* rich = Find(items, "rich_text");
    ASSERT_NE(rich, nullptr);
    const QStringList lines =
        std::get<QString>(DecodeValues(rich->type, rich->value).at(0)).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 7) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("This is some rich text."));
    EXPECT_EQ(lines[1], QStringLiteral("This is a centered paragraph"));
    // The readme's third line names the API differently from what the file holds.
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("It will be used  to demonstrate  the ")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("CompoundText Routines.")));
    EXPECT_EQ(lines[3], QString());
    EXPECT_EQ(
        lines[4],
        QStringLiteral("These lines use font faces that require a font table (a $Fonts item)."));
    EXPECT_EQ(lines[5], QStringLiteral("1234 asdfjkl;"));
    EXPECT_EQ(lines[6], QStringLiteral("(MS Sans Serf, Symbol, and System)"));
}

const char* TypingName(Typing typing) {
    switch (typing) {
        case Typing::kName:
            return "the name's type, bare value";
        case Typing::kOwnWord:
            return "own type word, differing from the name's";
        case Typing::kOwnWordSame:
            return "own type word, the same as the name's";
        case Typing::kOwnWordUntyped:
            return "own type word, name without type";
        case Typing::kPlaceholder:
            return "placeholder, no value";
        case Typing::kUnknown:
            return "no type anywhere";
    }
    return "";
}

// Every item of every readable note has a name and a type its value fits; the way each
// was typed is counted (the README gives the counts). Only msearch.nsf holds notes that
// cannot be read, damaged in the file itself.
TEST(nsf_Samples, EveryItemIsNamedAndTyped) {
    std::map<Typing, int> counts;
    std::map<std::pair<Typing, bool>, int> byFlag;  // with the default-type flag or not
    std::map<std::string, int> refused;
    std::set<QString> inexactLists;
    int inexact = 0;
    int notes = 0;
    for (const char* file : velmora::nsf::test::AllSamples()) {
        SCOPED_TRACE(file);
        const auto db = NsfDatabase::Open(velmora::nsf::test::Sample(file));
        for (const NoteRecord& note : db->Notes()) {
            std::vector<NoteItem> items;
            try {
                items = db->Items(note);
            } catch (const NotesError& e) {
                EXPECT_TRUE(e.Message().contains(QLatin1String("is damaged: note"))) << e.what();
                ++refused[file];
                continue;
            }
            ++notes;
            for (const NoteItem& item : items) {
                ++counts[item.typing];
                ++byFlag[{item.typing, (item.flags & kItemDefaultType) != 0}];
                EXPECT_FALSE(item.name.startsWith(QLatin1Char('#'))) << item.name.toStdString();
                EXPECT_NE(item.typing, Typing::kUnknown) << item.name.toStdString();
                if (item.typing == Typing::kPlaceholder) {
                    EXPECT_TRUE(item.value.empty());
                    continue;
                }
                EXPECT_TRUE(IsKnownType(item.type)) << item.name.toStdString() << " " << item.type;
                // Lists and numbers hold exactly what their type holds, but for a few name
                // lists whose count or length word carries a stray byte in the file itself.
                if (item.type == kTypeTextList && !IsExactList(item.value)) {
                    EXPECT_EQ(item.typing, Typing::kName);
                    inexactLists.insert(item.name);
                    ++inexact;
                } else if (item.type == kTypeNumber || item.type == kTypeTime) {
                    EXPECT_EQ(item.value.size(), 8u) << item.name.toStdString();
                }
            }
        }
    }
    EXPECT_EQ(refused, (std::map<std::string, int>{{"msearch.nsf", 4}}));
    EXPECT_EQ(inexactLists,
              (std::set<QString>{QStringLiteral("$UpdatedBy"), QStringLiteral("$FIELDS"),
                                 QStringLiteral("$Fields")}));
    for (const Typing typing :
         {Typing::kName, Typing::kOwnWord, Typing::kOwnWordSame, Typing::kPlaceholder}) {
        EXPECT_GT(counts[typing], 0) << TypingName(typing);
    }
    std::printf("  %d notes read, %d name lists with a stray byte\n", notes, inexact);
    for (const auto& [typing, count] : counts) {
        std::printf("  %-45s %6d  (%d of them with the default-type flag)\n", TypingName(typing),
                    count, byFlag[{typing, true}]);
    }
}

// findKeyEx4.nsf's 69 documents, each with every field of its form and of its type.
TEST(nsf_Samples, FindKeyDocumentsHaveTheirFields) {
    const auto db = NsfDatabase::Open(velmora::nsf::test::Sample("findKeyEx4.nsf"));
    const std::vector<std::pair<const char*, std::uint16_t>> fields = {
        {"Form", kTypeText},      {"plain_text", kTypeText},    {"number", kTypeNumber},
        {"time_date", kTypeTime}, {"text_list", kTypeTextList}, {"categories", kTypeText},
    };
    int documents = 0;
    for (const NoteRecord& note : db->Notes()) {
        if (!note.IsDocument()) {
            continue;
        }
        ++documents;
        const auto items = db->Items(note);
        for (const auto& [name, type] : fields) {
            const NoteItem* item = Find(items, name);
            ASSERT_NE(item, nullptr) << name << " in " << note.id;
            EXPECT_EQ(item->type, type) << name << " in " << note.id;
            const NotesValues values = DecodeValues(item->type, item->value);
            ASSERT_FALSE(values.empty()) << name;
        }
        EXPECT_EQ(std::get<QString>(DecodeValues(kTypeText, Find(items, "Form")->value).at(0)),
                  QStringLiteral("SimpleDataForm"));
    }
    EXPECT_EQ(documents, 69);
}

struct FileRow {
    const char* file;
    std::uint32_t note;
    const char* name;
    std::uint32_t size;
    int embedType;
    bool extracted;  // decoded here, Huffman checksum and size agreeing
};

// Attached files with their sizes; OLE objects and their storage parts are told apart
// from attachments by their host type.
TEST(nsf_Samples, AttachmentsAndObjects) {
    const std::vector<FileRow> rows = {
        {"attachment.nsf", 0x902, "tms.log", 10948, 1454, true},
        {"hfinn.nsf", 0x20FA, "APISUPP.NSF", 32768, 1454, true},
        {"ftsearch.nsf", 0x211A, "totinv.wk3", 941, 1454, true},
        {"MIMEMsg.nsf", 0x8FE, "sampleBMP.bmp", 296406, 1454, true},
        {"MIMEMsg.nsf", 0x8FE, "Sample.jpg", 9894, 1454, true},
        {"notesflo.nsf", 0x21DA, "STG52458", 8192, 1453, false},
        {"notesflo.nsf", 0x21DA, "EXT05951", 72, 1453, false},
        {"discuss.nsf", 0x13E, "OLE44130.OLE", 2838, 1453, false},
    };
    for (const FileRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto db = NsfDatabase::Open(velmora::nsf::test::Sample(row.file));
        std::optional<FileObject> found;
        for (const NoteItem& item : db->Items(Document(*db, row.note))) {
            if (item.name == QLatin1String("$FILE")) {
                if (auto file = ParseFileObject(item.value); file && file->name == row.name) {
                    found = file;
                }
            }
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->size, row.size);
        EXPECT_EQ(EmbedType(*found), row.embedType);
        if (row.extracted) {
            EXPECT_EQ(FileBytes(*db, *found).size(), static_cast<qsizetype>(row.size));
        }
    }
}
}  // namespace

namespace {

// A tree of 256 nodes: node 0 = (-1, 'a'), node 1 = ('b', 256 end); the rest unused leaves.
// The tree's size in bytes: 1024 (256 nodes) or as small as its two nodes need.
std::vector<std::uint8_t> HuffmanData(const std::vector<bool>& codes, std::uint32_t checksum,
                                      int treeBytes = 1024) {
    std::vector<std::uint8_t> d(6 + static_cast<std::size_t>(treeBytes), 0);
    const auto put16 = [&](std::size_t at, int v) {
        d[at] = static_cast<std::uint8_t>(v & 0xFF);
        d[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    };
    d[0] = static_cast<std::uint8_t>(checksum);
    d[1] = static_cast<std::uint8_t>(checksum >> 8);
    put16(4, treeBytes);
    put16(6, -1);
    put16(8, 'a');
    put16(10, 'b');
    put16(12, 256);
    std::uint8_t byte = 0;
    int used = 0;
    for (bool bit : codes) {
        byte = static_cast<std::uint8_t>(byte | (bit ? 0x80 >> used : 0));
        if (++used == 8) {
            d.push_back(byte);
            byte = 0;
            used = 0;
        }
    }
    if (used > 0) {
        d.push_back(byte);
    }
    return d;
}

TEST(nsf_Huffman, DecodesChecksAndRefuses) {
    // 'a' is 0, 'b' is 1 1, the end 1 0: "aba" then the end.
    const std::vector<bool> codes = {false, true, true, false, true, false};
    const std::uint32_t sum = 'a' + 'b' + 'a';
    QString why;
    for (const int tree : {1024, 8}) {
        const auto out = HuffmanDecode(HuffmanData(codes, sum, tree), 100, &why);
        ASSERT_TRUE(out.has_value()) << why.toStdString();
        EXPECT_EQ(std::string(out->begin(), out->end()), "aba");
    }
    // A node pointing past a small tree, and a tree size that is no whole number of nodes.
    auto beyond = HuffmanData(codes, sum, 8);
    beyond[6] = 0xFE;  // node 0's first entry: -2, one node too far
    EXPECT_FALSE(HuffmanDecode(beyond, 100, &why).has_value());
    EXPECT_TRUE(why.contains(QStringLiteral("tree")));
    EXPECT_FALSE(HuffmanDecode(HuffmanData(codes, sum, 10), 100, &why).has_value());

    EXPECT_FALSE(HuffmanDecode(HuffmanData(codes, sum + 1), 100, &why).has_value());
    EXPECT_TRUE(why.contains(QStringLiteral("checksum")));
    EXPECT_FALSE(HuffmanDecode(HuffmanData(codes, sum), 2, &why).has_value());
    EXPECT_FALSE(HuffmanDecode(HuffmanData({false, false}, 0), 100, &why).has_value());
    EXPECT_TRUE(why.contains(QStringLiteral("end mark")));
    // A node pointing at itself must not loop.
    auto looping = HuffmanData(codes, sum);
    looping[10] = 0xFF;  // node 1's first entry: -1, itself
    looping[11] = 0xFF;
    EXPECT_FALSE(HuffmanDecode(looping, 100, &why).has_value());
    auto damaged = HuffmanData(codes, sum);
    damaged[7] = 0x7F;  // an entry far beyond any symbol
    EXPECT_FALSE(HuffmanDecode(damaged, 100, &why).has_value());
    EXPECT_TRUE(why.contains(QStringLiteral("tree")));
}

}  // namespace

namespace {

// One MIME_PART value: its 20-byte header, then boundary, headers and body.
std::vector<std::uint8_t> MimePartValue(std::uint8_t partType, const std::string& boundary,
                                        const std::string& headers, const std::string& body) {
    const std::string data = boundary + headers + body;
    // Sized whole up front: GCC 12 at -O3 misreads a growing insert after the header as
    // writing out of bounds.
    std::vector<std::uint8_t> v(20 + data.size(), 0);
    v[0] = 2;  // version
    v[2] = boundary.empty() ? 0x02 : 0x03;
    v[6] = partType;
    v[8] = static_cast<std::uint8_t>(data.size());
    v[9] = static_cast<std::uint8_t>(data.size() >> 8);
    v[10] = static_cast<std::uint8_t>(boundary.size());
    v[12] = static_cast<std::uint8_t>(headers.size());
    std::copy(data.begin(), data.end(), v.begin() + 20);
    return v;
}

}  // namespace

// A multipart message split over its parts reassembles byte for byte, and its plain-text
// part reads with its transfer encoding and charset undone.
TEST(nsf_Mime, PartsReassembleAndGiveThePlainText) {
    const std::string top =
        "MIME-Version: 1.0\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"=_b1\"\r\n\r\n";
    const std::string plainHead =
        "Content-Type: text/plain; charset=ISO-8859-1\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    const std::string htmlHead = "Content-Type: text/html; charset=UTF-8\r\n\r\n";
    const std::vector<std::vector<std::uint8_t>> values = {
        MimePartValue(1, "", top, "This is a multipart message.\r\n"),
        MimePartValue(2, "--=_b1\r\n", plainHead, "Gr=FC=DFe aus M=FCnchen,=\r\n zweite\r\n"),
        MimePartValue(2, "\r\n--=_b1\r\n", htmlHead,
                      "<p>Gr\xc3\xbc\xc3\x9f"
                      "e</p>\r\n"),
        MimePartValue(3, "\r\n--=_b1--\r\n", "", ""),
    };
    std::vector<MimePart> parts;
    std::string whole;
    for (const auto& v : values) {
        const auto part = ParseMimePart(v);
        ASSERT_TRUE(part.has_value());
        parts.push_back(*part);
        whole.append(v.begin() + 20, v.end());
    }
    EXPECT_EQ(parts[1].partType, 2);
    EXPECT_EQ(parts[1].boundary, QByteArray("--=_b1\r\n"));
    const QByteArray message = AssembleMime(parts);
    EXPECT_EQ(message.toStdString(), whole);
    EXPECT_EQ(MimePlainText(message),
              QString::fromUtf8("Gr\u00fc\u00dfe aus M\u00fcnchen, zweite\n"));

    // Without a plain part the first text part of another kind is the text, HTML made
    // readable; base64 undone.
    const QByteArray htmlOnly =
        "Content-Type: text/html; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        QByteArray("<b>Hall\xc3\xb6</b>&amp;<br>you").toBase64() + "\r\n";
    EXPECT_EQ(MimePlainText(htmlOnly), QString::fromUtf8("Hall\u00f6&\nyou"));
    const QByteArray enrichedOnly = "Content-Type: text/enriched\r\n\r\n<bold>as is</bold>\r\n";
    EXPECT_EQ(MimePlainText(enrichedOnly), QStringLiteral("<bold>as is</bold>\n"));
    // An attachment's text is not the message's text.
    const QByteArray attachedOnly =
        "Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\nContent-Type: text/plain\r\n"
        "Content-Disposition: attachment; filename=a.txt\r\n\r\nnot the body\r\n--x--\r\n";
    EXPECT_TRUE(MimePlainText(attachedOnly).isEmpty());

    // A multipart's count covers its nested parts, kept in items of their own: its own
    // body is what its value holds, never more.
    auto container = values[1];
    container[9] = 0x05;
    const auto part = ParseMimePart(container);
    ASSERT_TRUE(part.has_value());
    EXPECT_EQ(part->body, parts[1].body);
    auto crossed = values[1];
    crossed[12] = 0xF0;  // boundary + headers longer than the part
    EXPECT_FALSE(ParseMimePart(crossed).has_value());
    EXPECT_FALSE(ParseMimePart(std::span<const std::uint8_t>(values[0].data(), 19)).has_value());
}

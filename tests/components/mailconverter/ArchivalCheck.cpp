#include "ArchivalCheck.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <QtEndian>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace velmora::mailconverter::testing {

namespace {

struct Output {
    int exitCode = -1;
    QByteArray out;
};

Output Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            process.readAll()};
}

QString Text(QPDFObjectHandle object) {
    return object.isString() ? QString::fromStdString(object.getUTF8Value()) : QString();
}

QByteArray StreamData(QPDFObjectHandle stream) {
    const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_all);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()),
                      static_cast<qsizetype>(data->getSize()));
}

bool HasName(QPDFObjectHandle object, const char* name) {
    if (object.isName()) {
        return object.getName() == name;
    }
    if (object.isArray()) {
        for (QPDFObjectHandle item : object.getArrayAsVector()) {
            if (item.isName() && item.getName() == name) {
                return true;
            }
        }
    }
    return false;
}

// Calls `visit` for every dictionary of the document, direct ones inside arrays and
// dictionaries included.
void ForEachDictionary(QPDF& pdf, const std::function<void(QPDFObjectHandle)>& visit) {
    std::function<void(QPDFObjectHandle, bool)> walk = [&](QPDFObjectHandle object, bool top) {
        if (!top && object.isIndirect()) {
            return;  // visited as an object of its own
        }
        if (object.isStream()) {
            walk(object.getDict(), false);
            return;
        }
        if (object.isDictionary()) {
            visit(object);
            for (auto& [key, value] : object.getDictAsMap()) {
                walk(value, false);
            }
        } else if (object.isArray()) {
            for (QPDFObjectHandle item : object.getArrayAsVector()) {
                walk(item, false);
            }
        }
    };
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        walk(object, true);
    }
    walk(pdf.getTrailer(), true);
}

void CheckStructure(const QString& path, QStringList& problems) {
    const Output check = Run(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    if (check.exitCode != 0) {
        problems << QStringLiteral("qpdf --check (exit %1): %2")
                        .arg(check.exitCode)
                        .arg(QString::fromUtf8(check.out).simplified());
    }
}

void CheckFonts(const QString& path, QStringList& problems) {
    const Output fonts = Run(QStringLiteral("pdffonts"), {path});
    if (fonts.exitCode != 0) {
        problems << QStringLiteral("pdffonts failed: ") + QString::fromUtf8(fonts.out).simplified();
        return;
    }
    // Columns from the right: emb sub uni object ID.
    const QStringList lines = QString::fromUtf8(fonts.out).split('\n', Qt::SkipEmptyParts).mid(2);
    for (const QString& line : lines) {
        const QStringList columns = line.split(' ', Qt::SkipEmptyParts);
        if (columns.size() < 6) {
            problems << QStringLiteral("pdffonts line not understood: ") + line;
        } else if (columns[columns.size() - 5] != QLatin1String("yes")) {
            problems << QStringLiteral("font not embedded: ") + line.simplified();
        } else if (columns[columns.size() - 3] != QLatin1String("yes")) {
            problems << QStringLiteral("font without a ToUnicode map: ") + line.simplified();
        }
    }
}

// The text of an XMP property, in element form, the first item of an rdf:Alt or rdf:Seq.
std::optional<QString> XmpProperty(const QString& xmp, QLatin1String name) {
    const QRegularExpression element(
        QStringLiteral("<%1(\\s[^>]*)?>(.*?)</%1>").arg(QRegularExpression::escape(name)),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = element.match(xmp);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    QString text = m.captured(2);
    static const QRegularExpression item(QStringLiteral("<rdf:li(\\s[^>]*)?>(.*?)</rdf:li>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    if (const QRegularExpressionMatch li = item.match(text); li.hasMatch()) {
        text = li.captured(2);
    } else if (text.contains(QLatin1String("<rdf:li"))) {
        text.clear();  // an empty item, <rdf:li/>
    }
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

// "D:YYYYMMDDHHmmSS+HH'mm'" and its shorter forms.
QDateTime PdfDate(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^D:(\\d{4})(\\d\\d)?(\\d\\d)?(\\d\\d)?(\\d\\d)?(\\d\\d)?(?:([Zz])|([+-])("
                       "\\d\\d)'?(\\d\\d)?'?)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) {
        return {};
    }
    const auto part = [&m](int i, int fallback) {
        return m.captured(i).isEmpty() ? fallback : m.captured(i).toInt();
    };
    const QDate date(part(1, 0), part(2, 1), part(3, 1));
    const QTime time(part(4, 0), part(5, 0), part(6, 0));
    int offset = 0;
    if (!m.captured(8).isEmpty()) {
        offset = (part(9, 0) * 3600 + part(10, 0) * 60) * (m.captured(8) == "-" ? -1 : 1);
    }
    return QDateTime(date, time, QTimeZone(offset));
}

void CheckMetadata(QPDF& pdf, QStringList& problems) {
    QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
    if (!metadata.isStream()) {
        problems << QStringLiteral("no XMP metadata stream");
        return;
    }
    if (metadata.getDict().hasKey("/Filter")) {
        problems << QStringLiteral("XMP metadata stream is filtered");
    }
    const QString xmp = QString::fromUtf8(StreamData(metadata));
    static const QRegularExpression part(
        QStringLiteral("pdfaid:part(>\\s*|=\\s*[\"'])3\\s*[<\"']"));
    static const QRegularExpression conformance(
        QStringLiteral("pdfaid:conformance(>\\s*|=\\s*[\"'])U\\s*[<\"']"));
    if (!part.match(xmp).hasMatch()) {
        problems << QStringLiteral("XMP does not identify PDF/A part 3");
    }
    if (!conformance.match(xmp).hasMatch()) {
        problems << QStringLiteral("XMP does not identify conformance U");
    }
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    if (!info.isDictionary()) {
        return;
    }
    // Each entry of the document information has its XMP twin, with the same value.
    const struct {
        const char* key;
        const char* property;
        bool date;
    } twins[] = {{"/Title", "dc:title", false},
                 {"/Author", "dc:creator", false},
                 {"/Creator", "xmp:CreatorTool", false},
                 {"/Producer", "pdf:Producer", false},
                 {"/CreationDate", "xmp:CreateDate", true},
                 {"/ModDate", "xmp:ModifyDate", true}};
    for (const auto& twin : twins) {
        if (!info.hasKey(twin.key)) {
            continue;
        }
        const QString value = Text(info.getKey(twin.key));
        const std::optional<QString> property = XmpProperty(xmp, QLatin1String(twin.property));
        const bool same = property && (twin.date ? PdfDate(value).isValid() &&
                                                       PdfDate(value) == QDateTime::fromString(
                                                                             *property, Qt::ISODate)
                                                 : value == *property);
        if (!same) {
            problems << QStringLiteral("XMP %1 \"%2\" differs from %3 \"%4\"")
                            .arg(QLatin1String(twin.property), property.value_or("(absent)"),
                                 QLatin1String(twin.key), value);
        }
    }
}

void CheckOutputIntent(QPDF& pdf, QStringList& problems) {
    QPDFObjectHandle intents = pdf.getRoot().getKey("/OutputIntents");
    if (!intents.isArray() || intents.getArrayNItems() == 0) {
        problems << QStringLiteral("no output intent");
        return;
    }
    std::set<QPDFObjGen> profiles;
    for (QPDFObjectHandle intent : intents.getArrayAsVector()) {
        if (!intent.isDictionary() || !HasName(intent.getKey("/S"), "/GTS_PDFA1")) {
            problems << QStringLiteral("output intent is not of kind /GTS_PDFA1");
            continue;
        }
        QPDFObjectHandle profile = intent.getKey("/DestOutputProfile");
        if (!profile.isStream()) {
            problems << QStringLiteral("output intent without a profile");
            continue;
        }
        profiles.insert(profile.getObjGen());
        const QByteArray icc = StreamData(profile);
        const bool rgb = icc.size() >= 132 && icc.mid(36, 4) == "acsp" &&
                         icc.mid(16, 4) == "RGB " &&
                         qFromBigEndian<quint32>(icc.constData()) == quint32(icc.size());
        QPDFObjectHandle n = profile.getDict().getKey("/N");
        if (!rgb || !n.isInteger() || n.getIntValue() != 3) {
            problems << QStringLiteral("output intent profile is not an RGB ICC profile");
        }
    }
    if (profiles.size() > 1) {
        problems << QStringLiteral("output intents with different profiles");
    }
}

void CheckObjects(QPDF& pdf, QStringList& problems) {
    if (pdf.isEncrypted() || pdf.getTrailer().hasKey("/Encrypt")) {
        problems << QStringLiteral("document is encrypted");
    }
    std::set<QPDFObjGen> associated;  // embedded-file entries listed in some /AF
    std::vector<QPDFObjectHandle> entries;
    QSet<QString> seen;  // one line per kind of problem
    const auto report = [&](const QString& problem) {
        if (!seen.contains(problem)) {
            seen.insert(problem);
            problems << problem;
        }
    };
    ForEachDictionary(pdf, [&](QPDFObjectHandle dict) {
        if (dict.hasKey("/JS") || dict.hasKey("/JavaScript") ||
            HasName(dict.getKey("/S"), "/JavaScript")) {
            report(QStringLiteral("JavaScript"));
        }
        if (dict.hasKey("/AA")) {
            report(QStringLiteral("additional actions (/AA)"));
        }
        if (dict.hasKey("/XFA")) {
            report(QStringLiteral("XFA form"));
        }
        for (const char* key : {"/ColorSpace", "/CS", "/Alternate", "/Base"}) {
            if (HasName(dict.getKey(key), "/DeviceCMYK")) {
                report(QStringLiteral("DeviceCMYK colour space beside an RGB output intent"));
            }
        }
        if (HasName(dict.getKey("/Filter"), "/LZWDecode") ||
            HasName(dict.getKey("/Filter"), "/LZW")) {
            report(QStringLiteral("LZW-compressed stream"));
        }
        if (dict.hasKey("/AF") && dict.getKey("/AF").isArray()) {
            for (QPDFObjectHandle item : dict.getKey("/AF").getArrayAsVector()) {
                associated.insert(item.getObjGen());
            }
        }
        if (HasName(dict.getKey("/Type"), "/Filespec") || dict.hasKey("/EF")) {
            entries.push_back(dict);
        }
    });
    for (QPDFObjectHandle entry : entries) {
        const QString name = Text(entry.getKey("/UF"));
        const QString label = QStringLiteral("embedded-file entry \"%1\"").arg(name);
        for (const char* key : {"/F", "/UF", "/AFRelationship"}) {
            if (!entry.hasKey(key)) {
                report(label + QStringLiteral(" has no ") + QLatin1String(key));
            }
        }
        if (!entry.isIndirect() || !associated.count(entry.getObjGen())) {
            report(label + QStringLiteral(" is not listed in an /AF array"));
        }
        QPDFObjectHandle stream = entry.getKey("/EF").isDictionary()
                                      ? entry.getKey("/EF").getKey("/F")
                                      : QPDFObjectHandle::newNull();
        if (!stream.isStream()) {
            report(label + QStringLiteral(" has no embedded file"));
        } else if (!stream.getDict().getKey("/Subtype").isName()) {
            report(label + QStringLiteral(" has no MIME type (/Subtype)"));
        }
    }
}

// Annotations are printed, visible, and drawn by their own appearance (links excepted).
void CheckAnnotations(QPDF& pdf, QStringList& problems) {
    int page = 0;
    for (QPDFObjectHandle pageObject : pdf.getAllPages()) {
        ++page;
        QPDFObjectHandle annots = pageObject.getKey("/Annots");
        if (!annots.isArray()) {
            continue;
        }
        for (QPDFObjectHandle annot : annots.getArrayAsVector()) {
            if (!annot.isDictionary()) {
                continue;
            }
            QPDFObjectHandle subtype = annot.getKey("/Subtype");
            const std::string kind = subtype.isName() ? subtype.getName() : std::string("?");
            const QString label = QStringLiteral("%1 annotation on page %2")
                                      .arg(QString::fromStdString(kind))
                                      .arg(page);
            QPDFObjectHandle flags = annot.getKey("/F");
            const long long f = flags.isInteger() ? flags.getIntValue() : 0;
            if ((f & 4) == 0 || (f & (1 | 2 | 32)) != 0) {
                problems << label + QStringLiteral(" is not printed or not visible (/F %1)").arg(f);
            }
            if (kind != "/Link" && kind != "/Popup" && !annot.getKey("/AP").isDictionary()) {
                problems << label + QStringLiteral(" has no appearance stream");
            }
        }
    }
}

// Code -> text of a ToUnicode CMap (bfchar and bfrange sections).
std::map<unsigned, QString> ReadToUnicode(QPDFObjectHandle cmap) {
    std::map<unsigned, QString> map;
    const QString text = QString::fromLatin1(StreamData(cmap));
    static const QRegularExpression token(QStringLiteral("<([0-9A-Fa-f\\s]*)>|\\[|\\]|(\\w+)"));
    const auto utf16 = [](const QString& hex) {
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        QString out;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            out += QChar(char16_t((uchar(bytes[i]) << 8) | uchar(bytes[i + 1])));
        }
        return out;
    };
    QString section;
    QStringList pending;  // hex operands of the entry being read
    bool inArray = false;
    QStringList arrayItems;
    auto it = token.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString word = m.captured(2);
        if (!word.isEmpty()) {
            if (word.startsWith(QLatin1String("begin")) || word.startsWith(QLatin1String("end"))) {
                section = word;
                pending.clear();
            }
            continue;
        }
        if (m.captured(0) == QLatin1String("[")) {
            inArray = true;
            arrayItems.clear();
            continue;
        }
        const bool closing = m.captured(0) == QLatin1String("]");
        if (inArray && !closing) {
            arrayItems << m.captured(1);
            continue;
        }
        if (!closing) {
            pending << m.captured(1);
        }
        if (section == QLatin1String("beginbfchar") && pending.size() == 2) {
            map[pending[0].toUInt(nullptr, 16)] = utf16(pending[1]);
            pending.clear();
        } else if (section == QLatin1String("beginbfrange") &&
                   ((pending.size() == 3 && !inArray) || (closing && pending.size() == 2))) {
            const unsigned lo = pending[0].toUInt(nullptr, 16);
            const unsigned hi = pending[1].toUInt(nullptr, 16);
            for (unsigned code = lo; code <= hi && code - lo < 65536; ++code) {
                if (closing) {
                    map[code] = code - lo < unsigned(arrayItems.size())
                                    ? utf16(arrayItems[int(code - lo)])
                                    : QString();
                } else {
                    QString value = utf16(pending[2]);
                    if (!value.isEmpty()) {
                        value.back() = QChar(char16_t(value.back().unicode() + (code - lo)));
                    }
                    map[code] = value;
                }
            }
            pending.clear();
            inArray = false;
        }
    }
    return map;
}

// Collects the character codes each font shows, through forms too, and whether any
// colour is set in CMYK.
class TextCodes : public QPDFObjectHandle::ParserCallbacks {
  public:
    using Codes = std::map<QPDFObjGen, std::pair<QPDFObjectHandle, std::set<unsigned>>>;

    TextCodes(QPDFObjectHandle resources, Codes& codes, bool& cmyk, int depth = 0)
        : m_resources(resources), m_codes(codes), m_cmyk(cmyk), m_depth(depth) {}

    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "k" || op == "K") {
            m_cmyk = true;
        } else if (op == "Tf" && !m_operands.empty() && m_operands.front().isName()) {
            QPDFObjectHandle fonts = m_resources.isDictionary() ? m_resources.getKey("/Font")
                                                                : QPDFObjectHandle::newNull();
            m_font = fonts.isDictionary() ? fonts.getKey(m_operands.front().getName())
                                          : QPDFObjectHandle::newNull();
        } else if (op == "Tj" || op == "'" || op == "\"" || op == "TJ") {
            for (QPDFObjectHandle operand : m_operands) {
                if (operand.isString()) {
                    Add(operand.getStringValue());
                } else if (operand.isArray()) {
                    for (QPDFObjectHandle item : operand.getArrayAsVector()) {
                        if (item.isString()) {
                            Add(item.getStringValue());
                        }
                    }
                }
            }
        } else if (op == "Do" && !m_operands.empty() && m_operands.front().isName() &&
                   m_depth < 8) {
            QPDFObjectHandle xobjects = m_resources.isDictionary() ? m_resources.getKey("/XObject")
                                                                   : QPDFObjectHandle::newNull();
            QPDFObjectHandle form = xobjects.isDictionary()
                                        ? xobjects.getKey(m_operands.front().getName())
                                        : QPDFObjectHandle::newNull();
            if (form.isStream() && HasName(form.getDict().getKey("/Subtype"), "/Form")) {
                QPDFObjectHandle own = form.getDict().getKey("/Resources");
                TextCodes inner(own.isDictionary() ? own : m_resources, m_codes, m_cmyk,
                                m_depth + 1);
                QPDFObjectHandle::parseContentStream(form, &inner);
            }
        }
        m_operands.clear();
    }
    void handleEOF() override {}

  private:
    void Add(const std::string& bytes) {
        if (!m_font.isDictionary()) {
            return;
        }
        auto& [font, codes] = m_codes[m_font.getObjGen()];
        font = m_font;
        const bool twoBytes = HasName(m_font.getKey("/Subtype"), "/Type0");
        for (size_t i = 0; i < bytes.size(); i += twoBytes ? 2 : 1) {
            unsigned code = static_cast<unsigned char>(bytes[i]);
            if (twoBytes) {
                code = (code << 8) |
                       (i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0);
            }
            codes.insert(code);
        }
    }

    QPDFObjectHandle m_resources;
    Codes& m_codes;
    bool& m_cmyk;
    int m_depth;
    QPDFObjectHandle m_font = QPDFObjectHandle::newNull();
    std::vector<QPDFObjectHandle> m_operands;
};

// Every code a font shows has a Unicode value: text that can be searched and copied.
void CheckGlyphsMapped(QPDF& pdf, QStringList& problems) {
    TextCodes::Codes codes;
    bool cmyk = false;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        TextCodes collector(page.getKey("/Resources"), codes, cmyk);
        QPDFPageObjectHelper(page).parseContents(&collector);
    }
    if (cmyk) {
        problems << QStringLiteral("CMYK colour (k/K) in content, beside an RGB output intent");
    }
    for (auto& [id, entry] : codes) {
        auto& [font, used] = entry;
        QPDFObjectHandle baseFont = font.getKey("/BaseFont");
        const QString name = baseFont.isName() ? QString::fromStdString(baseFont.getName()) : "?";
        QPDFObjectHandle cmap = font.getKey("/ToUnicode");
        if (!cmap.isStream()) {
            problems << QStringLiteral("font %1 shows text but has no ToUnicode map").arg(name);
            continue;
        }
        const std::map<unsigned, QString> map = ReadToUnicode(cmap);
        QStringList missing;
        for (const unsigned code : used) {
            const auto found = map.find(code);
            const QString value = found == map.end() ? QString() : found->second;
            // U+FFFD is a character like any other (text that did not decode shows it).
            if (value.isEmpty() || value.contains(QChar(0)) || value.contains(QChar(0xFEFF)) ||
                value.contains(QChar(0xFFFE))) {
                missing << QString::number(code, 16);
            }
        }
        if (!missing.isEmpty()) {
            problems << QStringLiteral("font %1: %2 of %3 codes shown map to no Unicode (%4)")
                            .arg(name)
                            .arg(missing.size())
                            .arg(used.size())
                            .arg(missing.mid(0, 8).join(' '));
        }
    }
}

}  // namespace

QStringList ArchivalProblems(const QString& path) {
    QStringList problems;
    CheckStructure(path, problems);
    CheckFonts(path, problems);
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.toLocal8Bit().constData());
        CheckMetadata(pdf, problems);
        CheckOutputIntent(pdf, problems);
        CheckObjects(pdf, problems);
        CheckAnnotations(pdf, problems);
        CheckGlyphsMapped(pdf, problems);
    } catch (const std::exception& e) {
        problems << QStringLiteral("qpdf cannot read the file: ") +
                        QString::fromLocal8Bit(e.what());
    }
    return problems;
}

QMap<QString, QString> AssociatedFiles(const QString& path) {
    QMap<QString, QString> files;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.toLocal8Bit().constData());
    QPDFObjectHandle af = pdf.getRoot().getKey("/AF");
    if (!af.isArray()) {
        return files;
    }
    for (QPDFObjectHandle entry : af.getArrayAsVector()) {
        QPDFObjectHandle relationship = entry.getKey("/AFRelationship");
        files.insert(Text(entry.getKey("/UF")),
                     relationship.isName() ? QString::fromStdString(relationship.getName()).mid(1)
                                           : QString());
    }
    return files;
}

}  // namespace velmora::mailconverter::testing

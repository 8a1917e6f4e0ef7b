#include "components/mailconverter/pdf/PdfObjects.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

namespace velmora::mailconverter {

PdfObjects::PdfObjects() {
    m_out.reserve(64 * 1024);
    // The binary comment tells transfer programs that the file is not text.
    m_out.append("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
    m_offsets.push_back(0);  // object 0 heads the free list
}

int PdfObjects::Reserve() {
    m_offsets.push_back(-1);
    return static_cast<int>(m_offsets.size() - 1);
}

void PdfObjects::Write(int id, const QByteArray& body) {
    m_offsets[static_cast<size_t>(id)] = m_out.size();
    m_out.append(QByteArray::number(id)).append(" 0 obj\n").append(body).append("\nendobj\n");
}

void PdfObjects::WriteStream(int id, const QByteArray& dictionary, const QByteArray& data,
                             bool compress) {
    QByteArray deflated;
    if (compress && !data.isEmpty()) {
        deflated = Deflate(data, 6);
    }
    if (deflated.isEmpty()) {
        WriteEncodedStream(id, dictionary, data);
    } else {
        WriteEncodedStream(id, dictionary + "/Filter/FlateDecode", deflated);
    }
}

void PdfObjects::WriteEncodedStream(int id, const QByteArray& dictionary, const QByteArray& bytes) {
    m_offsets[static_cast<size_t>(id)] = m_out.size();
    m_out.append(QByteArray::number(id)).append(" 0 obj\n<<").append(dictionary);
    m_out.append("/Length ").append(QByteArray::number(bytes.size())).append(">>\nstream\n");
    m_out.append(bytes).append("\nendstream\nendobj\n");
}

QByteArray PdfObjects::Finish(int catalog, int info, const QByteArray& fileId) {
    for (size_t id = 1; id < m_offsets.size(); ++id) {
        if (m_offsets[id] < 0) {
            Write(static_cast<int>(id), "null");
        }
    }
    const qsizetype xref = m_out.size();
    m_out.append("xref\n0 ").append(QByteArray::number(qsizetype(m_offsets.size()))).append('\n');
    char line[21];
    std::snprintf(line, sizeof line, "%010d %05d f\r\n", 0, 65535);
    m_out.append(line, 20);
    for (size_t id = 1; id < m_offsets.size(); ++id) {
        std::snprintf(line, sizeof line, "%010lld %05d n\r\n",
                      static_cast<long long>(m_offsets[id]), 0);
        m_out.append(line, 20);
    }
    m_out.append("trailer\n<</Size ")
        .append(QByteArray::number(qsizetype(m_offsets.size())))
        .append("/Root ")
        .append(QByteArray::number(catalog))
        .append(" 0 R");
    if (info > 0) {
        m_out.append("/Info ").append(QByteArray::number(info)).append(" 0 R");
    }
    if (!fileId.isEmpty()) {
        const QByteArray hex = fileId.toHex().toUpper();
        m_out.append("/ID[<").append(hex).append("><").append(hex).append(">]");
    }
    m_out.append(">>\nstartxref\n").append(QByteArray::number(xref)).append("\n%%EOF\n");
    return std::move(m_out);
}

QByteArray PdfObjects::Deflate(const QByteArray& data, int level, bool runLength) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 8, runLength ? Z_RLE : Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return {};
    }
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(data.size()))),
                   Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.truncate(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return done ? out : QByteArray();
}

namespace pdf {

QByteArray Number(double value) {
    char text[32];
    return QByteArray(text, FormatNumber(value, text));
}

int FormatNumber(double value, char* out) {
    if (!std::isfinite(value)) {
        out[0] = '0';
        return 1;
    }
    // Viewers need not read more than about five digits after the point; pages need three.
    const long long thousandths = std::llround(std::clamp(value, -1e9, 1e9) * 1000);
    char text[32];
    char* end = text + sizeof text;
    char* p = end;  // written backwards
    unsigned long long rest = static_cast<unsigned long long>(std::llabs(thousandths));
    unsigned long long fraction = rest % 1000;
    rest /= 1000;
    if (fraction != 0) {
        int digits = 3;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        for (int i = 0; i < digits; ++i, fraction /= 10) {
            *--p = char('0' + fraction % 10);
        }
        *--p = '.';
    }
    do {
        *--p = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (thousandths < 0) {
        *--p = '-';
    }
    const int length = int(end - p);
    memcpy(out, p, size_t(length));
    return length;
}

QByteArray TextString(const QString& text) {
    QByteArray out("<FEFF");
    out.reserve(6 + text.size() * 4);
    static const char hex[] = "0123456789ABCDEF";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        out.append(hex[(u >> 12) & 0xF]).append(hex[(u >> 8) & 0xF]);
        out.append(hex[(u >> 4) & 0xF]).append(hex[u & 0xF]);
    }
    out.append('>');
    return out;
}

QByteArray Name(const QByteArray& name) {
    QByteArray out("/");
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            continue;  // a name has no escape for NUL
        }
        if (u < 0x21 || u > 0x7E || QByteArray("#()<>[]{}/%").contains(c)) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "#%02X", u);
            out.append(escaped);
        } else {
            out.append(c);
        }
    }
    return out;
}

}  // namespace pdf

}  // namespace velmora::mailconverter

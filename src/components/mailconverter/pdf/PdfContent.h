#pragma once

#include "components/mailconverter/pdf/PdfObjects.h"

#include <QByteArray>
#include <QColor>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <string>

namespace velmora::mailconverter {

// A page's content stream, built with few allocations: a long message writes millions of
// operands.
class Content {
  public:
    Content& operator<<(const char* text) {
        m_data.append(text);
        return *this;
    }
    Content& operator<<(char c) {
        m_data.push_back(c);
        return *this;
    }
    Content& operator<<(const QByteArray& bytes) {
        m_data.append(bytes.constData(), size_t(bytes.size()));
        return *this;
    }
    Content& operator<<(double value) {
        char text[32];
        m_data.append(text, size_t(pdf::FormatNumber(value, text)));
        return *this;
    }
    Content& operator<<(int value) { return *this << double(value); }
    Content& operator<<(const QTransform& m) {
        return *this << m.m11() << ' ' << m.m12() << ' ' << m.m21() << ' ' << m.m22() << ' '
                     << m.dx() << ' ' << m.dy();
    }
    Content& operator<<(const QRectF& r) {
        return *this << r.x() << ' ' << r.y() << ' ' << r.width() << ' ' << r.height() << " re\n";
    }
    Content& operator<<(const QColor& color) {
        const QColor rgb = color.toRgb();
        return *this << rgb.redF() << ' ' << rgb.greenF() << ' ' << rgb.blueF();
    }
    // Two-byte codes in a literal string, escaped where PDF needs it.
    void Code(uint16_t code) {
        for (const char c : {char(code >> 8), char(code & 0xFF)}) {
            if (c == '(' || c == ')' || c == '\\') {
                m_data.push_back('\\');
                m_data.push_back(c);
            } else if (c == '\r') {
                m_data.append("\\r");
            } else {
                m_data.push_back(c);
            }
        }
    }
    void Clear() { m_data.clear(); }
    QByteArray Bytes() const { return QByteArray(m_data.data(), qsizetype(m_data.size())); }

  private:
    std::string m_data;
};

}  // namespace velmora::mailconverter

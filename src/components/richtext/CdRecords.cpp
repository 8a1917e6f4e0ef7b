#include "components/richtext/CdRecords.h"

namespace velmora::richtext {

bool CdReader::Next(CdRecord& record) {
    const std::size_t left = m_at < m_bytes.size() ? m_bytes.size() - m_at : 0;
    if (left < 2) {
        return false;
    }
    const std::uint8_t* at = m_bytes.data() + m_at;
    const std::uint8_t form = at[1];
    std::size_t header = 2;
    std::size_t length = form;
    if (form == 0xFF) {
        header = 4;
        length = left < header ? 0 : std::size_t{at[2]} | std::size_t{at[3]} << 8;
    } else if (form == 0) {
        header = 6;
        length = left < header ? 0
                               : std::size_t{at[2]} | std::size_t{at[3]} << 8 |
                                     std::size_t{at[4]} << 16 | std::size_t{at[5]} << 24;
    }
    if (length < header || length > left) {
        return false;
    }
    record.signature = at[0];
    record.body = m_bytes.subspan(m_at + header, length - header);
    m_at += length + (length & 1);
    return true;
}

std::uint8_t Fields::U8(std::size_t at) const {
    return at < m_body.size() ? m_body[at] : 0;
}

std::uint16_t Fields::U16(std::size_t at) const {
    return static_cast<std::uint16_t>(U8(at) | U8(at + 1) << 8);
}

std::uint32_t Fields::U32(std::size_t at) const {
    return std::uint32_t{U16(at)} | std::uint32_t{U16(at + 2)} << 16;
}

std::span<const std::uint8_t> Fields::Bytes(std::size_t at, std::size_t n) const {
    if (at >= m_body.size()) {
        return {};
    }
    return m_body.subspan(at, std::min(n, m_body.size() - at));
}

void AppendRecord(QByteArray& out, std::uint8_t signature, LengthForm form,
                  const QByteArray& body) {
    const auto put16 = [&out](std::uint32_t value) {
        out.append(static_cast<char>(value & 0xFF));
        out.append(static_cast<char>(value >> 8 & 0xFF));
    };
    out.append(static_cast<char>(signature));
    std::uint32_t length = 0;
    switch (form) {
        case LengthForm::Byte:
            length = static_cast<std::uint32_t>(body.size()) + 2;
            out.append(static_cast<char>(length));
            break;
        case LengthForm::Word:
            length = static_cast<std::uint32_t>(body.size()) + 4;
            out.append(static_cast<char>(0xFF));
            put16(length);
            break;
        case LengthForm::DoubleWord:
            length = static_cast<std::uint32_t>(body.size()) + 6;
            out.append('\0');
            put16(length & 0xFFFF);
            put16(length >> 16);
            break;
    }
    out.append(body);
    if ((length & 1) != 0) {
        out.append('\0');
    }
}

}  // namespace velmora::richtext

#include "components/richtext/Lmbcs.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::richtext {

namespace {

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

// Opening a converter costs more than most conversions: one per thread, kept.
UConverter* Lmbcs() {
    thread_local Converter converter(nullptr, &ucnv_close);
    if (!converter) {
        UErrorCode status = U_ZERO_ERROR;
        converter.reset(ucnv_open("LMBCS-1", &status));
        if (U_FAILURE(status) || !converter) {
            converter.reset();
            throw std::runtime_error(std::string("The LMBCS-1 converter is not available: ") +
                                     u_errorName(status));
        }
    }
    ucnv_reset(converter.get());
    return converter.get();
}

bool PlainAscii(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) {
        return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\r';
    });
}

}  // namespace

QString FromLmbcs(std::span<const std::uint8_t> bytes) {
    // Printable ASCII stands for itself in LMBCS, and most text is only that.
    if (PlainAscii(bytes)) {
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size()));
    }
    std::vector<UChar> target(bytes.size() * 2 + 1);
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length =
        ucnv_toUChars(Lmbcs(), target.data(), static_cast<std::int32_t>(target.size()),
                      reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size()));
    }
    return QString(reinterpret_cast<const QChar*>(target.data()), length);
}

QByteArray ToLmbcs(const QString& text) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x20 && c.unicode() < 0x7F) || c == u'\t' || c == u'\n' ||
               c == u'\r';
    });
    if (ascii) {
        return text.toLatin1();
    }
    // No character takes more than three bytes in LMBCS.
    QByteArray out(text.size() * 3 + 4, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length =
        ucnv_fromUChars(Lmbcs(), out.data(), static_cast<std::int32_t>(out.size()),
                        reinterpret_cast<const UChar*>(text.utf16()),
                        static_cast<std::int32_t>(text.size()), &status);
    if (U_FAILURE(status)) {
        return text.toUtf8();
    }
    out.truncate(length);
    return out;
}

}  // namespace velmora::richtext

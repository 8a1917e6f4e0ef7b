#include "components/nsf/Lmbcs.h"

#include "notes/NotesError.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace velmora::nsf {

QString FromLmbcs(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return {};
    }
    // Printable ASCII stands for itself in LMBCS; most names and much text are only that.
    if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) {
            return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\r';
        })) {
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size()));
    }
    // Opening a converter costs more than most conversions: one per thread, kept.
    thread_local std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(nullptr, &ucnv_close);
    UErrorCode status = U_ZERO_ERROR;
    if (!converter) {
        converter.reset(ucnv_open("LMBCS-1", &status));
        if (U_FAILURE(status) || !converter) {
            converter.reset();
            throw notes::NotesError(QStringLiteral("The LMBCS-1 converter is not available: %1")
                                        .arg(QString::fromLatin1(u_errorName(status))));
        }
    }
    ucnv_reset(converter.get());
    // One byte never yields more than two UTF-16 units.
    std::vector<UChar> target(bytes.size() * 2 + 1);
    const auto* source = reinterpret_cast<const char*>(bytes.data());
    const std::int32_t length =
        ucnv_toUChars(converter.get(), target.data(), static_cast<std::int32_t>(target.size()),
                      source, static_cast<std::int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        throw notes::NotesError(QStringLiteral("LMBCS text cannot be converted: %1")
                                    .arg(QString::fromLatin1(u_errorName(status))));
    }
    return QString(reinterpret_cast<const QChar*>(target.data()), length);
}

}  // namespace velmora::nsf

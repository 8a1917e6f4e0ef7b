#include "components/nsf/Lmbcs.h"

#include "notes/NotesError.h"

#include <unicode/ucnv.h>

#include <memory>
#include <vector>

namespace velmora::nsf {

QString FromLmbcs(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return {};
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open("LMBCS-1", &status),
                                                                 &ucnv_close);
    if (U_FAILURE(status) || !converter) {
        throw notes::NotesError(QStringLiteral("The LMBCS-1 converter is not available: %1")
                                    .arg(QString::fromLatin1(u_errorName(status))));
    }
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

#include "components/nsf/Cx.h"

#include <bit>

namespace velmora::nsf {

namespace {

constexpr std::uint32_t kHeader = 4;
constexpr std::uint32_t kEndCode = 257;
// The longest prefix seen on real files is 8; far longer is damage.
constexpr int kMaxGammaZeros = 16;

// Bits least significant first, refilled a byte at a time into a 64-bit buffer.
class BitReader {
  public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Position() const { return m_next * 8 - m_count; }
    // Whether n more bits (n <= 32) are there; reading past the end is never done.
    bool Has(int n) {
        Fill();
        return m_count >= n;
    }
    // n bits; the caller checked Has(n).
    std::uint32_t Take(int n) {
        const auto value = static_cast<std::uint32_t>(m_buffer & ((std::uint64_t{1} << n) - 1));
        m_buffer >>= n;
        m_count -= n;
        return value;
    }
    // Zero bits before the next one bit, and that bit taken; -1 when the input ends first
    // or more than `limit` zeros come.
    int Zeros(int limit) {
        int zeros = 0;
        while (true) {
            Fill();
            if (m_count == 0) {
                return -1;
            }
            const int run = m_buffer == 0 ? m_count : std::countr_zero(m_buffer);
            if (run < m_count) {
                zeros += run;
                Take(run + 1);
                return zeros <= limit ? zeros : -2;
            }
            zeros += m_count;
            Take(m_count);
            if (zeros > limit) {
                return -2;
            }
        }
    }
    // Bytes not yet touched, and whether the bits left in the current byte are all zero.
    std::size_t BytesAfterCurrent() const { return m_bytes.size() - m_next + m_count / 8; }
    bool RestOfByteIsZero() const {
        return (m_buffer & ((std::uint64_t{1} << (m_count % 8)) - 1)) == 0;
    }

  private:
    void Fill() {
        while (m_count <= 56 && m_next < m_bytes.size()) {
            m_buffer |= std::uint64_t{m_bytes[m_next++]} << m_count;
            m_count += 8;
        }
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_next = 0;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> CxDecode(std::span<const std::uint8_t> data,
                                                  std::size_t size, CxFailure& failure) {
    BitReader in(data);
    const auto fail = [&](QString reason, bool unsupported = false) {
        failure.unsupported = unsupported;
        failure.reason = std::move(reason);
        return std::nullopt;
    };
    const auto ended = [&] { return fail(QStringLiteral("its data ends before its end code")); };
    // Gamma code: zeros counted from `first`, a one, as many bits as zeros.
    const auto gamma = [&](int first, std::uint32_t& value) -> bool {
        const std::size_t at = in.Position();
        const int zeros = in.Zeros(kMaxGammaZeros - first);
        if (zeros == -2) {
            fail(QStringLiteral("a code at bit %1 has more than %2 leading zeros")
                     .arg(at)
                     .arg(kMaxGammaZeros));
            return false;
        }
        if (zeros < 0 || !in.Has(zeros + first)) {
            ended();
            return false;
        }
        const int z = zeros + first;
        value = (std::uint32_t{1} << z) + in.Take(z);
        return true;
    };

    if (!in.Has(3)) {
        return ended();
    }
    const std::uint32_t header = in.Take(3);
    if (header != kHeader) {
        return fail(QStringLiteral("compression header %1").arg(header), true);
    }
    std::vector<std::uint8_t> out;
    out.reserve(size);
    while (true) {
        if (!in.Has(2)) {
            return ended();
        }
        const std::size_t at = in.Position();
        std::uint32_t length = 2;
        std::uint32_t distance = 0;
        if (in.Take(1) == 0) {
            if (!in.Has(8)) {
                return ended();
            }
            if (out.size() == size) {
                return fail(QStringLiteral("it expands beyond its recorded %1 bytes").arg(size));
            }
            out.push_back(static_cast<std::uint8_t>(in.Take(8)));
            continue;
        }
        if (in.Take(1) == 1) {
            if (!in.Has(8)) {
                return ended();
            }
            distance = in.Take(8);
        } else {
            std::uint32_t code = 0;
            if (!gamma(1, code)) {
                return std::nullopt;
            }
            if (code == kEndCode) {
                break;
            }
            if (code > kEndCode) {
                return fail(
                    QStringLiteral("a copy at bit %1 has length code %2").arg(at).arg(code));
            }
            length = code + 1;
            std::uint32_t high = 0;
            if (!gamma(0, high)) {
                return std::nullopt;
            }
            if (!in.Has(8)) {
                return ended();
            }
            distance = ((high - 1) << 8) + in.Take(8);
        }
        if (distance == 0 || distance > out.size()) {
            return fail(QStringLiteral("a copy at bit %1 reaches %2 bytes back, %3 written")
                            .arg(at)
                            .arg(distance)
                            .arg(out.size()));
        }
        if (length > size - out.size()) {
            return fail(QStringLiteral("it expands beyond its recorded %1 bytes").arg(size));
        }
        // One byte at a time: a copy may overlap what it writes.
        for (std::uint32_t i = 0; i < length; ++i) {
            out.push_back(out[out.size() - distance]);
        }
    }
    if (out.size() != size) {
        return fail(
            QStringLiteral("it expands to %1 bytes, %2 recorded").arg(out.size()).arg(size));
    }
    if (!in.RestOfByteIsZero() || in.BytesAfterCurrent() != 0) {
        return fail(QStringLiteral("its data goes on after its end code"));
    }
    return out;
}

}  // namespace velmora::nsf

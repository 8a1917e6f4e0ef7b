#include "components/nsf/Cx.h"

namespace velmora::nsf {

namespace {

class BitReader {
  public:
    explicit BitReader(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes), m_bits(bytes.size() * 8) {}
    std::size_t Left() const { return m_bits - m_at; }
    bool Bit() {
        const bool bit = (m_bytes[m_at / 8] >> (m_at % 8)) & 1;
        ++m_at;
        return bit;
    }
    // n bits, the first read being the lowest; the caller checks Left().
    std::uint32_t Bits(int n) {
        std::uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            value |= static_cast<std::uint32_t>(Bit()) << i;
        }
        return value;
    }
    void Skip(std::size_t n) { m_at += n; }

  private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_bits;
    std::size_t m_at = 0;
};

// No length or distance needs more than 24 bits of payload.
constexpr int kMaxGammaBits = 24;

enum class Code { kValue, kEnd, kDamaged };

// n zero bits, a one bit, then n payload bits: 2^n + payload. Running out of input is
// the end of the stream, whose last byte is padded with zeros.
Code Gamma(BitReader& in, std::uint32_t& value, int zeros = 0) {
    while (true) {
        if (in.Left() == 0) {
            return Code::kEnd;
        }
        if (in.Bit()) {
            break;
        }
        if (++zeros > kMaxGammaBits) {
            return Code::kDamaged;
        }
    }
    if (in.Left() < static_cast<std::size_t>(zeros)) {
        return Code::kEnd;
    }
    value = (std::uint32_t{1} << zeros) + in.Bits(zeros);
    return Code::kValue;
}

}  // namespace

std::optional<CxResult> CxDecompress(std::span<const std::uint8_t> input, std::size_t maxOutput,
                                     QString* why) {
    const auto fail = [&](const char* reason) -> std::optional<CxResult> {
        if (why != nullptr) {
            *why = QString::fromLatin1(reason);
        }
        return std::nullopt;
    };
    if (input.empty() || input[0] != 0) {
        return fail("the compressed data does not start with its marker byte");
    }
    CxResult result;
    std::vector<std::uint8_t>& out = result.bytes;
    BitReader in(input);
    in.Skip(8);
    // The stream carries no end mark; it ends in fewer bits than a literal needs.
    while (in.Left() >= 9 && out.size() < maxOutput) {
        if (!in.Bit()) {
            out.push_back(static_cast<std::uint8_t>(in.Bits(8)));
            continue;
        }
        std::uint32_t length = 2;
        std::uint32_t distance = 0;
        if (in.Bit()) {
            if (in.Left() < 8) {
                break;
            }
            distance = in.Bits(8);
            if (distance == 0) {
                // A marker the writer leaves between runs of codes (seen mid-stream on
                // several samples): it copies nothing and the stream goes on.
                ++result.markers;
                continue;
            }
        } else {
            std::uint32_t code = 0;
            std::uint32_t high = 0;
            // The 0 bit just read is the length code's first zero.
            Code c = Gamma(in, code, 1);
            if (c == Code::kValue) {
                c = Gamma(in, high);
            }
            if (c == Code::kDamaged) {
                return fail("a copy code is longer than the format allows");
            }
            if (c == Code::kEnd || in.Left() < 8) {
                break;
            }
            length = code + 1;
            distance = ((high - 1) << 8) | in.Bits(8);
        }
        if (distance == 0) {
            break;  // only the zero padding at the end reads as this
        }
        if (distance > out.size()) {
            ++result.distancesBeforeStart;
        }
        for (std::uint32_t i = 0; i < length && out.size() < maxOutput; ++i) {
            out.push_back(distance <= out.size() ? out[out.size() - distance] : 0);
        }
    }
    return result;
}

}  // namespace velmora::nsf

#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmora::nsf::test {

inline QString SampleDir() {
    return QStringLiteral(VELMORA_NSF_SAMPLES);
}

// The path of a sample; the samples are part of the project, so a missing one fails.
inline QString Sample(const QString& name) {
    const QString path = QDir(SampleDir()).filePath(name);
    EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    return path;
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline const std::vector<const char*>& AllSamples() {
    static const std::vector<const char*> files = {
        "hfinn.nsf",      "MIMEMsg.nsf",       "richtext.nsf",
        "attachment.nsf", "notesflo.nsf",      "ftsearch.nsf",
        "findKeyEx4.nsf", "nf_doc.nsf",        "discuss.nsf",
        "problems.nsf",   "picture.nsf",       "embedole.nsf",
        "encrypt.nsf",    "billdrv.nsf",       "msearch.nsf",
        "jnx-sample.nsf", "jnx-signeddoc.nsf", "jnx-invalidtimedate.nsf",
    };
    return files;
}

// Bits written least significant first, as the compressed blocks hold them.
class BitWriter {
  public:
    void Bit(bool b) {
        if (m_used % 8 == 0) {
            m_bytes.push_back(0);
        }
        if (b) {
            m_bytes.back() |= static_cast<std::uint8_t>(1u << (m_used % 8));
        }
        ++m_used;
    }
    void Bits(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            Bit((v >> i) & 1);
        }
    }
    void Literal(std::uint8_t c) {
        Bit(false);
        Bits(c, 8);
    }
    // z zeros, a one, z bits: 2^z + payload; `counted` zeros are already written.
    void Gamma(int z, std::uint32_t payload, int counted = 0) {
        for (int i = counted; i < z; ++i) {
            Bit(false);
        }
        Bit(true);
        Bits(payload, z);
    }
    // A long copy: its flag bits, the length code (the flag's 0 counting as its first
    // zero), then the distance.
    void Copy(std::uint32_t length, std::uint32_t distance) {
        Bit(true);
        Bit(false);
        const std::uint32_t code = length - 1;
        int z = 0;
        while ((std::uint32_t{2} << z) <= code) {
            ++z;
        }
        Gamma(z, code - (std::uint32_t{1} << z), 1);
        const std::uint32_t high = (distance >> 8) + 1;
        int g = 0;
        while ((std::uint32_t{2} << g) <= high) {
            ++g;
        }
        Gamma(g, high - (std::uint32_t{1} << g));
        Bits(distance & 0xFF, 8);
    }
    void End() {
        Bit(true);
        Bit(false);
        Gamma(8, 1, 1);
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

  private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_used = 0;
};

// The bytes as compressed data of literals only, opened by the header and closed by the
// end code.
inline std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& plain,
                                          std::uint32_t header = 4) {
    BitWriter w;
    w.Bits(header, 3);
    for (const std::uint8_t b : plain) {
        w.Literal(b);
    }
    w.End();
    return w.Bytes();
}

}  // namespace velmora::nsf::test

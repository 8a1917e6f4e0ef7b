#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

namespace velmora::nsf::test {

inline QString SampleDir() {
    return QStringLiteral(VELMORA_NSF_SAMPLES);
}

// The path of a sample, or empty when the sample folder is not there.
inline QString Sample(const QString& name) {
    const QString path = QDir(SampleDir()).filePath(name);
    return QFileInfo::exists(path) ? path : QString();
}

}  // namespace velmora::nsf::test

// Skips the current test, with the reason, when the named sample is absent.
#define VELMORA_REQUIRE_SAMPLE(var, name)                                   \
    const QString var = ::velmora::nsf::test::Sample(QStringLiteral(name)); \
    if ((var).isEmpty()) {                                                  \
        GTEST_SKIP() << "sample " << (name) << " not found in "             \
                     << ::velmora::nsf::test::SampleDir().toStdString()     \
                     << " (set VELMORA_NSF_SAMPLES)";                       \
    }

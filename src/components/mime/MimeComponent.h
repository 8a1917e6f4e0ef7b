#pragma once

#include <QString>

namespace velmora::mime {

inline const QString kMailMessageClassId = QStringLiteral("{D54033AB-E017-44DA-B67E-02DE4B36EA54}");
inline const QString kMailComposerClassId =
    QStringLiteral("{126FB030-1E9E-4517-A254-430616582C50}");

// Registers the GMime-backed message and composer under their class identifiers.
void RegisterComponent();

}  // namespace velmora::mime

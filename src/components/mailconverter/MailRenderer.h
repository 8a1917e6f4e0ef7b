#pragma once

#include "components/mailconverter/base/MailContent.h"
#include "components/mailconverter/layout/HtmlLayout.h"

#include <QByteArray>
#include <QStringList>

namespace velmora::mailconverter {

struct RenderOptions {
    // Families tried in order for every character; empty means the built-in choice,
    // which puts TrueType CJK faces before CFF ones so that CJK text stays real text.
    QStringList textFamilies;
    QStringList plainTextFamilies;  // for plain-text bodies; empty means textFamilies
    qreal pointSize = 10;
};

// Lays a message out on A4 pages: the header block, any notices, the body, then the
// attached messages; "Page x of y" at the foot of every page. Needs a QGuiApplication.
class MailRenderer {
  public:
    explicit MailRenderer(RenderOptions options = {});

    // The archival PDF of the message, carrying what `archive` holds, with the links of its
    // HTML parts as annotations. Throws ConversionError. `links`, when given, receives the
    // boxes of those links.
    QByteArray Render(const MailContent& mail, std::vector<PdfLink>* links = nullptr,
                      const PdfArchive& archive = {}) const;

    // "12 bytes", "3.4 KB", "1.2 MB".
    static QString FormatSize(qint64 bytes);

  private:
    RenderOptions m_options;
};

}  // namespace velmora::mailconverter

#pragma once

#include "components/mailconverter/base/MailContent.h"
#include "components/mailconverter/layout/FlowPiece.h"
#include "components/mailconverter/layout/HtmlCaps.h"
#include "components/mailconverter/pdf/PdfArchive.h"

#include <QHash>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPainter;

namespace velmora::mailconverter {

// The families of wanted that this machine has, in the order wanted.
QStringList InstalledFamilies(const QStringList& wanted);

// Chooses page breaks from the lines of a flow: a break never falls inside a line unless
// one block of lines that overlap each other is taller than a page, and then it falls
// between two of its own lines where it can.
class PageBreaker {
  public:
    explicit PageBreaker(std::vector<Span> lines);

    // The end of the page that starts at `start` and may reach `limit`.
    qreal Next(qreal start, qreal limit) const;

  private:
    std::vector<Span> m_blocks;  // lines merged where they overlap, sorted
    std::vector<qreal> m_tops;   // every line's top, sorted
};

struct HtmlStyle {
    QStringList families;  // fallback faces after the ones the mail asks for
    qreal pointSize = 10;  // size of unstyled text
};

// One HTML part laid out at a given width with litehtml. Coordinates are points, with the
// part's top at 0; CSS pixels are 3/4 point as in print. Nothing outside the message is
// loaded: cid: parts and data: URIs only, other images become a light box with their alt
// text. Needs a QGuiApplication.
class HtmlLayout : public FlowPiece {
  public:
    // `budget`, shared by the parts of one message, bounds what all of them together may use;
    // without it the part has a budget of its own.
    HtmlLayout(const QString& html, const QHash<QString, MailResource>& resources,
               const HtmlStyle& style, qreal width, HtmlBudget* budget = nullptr);
    ~HtmlLayout();
    HtmlLayout(const HtmlLayout&) = delete;
    HtmlLayout& operator=(const HtmlLayout&) = delete;

    qreal Height() const override;
    const std::vector<Span>& Lines() const override;
    // Link boxes with page 0; the caller places them.
    const std::vector<PdfLink>& Links() const;
    // What had to be shortened to keep the layout bounded.
    const QStringList& Notices() const;

    void Paint(QPainter& painter, qreal top, qreal bottom) const override;

    // Most elements one part may nest, and most characters of one word before it is
    // broken into pieces that wrap.
    static constexpr int kMaxNesting = 96;
    static constexpr int kMaxWordLength = 400;
    static constexpr int kMaxIndents = 8;
    static constexpr int kMaxTableRows = 1000;
    static constexpr int kMaxElements = 40'000;

  private:
    class Container;
    std::unique_ptr<Container> m_container;
};

}  // namespace velmora::mailconverter

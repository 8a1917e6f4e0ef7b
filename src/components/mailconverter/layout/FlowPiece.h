#pragma once

#include <QtGlobal>

#include <vector>

class QPainter;

namespace velmora::mailconverter {

// A vertical stretch that a page break must not cut through: one line of text, one image.
struct Span {
    qreal top = 0;
    qreal bottom = 0;
};

// One stretch of a message's page flow, laid out for a column: header blocks, a plain-text
// part or an HTML part. Coordinates are points from the piece's top.
class FlowPiece {
  public:
    virtual ~FlowPiece() = default;

    virtual qreal Height() const = 0;
    // The lines of text and the images, for choosing page breaks.
    virtual const std::vector<Span>& Lines() const = 0;
    // Paints what reaches into [top, bottom), with the piece's top at the painter's origin.
    virtual void Paint(QPainter& painter, qreal top, qreal bottom) const = 0;
};

}  // namespace velmora::mailconverter

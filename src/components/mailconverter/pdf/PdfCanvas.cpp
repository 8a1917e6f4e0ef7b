#include "components/mailconverter/pdf/PdfCanvas.h"

#include "components/mailconverter/base/ConversionError.h"
#include "components/mailconverter/pdf/PdfArchive.h"
#include "components/mailconverter/pdf/PdfFont.h"
#include "components/mailconverter/pdf/PdfPaintEngine.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>

namespace velmora::mailconverter {

PdfPaintEngine::PdfPaintEngine(const QSizeF& page) : QPaintEngine(kFeatures), m_page(page) {
    m_catalog = m_objects.Reserve();
    m_pages = m_objects.Reserve();
    m_resources = m_objects.Reserve();
}

PdfPaintEngine::~PdfPaintEngine() = default;

bool PdfPaintEngine::begin(QPaintDevice*) {
    if (m_finished) {
        return false;
    }
    StartPage();
    return true;
}

bool PdfPaintEngine::end() {
    EndPage();
    return true;
}

void PdfPaintEngine::NewPage() {
    if (!isActive()) {
        return;
    }
    EndPage();
    StartPage();
}

QByteArray PdfPaintEngine::Document(const PdfArchive& archive) {
    if (isActive() || m_finished) {
        throw ConversionError(QStringLiteral("The PDF is not ready to be finished."));
    }
    m_finished = true;
    QByteArray fonts;
    for (const auto& [key, list] : m_fonts) {
        for (const auto& font : list) {
            font->Write(m_objects);
            fonts += "/F" + QByteArray::number(font->ObjectId()) + ' ' +
                     QByteArray::number(font->ObjectId()) + " 0 R";
        }
    }
    QByteArray images;
    for (const auto& [key, id] : m_images) {
        images += "/I" + QByteArray::number(id) + ' ' + QByteArray::number(id) + " 0 R";
    }
    QByteArray states;
    for (const auto& [alpha, id] : m_states) {
        states += "/G" + QByteArray::number(id) + ' ' + QByteArray::number(id) + " 0 R";
    }
    m_objects.Write(m_resources, "<</ProcSet[/PDF/Text/ImageB/ImageC]/Font<<" + fonts +
                                     ">>/XObject<<" + images + ">>/ExtGState<<" + states + ">>>>");
    PdfArchiveWriter extras(m_objects, archive);
    QByteArray kids;
    for (size_t i = 0; i < m_pageIds.size(); ++i) {
        const int page = m_pageIds[i];
        m_objects.Write(page, "<</Type/Page/Parent " + QByteArray::number(m_pages) +
                                  " 0 R/MediaBox[0 0 " + pdf::Number(m_page.width()) + ' ' +
                                  pdf::Number(m_page.height()) + "]/Resources " +
                                  QByteArray::number(m_resources) + " 0 R/Contents " +
                                  QByteArray::number(m_pageContents[i]) + " 0 R" +
                                  extras.Annotations(int(i), m_page.height()) + ">>");
        kids += QByteArray::number(page) + " 0 R ";
    }
    m_objects.Write(m_pages, "<</Type/Pages/Kids[" + kids.trimmed() + "]/Count " +
                                 QByteArray::number(qsizetype(m_pageIds.size())) + ">>");
    m_objects.Write(m_catalog, "<</Type/Catalog/Pages " + QByteArray::number(m_pages) + " 0 R" +
                                   extras.CatalogEntries() + ">>");
    return m_objects.Finish(m_catalog, extras.Info(), extras.FileId());
}

void PdfPaintEngine::StartPage() {
    m_content.Clear();
    m_content << "1 0 0 -1 0 " << m_page.height() << " cm\nq\n";
    m_pageOpen = true;
    ForgetEmitted();
    m_applied.clear();
    m_appliedEnabled = false;
    m_clipDirty = true;
}

void PdfPaintEngine::EndPage() {
    if (!m_pageOpen) {
        return;
    }
    m_content << "Q\n";
    const int contents = m_objects.Reserve();
    m_objects.WriteStream(contents, QByteArray(), m_content.Bytes());
    // The page itself is written with the document, which knows its links.
    m_pageIds.push_back(m_objects.Reserve());
    m_pageContents.push_back(contents);
    m_pageOpen = false;
    m_content.Clear();
}

void PdfPaintEngine::updateState(const QPaintEngineState& state) {
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) {
        m_matrix = state.transform();
    }
    if (flags & DirtyPen) {
        m_pen = state.pen();
    }
    if (flags & DirtyBrush) {
        m_brush = state.brush();
    }
    if (flags & DirtyOpacity) {
        m_opacity = state.opacity();
    }
    if (flags & DirtyClipEnabled) {
        m_clipEnabled = state.isClipEnabled();
        m_clipDirty = true;
    }
    if (flags & DirtyClipPath) {
        UpdateClip(state.clipPath(), state.clipOperation());
    }
    if (flags & DirtyClipRegion) {
        QPainterPath path;
        path.addRegion(state.clipRegion());
        UpdateClip(path, state.clipOperation());
    }
}

void PdfPaintEngine::FollowPainter(QPainter& painter) {
    // An empty path draws nothing but hands over the painter's state the way its own
    // drawing does, so that the painter knows what to hand over again after a restore.
    painter.drawPath(QPainterPath());
    m_pen = painter.pen();
    m_matrix = painter.combinedTransform();
}

PdfCanvas::PdfCanvas(const QSizeF& pagePoints)
    : m_page(pagePoints), m_engine(std::make_unique<PdfPaintEngine>(pagePoints)) {}

PdfCanvas::~PdfCanvas() = default;

QPaintEngine* PdfCanvas::paintEngine() const {
    return m_engine.get();
}

int PdfCanvas::devType() const {
    return QInternal::Printer;
}

bool PdfCanvas::ShowGlyphs(QPainter& painter, const GlyphRun& run) {
    if (painter.paintEngine() != m_engine.get()) {
        return false;
    }
    // Qt hands the engine a change of pen only when it draws through it; this text does not.
    m_engine->FollowPainter(painter);
    return m_engine->ShowGlyphs(run);
}

bool PdfCanvas::ShowRecorded(QPainter& painter, const RecordedText& text, const QPointF& origin) {
    if (painter.paintEngine() != m_engine.get()) {
        return false;
    }
    m_engine->FollowPainter(painter);
    return m_engine->ShowRecorded(text, origin);
}

void PdfCanvas::NewPage() {
    m_engine->NewPage();
}

QByteArray PdfCanvas::Document(const PdfArchive& archive) {
    return m_engine->Document(archive);
}

int PdfCanvas::metric(PaintDeviceMetric metric) const {
    return CanvasMetric(metric, m_page);
}

int CanvasMetric(QPaintDevice::PaintDeviceMetric metric, const QSizeF& page) {
    switch (metric) {
        case QPaintDevice::PdmWidth:
            return int(std::lround(page.width()));
        case QPaintDevice::PdmHeight:
            return int(std::lround(page.height()));
        case QPaintDevice::PdmWidthMM:
            return int(std::lround(page.width() * 25.4 / 72));
        case QPaintDevice::PdmHeightMM:
            return int(std::lround(page.height() * 25.4 / 72));
        case QPaintDevice::PdmNumColors:
            return INT_MAX;
        case QPaintDevice::PdmDepth:
            return 32;
        case QPaintDevice::PdmDpiX:
        case QPaintDevice::PdmDpiY:
        case QPaintDevice::PdmPhysicalDpiX:
        case QPaintDevice::PdmPhysicalDpiY:
            return 72;
        case QPaintDevice::PdmDevicePixelRatio:
            return 1;
        case QPaintDevice::PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
    }
    return 0;
}

}  // namespace velmora::mailconverter

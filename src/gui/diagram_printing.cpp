#include "gui/diagram_printing.h"

#include "core/diagram_model.h"
#include "gui/diagram_renderer.h"
#include "gui/model_text.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace harlox {

namespace {

constexpr double kMargin = 60.0;
constexpr double kHeaderY = 60.0;
constexpr double kDateRight = 1100.0;
// Below the header line: where the first diagram title starts.
constexpr double kContentTop = 170.0;
constexpr double kContentBottom = kPrintPageHeight - 40.0;
constexpr double kTitleHeight = 36.0;
constexpr double kTitleGap = 4.0;

QFont arial(double pixelSize, bool bold) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(static_cast<int>(std::lround(pixelSize)));
    f.setBold(bold);
    return f;
}

// Printed diagrams use a larger text than their frame's area alone would give, so tick
// labels stay readable at the size of a page fraction.
RenderOptions printOptions(const QRectF& frame, bool drawTitle) {
    RenderOptions o;
    o.printing = true;
    o.drawTitle = drawTitle;
    o.unit = std::max(1.3, DiagramRenderer::autoUnit(frame.size()) * 1.25);
    return o;
}

void drawHeader(QPainter& p, const PrintHeader& header) {
    const QFont small = arial(25, false);
    const QFont bold = arial(50, true);
    const QFontMetricsF fm(small);
    const QFontMetricsF bfm(bold);
    p.setPen(Qt::black);
    double headingLeft = kPrintPageWidth / 2.0;
    double headingRight = kPrintPageWidth / 2.0;
    if (!header.heading.isEmpty()) {
        p.setFont(bold);
        const double w = bfm.horizontalAdvance(header.heading);
        headingLeft = kPrintPageWidth / 2.0 - w / 2.0;
        headingRight = kPrintPageWidth / 2.0 + w / 2.0;
        p.drawText(QRectF(0.0, kHeaderY, kPrintPageWidth, bfm.height()), Qt::AlignHCenter | Qt::AlignTop,
                   header.heading);
    }
    // The small texts sit on the heading's baseline when they fit beside it, else on the
    // line below.
    const double baseline = kHeaderY + bfm.ascent();
    const double secondBaseline = kHeaderY + bfm.height() + fm.ascent();
    constexpr double kGap = 20.0;
    const double dateWidth = fm.horizontalAdvance(header.date);
    const bool dateBeside = header.date.isEmpty() || kDateRight - dateWidth >= headingRight + kGap;
    const double nameWidth = fm.horizontalAdvance(header.fileName);
    const bool nameBeside = header.fileName.isEmpty() || kMargin + nameWidth <= headingLeft - kGap;
    p.setFont(small);
    if (!header.date.isEmpty()) {
        const QString text = fm.elidedText(header.date, Qt::ElideRight, kDateRight - kMargin);
        p.drawText(QPointF(kDateRight - fm.horizontalAdvance(text), dateBeside ? baseline : secondBaseline),
                   text);
    }
    if (!header.fileName.isEmpty()) {
        double room = kDateRight - kMargin;
        if (!nameBeside && !dateBeside) room -= dateWidth + kGap;
        const QString text = fm.elidedText(header.fileName, Qt::ElideMiddle, std::max(100.0, room));
        p.drawText(QPointF(kMargin, nameBeside ? baseline : secondBaseline), text);
    }
}

// Diagrams are drawn four times larger and scaled down, so their small text is laid out
// with the precision of a large font.
void renderDiagram(QPainter& p, const QRectF& frame, const DiagramModel& m, bool drawTitle,
                   const RenderOptionsHook& extend = {}) {
    constexpr double kDetail = 4.0;
    RenderOptions o = printOptions(frame, drawTitle);
    if (extend) extend(o);
    o.unit *= kDetail;
    p.save();
    p.translate(frame.topLeft());
    p.scale(1.0 / kDetail, 1.0 / kDetail);
    DiagramRenderer::render(p, QRectF(0.0, 0.0, frame.width() * kDetail, frame.height() * kDetail), m, o);
    p.restore();
}

} // namespace

std::vector<DiagramSlot> diagramSlots(int count, int perPage) {
    std::vector<DiagramSlot> frames;
    if (count <= 0) return frames;
    double wFraction = 0.4, hFraction = 0.18;
    int columns = 2, rows = 4;
    if (perPage == 3) {
        wFraction = 0.8, hFraction = 0.25, columns = 1, rows = 3;
    } else if (perPage == 4) {
        wFraction = 0.7, hFraction = 0.18, columns = 1, rows = 4;
    }
    // Eight to a page all go on the one page.
    const bool paged = perPage == 3 || perPage == 4;
    const int onePage = columns * rows;
    const double w = wFraction * kPrintPageWidth;
    const double h = hFraction * kPrintPageHeight;
    const double pitch = (kContentBottom - kContentTop) / rows;
    const double cellWidth = kPrintPageWidth / columns;
    for (int i = 0; i < count; ++i) {
        const int index = i % onePage;
        const double x = (index % columns) * cellWidth + (cellWidth - w) / 2.0;
        const double top = kContentTop + (index / columns) * pitch;
        DiagramSlot s;
        s.page = paged ? i / onePage : 0;
        s.titleRect = QRectF(x, top, w, kTitleHeight);
        s.frame = QRectF(x, top + kTitleHeight + kTitleGap, w, h);
        frames.push_back(s);
    }
    return frames;
}

QString printDateText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64] = {};
    // The asctime layout, without its line end.
    if (std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y", &local) == 0) return {};
    return QString::fromLatin1(buffer);
}

void mapLogicalPage(QPainter& painter, const QPrinter& printer) {
    const QRect paper = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = std::min(paper.width() / kPrintPageWidth, paper.height() / kPrintPageHeight);
    const double w = kPrintPageWidth * scale;
    const double h = kPrintPageHeight * scale;
    painter.setViewport(QRect(static_cast<int>(std::lround((paper.width() - w) / 2.0)),
                              static_cast<int>(std::lround((paper.height() - h) / 2.0)),
                              static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h))));
    painter.setWindow(0, 0, static_cast<int>(kPrintPageWidth), static_cast<int>(kPrintPageHeight));
}

bool printDiagrams(QPrinter& printer, const std::vector<const DiagramModel*>& diagrams, int perPage,
                   const PrintHeader& header, const std::function<RenderOptionsHook(const DiagramModel&)>& extend) {
    printer.setDocName(QStringLiteral("Harlox print job"));
    QPainter p;
    if (!p.begin(&printer)) return false;
    mapLogicalPage(p, printer);
    p.setRenderHint(QPainter::Antialiasing);
    drawHeader(p, header);
    const std::vector<DiagramSlot> frames = diagramSlots(static_cast<int>(diagrams.size()), perPage);
    const QFont titleFont = arial(25, false);
    int page = 0;
    for (std::size_t i = 0; i < diagrams.size(); ++i) {
        const DiagramSlot& s = frames[i];
        if (s.page != page) {
            if (!printer.newPage()) {
                p.end();
                return false;
            }
            page = s.page;
        }
        if (!diagrams[i]) continue;
        const DiagramModel& m = *diagrams[i];
        p.save();
        p.setFont(titleFont);
        p.setPen(Qt::black);
        p.drawText(s.titleRect, Qt::AlignHCenter | Qt::AlignBottom, fromModelText(m.title()));
        p.restore();
        renderDiagram(p, s.frame, m, false, extend ? extend(m) : RenderOptionsHook{});
    }
    return p.end();
}

bool printDiagramWindow(QPrinter& printer, const DiagramModel& model, const RenderOptionsHook& extend) {
    printer.setDocName(QStringLiteral("Harlox print job"));
    QPainter p;
    if (!p.begin(&printer)) return false;
    mapLogicalPage(p, printer);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = kPrintPageWidth - 2.0 * kMargin;
    const QRectF frame(kMargin, kMargin, w,
                       w * DiagramRenderer::kReferenceHeight / DiagramRenderer::kReferenceWidth);
    renderDiagram(p, frame, model, true, extend);
    return p.end();
}

QString expandTabs(const QString& line, int tabSize) {
    QString out;
    out.reserve(line.size() + 16);
    for (const QChar c : line) {
        if (c == QLatin1Char('\t')) {
            const int spaces = tabSize - static_cast<int>(out.size() % tabSize);
            out.append(QString(spaces, QLatin1Char(' ')));
        } else {
            out.append(c);
        }
    }
    return out;
}

bool printTextWindow(QPrinter& printer, const QString& title, const QString& text) {
    printer.setDocName(QStringLiteral("Harlox print job"));
    QPainter p;
    if (!p.begin(&printer)) return false;
    mapLogicalPage(p, printer);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(25);
    const QFont heading = arial(30, true);
    const QFontMetricsF fm(fixed);
    const double lineHeight = fm.lineSpacing();
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = normalised.split(QLatin1Char('\n'));
    double y = kMargin;
    if (!title.isEmpty()) {
        p.setFont(heading);
        p.drawText(QRectF(kMargin, y, kPrintPageWidth - 2 * kMargin, 40.0), Qt::AlignLeft | Qt::AlignTop,
                   title);
        y += 60.0;
    }
    p.setFont(fixed);
    for (const QString& line : lines) {
        if (y + lineHeight > kPrintPageHeight - kMargin) {
            if (!printer.newPage()) {
                p.end();
                return false;
            }
            y = kMargin;
        }
        p.drawText(QPointF(kMargin, y + fm.ascent()), expandTabs(line));
        y += lineHeight;
    }
    return p.end();
}

} // namespace harlox

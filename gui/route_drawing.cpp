#include "gui/route_drawing.h"

#include "gui/edit_window_dialog.h"
#include "gui/text.h"
#include "views/window_support.h"
#include "workspace/workspace.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsPolygonItem>
#include <QMouseEvent>
#include <QPainterPath>
#include <QTableView>
#include <QWheelEvent>
#include <cmath>

namespace tramela::gui {

namespace {

constexpr double kMarkerRadius = 6.0; // pixels
constexpr double kRingRadius = 11.0;
constexpr int kArrows = 12; // arrows along the line, at most
constexpr double kWheelStep = 1.2;

// The plane's y grows northwards, the scene's downwards.
QPointF scenePoint(network::Point p) {
    return {p.x, -p.y};
}

} // namespace

RouteDrawing::RouteDrawing(const views::CompositionSource& composition, QWidget* parent)
    : QGraphicsView(parent)
    , m_composition(composition) {
    setScene(new QGraphicsScene(this));
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setBackgroundBrush(Qt::white);
    setMinimumSize(320, 240);
    rebuild();
}

QColor RouteDrawing::colourOf(const std::optional<views::StopStanding>& standing) {
    if (!standing) {
        return QColor(128, 128, 128);
    }
    switch (*standing) {
    case views::StopStanding::Ok:
        return QColor(0, 160, 0);
    case views::StopStanding::WrongSide:
        return QColor(255, 140, 0);
    case views::StopStanding::NotAssociable:
        return QColor(220, 0, 0);
    case views::StopStanding::Terminus:
        return QColor(0, 0, 192);
    }
    return QColor(128, 128, 128);
}

QColor RouteDrawing::lineColour() {
    return QColor(40, 40, 40);
}

void RouteDrawing::rebuild() {
    QGraphicsScene* drawing = scene();
    drawing->clear();
    m_markers.clear();
    m_ring = nullptr;
    const auto& polyline = m_composition.polyline();
    if (!polyline) {
        drawing->addText(QStringLiteral("Il percorso non ha una geometria associata"));
        return;
    }
    const auto vertices = polyline->vertices();
    QPainterPath path(scenePoint(vertices.front()));
    for (size_t i = 1; i < vertices.size(); ++i) {
        path.lineTo(scenePoint(vertices[i]));
    }
    QPen pen(lineColour(), 3.0);
    pen.setCosmetic(true); // the same width at every zoom
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    drawing->addPath(path, pen);

    // The direction of travel: arrowheads spread evenly along the line.
    const double length = polyline->Length();
    for (int k = 1; length > 0 && k <= kArrows; ++k) {
        const double at = length * k / (kArrows + 1);
        const auto here = polyline->PointAtProgressive(at);
        const auto ahead = polyline->PointAtProgressive(std::min(length, at + length * 1e-3));
        if (!here || !ahead) {
            continue;
        }
        const QPointF from = scenePoint(*here);
        const QPointF to = scenePoint(*ahead);
        const double angle = std::atan2(to.y() - from.y(), to.x() - from.x()) * 180.0 / M_PI;
        QPolygonF head;
        head << QPointF(6, 0) << QPointF(-5, -5) << QPointF(-5, 5);
        auto* arrow = drawing->addPolygon(head, QPen(Qt::NoPen), QBrush(lineColour()));
        arrow->setPos(from);
        arrow->setRotation(angle);
        arrow->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        arrow->setZValue(1);
    }

    const auto& stops = m_composition.stops();
    for (size_t i = 0; i < stops.size(); ++i) {
        if (!stops[i].onLine) {
            m_markers.push_back(nullptr);
            continue;
        }
        auto* marker = drawing->addEllipse(-kMarkerRadius,
                                           -kMarkerRadius,
                                           2 * kMarkerRadius,
                                           2 * kMarkerRadius,
                                           QPen(Qt::white, 1.5),
                                           QBrush(colourOf(stops[i].standing)));
        marker->setPos(scenePoint(*stops[i].onLine));
        marker->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        marker->setZValue(2);
        marker->setData(0, static_cast<qulonglong>(i));
        marker->setToolTip(toQString(stops[i].code + " " + stops[i].name));
        m_markers.push_back(marker);
    }
    QPen ringPen(QColor(255, 215, 0), 3.0);
    m_ring = drawing->addEllipse(
        -kRingRadius, -kRingRadius, 2 * kRingRadius, 2 * kRingRadius, ringPen, Qt::NoBrush);
    m_ring->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    m_ring->setZValue(3);
    m_ring->setVisible(false);

    // A margin around the route so that the drag can move it about.
    const QRectF box = path.boundingRect();
    const double margin = std::max({box.width(), box.height(), 100.0}) * 0.5;
    drawing->setSceneRect(box.adjusted(-margin, -margin, margin, margin));
    if (!m_zoomed) {
        fitRoute(); // the line is read once with the window: a zoom chosen stays
    }
    highlight(m_highlighted);
}

void RouteDrawing::fitRoute() {
    if (m_composition.polyline()) {
        QRectF box = scene()->itemsBoundingRect();
        box = box.adjusted(
            -box.width() * 0.05, -box.height() * 0.05, box.width() * 0.05, box.height() * 0.05);
        fitInView(box, Qt::KeepAspectRatio);
    }
}

void RouteDrawing::highlight(std::optional<size_t> stop) {
    m_highlighted = stop;
    if (m_ring == nullptr) {
        return;
    }
    const bool shown = stop && *stop < m_markers.size() && m_markers[*stop] != nullptr;
    m_ring->setVisible(shown && m_markers[*stop]->isVisible());
    if (shown) {
        m_ring->setPos(m_markers[*stop]->pos());
    }
}

void RouteDrawing::setStopsVisible(bool visible) {
    for (QGraphicsEllipseItem* marker : m_markers) {
        if (marker != nullptr) {
            marker->setVisible(visible);
        }
    }
    highlight(m_highlighted);
}

std::optional<QPoint> RouteDrawing::stopPixel(size_t stop) const {
    if (stop >= m_markers.size() || m_markers[stop] == nullptr) {
        return std::nullopt;
    }
    return mapFromScene(m_markers[stop]->pos());
}

void RouteDrawing::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        return;
    }
    const double factor = std::pow(kWheelStep, notches);
    scale(factor, factor);
    m_zoomed = true;
    event->accept();
}

void RouteDrawing::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        for (QGraphicsItem* item : items(event->position().toPoint())) {
            const QVariant index = item->data(0);
            if (index.isValid() && item->isVisible()) {
                if (onStopClicked) {
                    onStopClicked(static_cast<size_t>(index.toULongLong()));
                }
                event->accept();
                return;
            }
        }
    }
    QGraphicsView::mousePressEvent(event); // the drag that pans
}

void RouteDrawing::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    if (!m_zoomed) {
        fitRoute();
    }
}

} // namespace tramela::gui

namespace tramela::gui {

std::unique_ptr<EditWindowDialog>
makeCompositionWindow(workspace::Workspace& core, views::EditWindow& routes, QWidget* parent) {
    const views::ListEntry* route = routes.selectedEntry();
    const auto id = route != nullptr && !route->deleted && !route->keys.empty()
                        ? views::support::wholeNumber(route->keys[0])
                        : std::nullopt;
    if (!id || core.connection() == nullptr) {
        return nullptr;
    }
    auto window = std::make_unique<EditWindowDialog>(
        core, 0, views::compositionWindow(network::RouteId{*id}), parent, &routes);
    if (!window->opened()) {
        return nullptr;
    }
    const auto& composition =
        dynamic_cast<const views::CompositionSource&>(window->model().source());
    auto* drawing = new RouteDrawing(composition, window.get());
    drawing->setObjectName(QStringLiteral("route-drawing"));
    window->addBeside(drawing);
    EditWindowDialog* dialog = window.get();
    window->onSynced = [dialog, drawing] {
        drawing->rebuild();
        drawing->highlight(dialog->model().selected());
    };
    window->onSelected = [dialog, drawing] { drawing->highlight(dialog->model().selected()); };
    drawing->onStopClicked = [dialog](size_t stop) {
        if (dialog->model().mode() == views::Mode::Browsing) {
            dialog->list()->selectRow(static_cast<int>(stop));
        }
    };
    drawing->highlight(dialog->model().selected());
    window->resize(1280, 680);
    return window;
}

RouteDrawing* drawingOf(EditWindowDialog& window) {
    return window.findChild<RouteDrawing*>(QStringLiteral("route-drawing"));
}

} // namespace tramela::gui

#pragma once

#include "views/composition_window.h"

#include <QGraphicsView>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QGraphicsEllipseItem;
class QGraphicsPathItem;

namespace tramela::workspace {
class Workspace;
}

namespace tramela::gui {

// A route drawn to scale in the database's planar coordinates (no map beneath: the product works
// offline): its line, arrows in the direction of travel, and every stop of its composition at its
// cartographic progressive on the line, coloured by how it stands with the line. The selected
// stop is ringed. The wheel zooms about the pointer, a drag pans, a click on a stop tells
// `onStopClicked` which stop (its index in the composition's list).
class RouteDrawing : public QGraphicsView {
public:
    explicit RouteDrawing(const views::CompositionSource& composition, QWidget* parent = nullptr);

    // Draws the composition again as last loaded, keeping the zoom the user chose.
    void rebuild();
    // Rings the stop at this index of the list (none: no ring).
    void highlight(std::optional<size_t> stop);

    std::function<void(size_t stop)> onStopClicked;

    // The colour of a stop's standing, and of a stop whose standing is not known.
    static QColor colourOf(const std::optional<views::StopStanding>& standing);
    static QColor lineColour();

    // Whether the stop markers are drawn (the line alone, for checking where they fall).
    void setStopsVisible(bool visible);
    // Where a stop of the list is drawn, in the view's pixels; nothing without a position.
    std::optional<QPoint> stopPixel(size_t stop) const;
    // Fits the whole route in the view.
    void fitRoute();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    const views::CompositionSource& m_composition;
    std::vector<QGraphicsEllipseItem*> m_markers; // one per stop of the list, or nullptr
    QGraphicsEllipseItem* m_ring = nullptr;
    std::optional<size_t> m_highlighted;
    bool m_zoomed = false; // the user zoomed: a resize keeps the scale
};

class EditWindowDialog;

// The composition of the route selected in the routes window, nested in its transaction, with
// the route drawn beside its list; nothing without a selected route (or when the list could not
// be read: said so).
std::unique_ptr<EditWindowDialog> makeCompositionWindow(workspace::Workspace& core,
                                                        views::EditWindow& routes,
                                                        QWidget* parent = nullptr);
// The drawing of a composition window made by makeCompositionWindow.
RouteDrawing* drawingOf(EditWindowDialog& window);

} // namespace tramela::gui

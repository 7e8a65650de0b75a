#include "reports/boards/board_print.h"

#include "reports/boards/board_files.h"
#include "reports/document_viewer.h"
#include "reports/registers/distance_registers.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <utility>

namespace tramela::reports {

namespace {

Shading stopShading(const BoardStop& stop) {
    return stop.primary ? Shading::LightGrey : stop.optional ? Shading::Grey : Shading::White;
}

std::string noteText(int note) {
    const std::array<char, 2> code = noteCode(note);
    return std::string(code.data(), 2);
}

// Lays blocks of rows on the document's pages.
class BlockWriter {
public:
    explicit BlockWriter(ReportDocument& document)
        : m_document(document)
        , m_perPage(document.rowsPerPage()) {}

    void write(const std::vector<Row>& opening, std::vector<Row> body) {
        const std::size_t used = m_document.rows.size() % m_perPage;
        const std::size_t left = used == 0 ? m_perPage : m_perPage - used;
        // A page too short for the opening rows and one more row holds nothing of the block.
        if (used != 0 && (opening.size() + body.size() > left || opening.size() + 1 >= left)) {
            m_document.rows.resize(m_document.rows.size() + left);
        }
        const bool roomy = opening.size() < m_perPage;
        for (std::size_t next = 0; next < body.size();) {
            if (roomy || next == 0) {
                append(opening);
            }
            const std::size_t room = m_perPage - m_document.rows.size() % m_perPage;
            const std::size_t count = std::min(room, body.size() - next);
            std::move(body.begin() + static_cast<std::ptrdiff_t>(next),
                      body.begin() + static_cast<std::ptrdiff_t>(next + count),
                      std::back_inserter(m_document.rows));
            next += count;
        }
    }

private:
    void append(const std::vector<Row>& rows) {
        m_document.rows.insert(m_document.rows.end(), rows.begin(), rows.end());
    }

    ReportDocument& m_document;
    std::size_t m_perPage;
};

} // namespace

ReportDocument boardDocument(ReportDocument document, const BoardSet& set) {
    document.geometry = PageGeometry::landscape();
    document.heading = set.title;
    document.subheading = {set.companyLine};
    document.columns = {{"Codice", 7, Align::Left}, {"Denominazione", 38, Align::Left}};
    for (std::size_t i = 0; i < kPrintedTripsPerBlock; ++i) {
        document.columns.push_back({"", 11, Align::Center});
    }
    BlockWriter writer(document);
    for (const Board& board : set.boards) {
        for (std::size_t first = 0; first < board.columns.size(); first += kPrintedTripsPerBlock) {
            const std::size_t end = std::min(first + kPrintedTripsPerBlock, board.columns.size());
            const auto tripRow = [&](std::string code, std::string label, const auto& valueOf) {
                Row row;
                row.cells = {std::move(code), std::move(label)};
                for (std::size_t c = first; c < end; ++c) {
                    row.cells.push_back(valueOf(c));
                }
                return row;
            };
            std::vector<Row> opening;
            // The route's title split over the two label cells, bold under a rule.
            Row title;
            title.cells = {fmt::format("Itinerario: {}", board.route),
                           fmt::format("[{}] {}", board.routeCode, board.routeName)};
            title.total = true;
            opening.push_back(std::move(title));
            opening.push_back(tripRow("", "ID Corsa", [&](std::size_t c) {
                return std::to_string(board.columns[c].id);
            }));
            opening.push_back(tripRow("", "Nota Cadenza", [&](std::size_t c) {
                return noteText(board.columns[c].note);
            }));
            opening.push_back(tripRow("", "Linea", [&](std::size_t c) {
                return board.columns[c].line + board.columns[c].direction;
            }));

            std::vector<Row> body;
            for (std::size_t s = 0; s < board.stops.size(); ++s) {
                const BoardStop& stop = board.stops[s];
                Row row = tripRow(stop.code, stop.name, [&](std::size_t c) {
                    return cellText(board.cell(s, c));
                });
                row.shading = stopShading(stop);
                body.push_back(std::move(row));
            }
            for (const BoardTotal& total : boardTotals()) {
                body.push_back(tripRow("", total.caption, [&](std::size_t c) {
                    return total.value(board.columns[c]);
                }));
            }
            // The legend of the block's notes, one period a line so that it fits its column.
            std::vector<int> notes;
            for (std::size_t c = first; c < end; ++c) {
                notes.push_back(board.columns[c].note);
            }
            std::sort(notes.begin(), notes.end());
            notes.erase(std::unique(notes.begin(), notes.end()), notes.end());
            for (const int note : notes) {
                const std::string& text = set.notes[static_cast<std::size_t>(note)];
                std::string code = noteText(note);
                for (std::size_t from = 0; from <= text.size();) {
                    const std::size_t to = std::min(text.find("; ", from), text.size());
                    body.push_back({{std::exchange(code, ""), text.substr(from, to - from)}});
                    from = to + 2;
                }
            }
            writer.write(opening, std::move(body));
        }
    }
    return document;
}

ui::Outcome PrintBoards(workspace::Workspace& workspace) {
    const std::optional<BoardSelection> selection = askBoardSelection(workspace.ui());
    if (!selection) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<PrintMode> printMode = askPrintMode(workspace, "Stampa Quadri Orari");
    if (!printMode) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<BoardSet> set = buildBoardSet(*workspace.connection(), *selection);
    if (!set) {
        return ui::Outcome::Failed;
    }
    // No trip: no row, and the viewer says there is nothing to print.
    return presentDocument(
        workspace, boardDocument(newDocument(workspace, "Quadri Orari"), *set), *printMode);
}

} // namespace tramela::reports

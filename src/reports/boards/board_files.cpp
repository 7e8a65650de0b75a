#include "reports/boards/board_files.h"

#include "workspace/text_output.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <filesystem>
#include <fmt/format.h>

namespace tramela::reports {

namespace {

constexpr std::string_view kIndexLink = "\t\t<P ALIGN=CENTER><TABLE ALIGN=CENTER><TR><TD>"
                                        "<A HREF=\"./INDEX.HTM\">Torna all'indice dei percorsi</A>"
                                        "</TD></TR></TABLE></P>";
constexpr std::string_view kNoLabels = "\t\t\t\t<TD></TD><TD></TD><TD></TD>";

// Database texts inside a page: markup characters are written as entities, so that a stop
// named "Via <Roma> & C." reads as typed and cannot break or inject into the page. Every such
// text stands between tags, never inside an attribute, so a double quotation mark stays as it is
// (the title has two).
std::string html(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Database texts inside a tab-separated line: a tab or a line end would shift or split the
// columns, so it becomes a blank.
std::string field(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

std::string code(int note) {
    const std::array<char, 2> chars = noteCode(note);
    return std::string(chars.data(), 2);
}

std::string stopColour(const BoardStop& stop) {
    return stop.primary ? "#ffff00" : stop.optional ? "#00ffff" : "#ffffff";
}

std::string subText(const BoardStop& stop) {
    return fmt::format("{}", stop.sub);
}

void pageOpening(std::vector<std::string>& lines,
                 const BoardSet& set,
                 std::string_view title,
                 const workspace::ReportTime& time) {
    lines.push_back("<HTML>");
    lines.push_back("<!-- Pagina generata automaticamente da Tramela: le modifiche fatte a mano "
                    "vanno perse alla prossima generazione -->");
    lines.push_back(fmt::format("<!-- Creata il {:02d}/{:02d}/{:04d} alle ore {:02d}:{:02d} -->",
                                time.day,
                                time.month,
                                time.year,
                                time.hour,
                                time.minute));
    lines.push_back("\t<HEAD>");
    lines.push_back(fmt::format("\t\t<TITLE>{}</TITLE>", title));
    lines.push_back("\t</HEAD>");
    lines.push_back("\t<BODY>");
    for (const std::string* text : {&set.title, &set.companyLine}) {
        lines.push_back("\t\t<P><H4 ALIGN=CENTER><FONT COLOR=\"#ff0000\">" + html(*text) +
                        "</H4></P>");
    }
}

void row(std::vector<std::string>& lines, std::string cells) {
    lines.push_back("\t\t\t<TR>");
    lines.push_back(std::move(cells));
    lines.push_back("\t\t\t</TR>");
}

} // namespace

std::string boardFileName(const Board& board, std::string_view extension) {
    return fmt::format("Q{:05d}.{}", board.route, extension);
}

std::vector<std::string>
htmlBoardPage(const BoardSet& set, const Board& board, const workspace::ReportTime& time) {
    std::vector<std::string> lines;
    pageOpening(lines, set, fmt::format("Quadro Orario {}", board.route), time);
    lines.push_back("\t\t<P><H2 ALIGN=CENTER><FONT COLOR=\"#0000ff\">" + html(routeTitle(board)) +
                    "</H2></P>");
    lines.emplace_back(kIndexLink);
    lines.push_back("\t\t<TABLE ALIGN=CENTER BORDER=1 BGCOLOR=\"#cfffcf\">");

    const auto heading = [&](std::string_view caption, const auto& cellOf) {
        std::string cells =
            std::string(kNoLabels) + "<TD ALIGN=RIGHT>" + std::string(caption) + "</TD>";
        for (size_t c = 0; c < board.columns.size(); ++c) {
            cells += cellOf(c, board.columns[c]);
        }
        row(lines, std::move(cells));
    };
    heading("Progressivo",
            [](size_t c, const BoardColumn&) { return fmt::format("<TD>{}</TD>", c + 1); });
    heading("Id Corsa", [](size_t, const BoardColumn& column) {
        return fmt::format("<TD>{}</TD>", column.id);
    });
    heading("Nota Cadenza", [](size_t, const BoardColumn& column) {
        return "<TD BGCOLOR=\"#000000\"><FONT COLOR=\"#ffffff\">" + code(column.note) + "</TD>";
    });
    heading("Linea", [](size_t, const BoardColumn& column) {
        return "<TD BGCOLOR=\"#ffffff\">" + html(column.line) + html({&column.direction, 1}) +
               "</TD>";
    });
    std::string cells = "\t\t\t\t<TD>Sub</TD><TD>Codice</TD><TD>Denominazione Fermata</TD>"
                        "<TD ALIGN=RIGHT>Km</TD>";
    for (const BoardColumn& column : board.columns) {
        cells += "<TD>" + html(column.tripCode) + "</TD>";
    }
    row(lines, std::move(cells));

    for (size_t s = 0; s < board.stops.size(); ++s) {
        const BoardStop& stop = board.stops[s];
        const std::string colour = stopColour(stop);
        cells = fmt::format("\t\t\t\t<TD ALIGN=RIGHT>{}</TD><TD>{}</TD><TD BGCOLOR=\"{}\">{}</TD>"
                            "<TD ALIGN=RIGHT BGCOLOR=\"{}\">{}</TD>",
                            subText(stop),
                            html(stop.code),
                            colour,
                            html(stop.name),
                            colour,
                            kilometresText(stop.progressive, "{:.3f}"));
        for (size_t c = 0; c < board.columns.size(); ++c) {
            const BoardCell& cell = board.cell(s, c);
            cells += "<TD ALIGN=CENTER BGCOLOR=\"#cfcfcf\">";
            if (cell.nonStopping) {
                cells += "<FONT COLOR=\"#ffffff\">";
            }
            cells += cellText(cell) + "</TD>";
        }
        row(lines, std::move(cells));
    }

    for (const BoardTotal& total : boardTotals()) {
        cells = std::string(kNoLabels) + "<TD>" + total.caption + "</TD>";
        for (const BoardColumn& column : board.columns) {
            cells += "<TD>" + total.value(column) + "</TD>";
        }
        row(lines, std::move(cells));
    }
    lines.push_back("\t\t</TABLE>");

    lines.push_back("\t\t<TABLE ALIGN=CENTER>");
    for (const int note : board.legend) {
        lines.push_back("\t\t\t<TR>");
        lines.push_back("\t\t\t\t<TD BGCOLOR=\"#000000\"><FONT COLOR=\"#ffffff\">" + code(note) +
                        "</TD><TD>" + html(set.notes[static_cast<size_t>(note)]) + "</TD>");
        lines.push_back("\t\t\t</TR>");
    }
    lines.push_back("\t\t</TABLE>");
    lines.emplace_back(kIndexLink);
    lines.push_back("\t</BODY>");
    lines.push_back("</HTML>");
    return lines;
}

std::vector<std::string> htmlBoardIndex(const BoardSet& set,
                                        const std::vector<const Board*>& boards,
                                        const workspace::ReportTime& time) {
    std::vector<std::string> lines;
    pageOpening(lines, set, "Indice dei Percorsi", time);
    lines.push_back("\t\t<P><H2 ALIGN=CENTER><FONT COLOR=\"#0000ff\">Indice dei Percorsi</H2></P>");
    lines.push_back("\t\t<TABLE ALIGN=CENTER BORDER=1 BGCOLOR=\"#cfffcf\">");
    for (const Board* board : boards) {
        lines.push_back(fmt::format("\t\t\t<TR><TD ALIGN=RIGHT>{}</TD><TD><A HREF=\"./{}\">{}</A>"
                                    "</TD><TD>{}</TD></TR>",
                                    board->route,
                                    boardFileName(*board, "HTM"),
                                    html(board->routeCode),
                                    html(board->routeName)));
    }
    lines.push_back("</TD></TR></TABLE></P>");
    lines.push_back("\t</BODY>");
    lines.push_back("</HTML>");
    return lines;
}

std::vector<std::string>
textBoard(const BoardSet& set, const Board& board, const workspace::ReportTime& time) {
    std::vector<std::string> lines;
    lines.push_back(set.title);
    lines.push_back(fmt::format("Generazione: {:02d}/{:02d}/{:04d} {:02d}:{:02d}",
                                time.day,
                                time.month,
                                time.year,
                                time.hour,
                                time.minute));
    lines.push_back(field(set.companyLine));
    lines.push_back(field(routeTitle(board)));
    lines.emplace_back();

    const auto line = [&](std::string start, const auto& valueOf) {
        for (size_t c = 0; c < board.columns.size(); ++c) {
            start += '\t';
            start += valueOf(c, board.columns[c]);
        }
        lines.push_back(std::move(start));
    };
    line("\t\t\tProgressivo",
         [](size_t c, const BoardColumn&) { return fmt::format("{}", c + 1); });
    line("\t\t\tId Corsa",
         [](size_t, const BoardColumn& column) { return fmt::format("{}", column.id); });
    line("\t\t\tNota Cadenza", [](size_t, const BoardColumn& column) { return code(column.note); });
    line("\t\t\tLinea", [](size_t, const BoardColumn& column) {
        return field(column.line) + field({&column.direction, 1});
    });
    line("Sub\tCodice\tDenominazione\tKm",
         [](size_t, const BoardColumn& column) { return field(column.tripCode); });
    for (size_t s = 0; s < board.stops.size(); ++s) {
        const BoardStop& stop = board.stops[s];
        line(fmt::format("{}\t{}\t{}\t{}",
                         subText(stop),
                         field(stop.code),
                         field(stop.name),
                         kilometresText(stop.progressive, "{:.3f}")),
             [&](size_t c, const BoardColumn&) { return cellText(board.cell(s, c)); });
    }
    for (const BoardTotal& total : boardTotals()) {
        line(std::string("\t\t\t") + total.caption,
             [&](size_t, const BoardColumn& column) { return total.value(column); });
    }
    for (const int note : board.legend) {
        lines.push_back(code(note) + "\t" + field(set.notes[static_cast<size_t>(note)]));
    }
    return lines;
}

namespace {

ui::FormSpec selectionForm() {
    ui::FormField route;
    route.id = kBoardsRouteField;
    route.caption = "Codice Percorso (vuoto: tutti)";
    route.maxLength = 20;
    ui::FormField line;
    line.id = kBoardsLineField;
    line.caption = "Codice Linea (vuoto: tutte)";
    line.maxLength = 10;
    ui::FormSpec form;
    form.id = kBoardsSelectionFormId;
    form.title = "Selezione Quadri Orari";
    form.groups = {{"", {route, line}}};
    return form;
}

std::string trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

} // namespace

std::optional<BoardSelection> askBoardSelection(ui::Ui& ui) {
    const std::optional<ui::FormValues> values = ui.Form(selectionForm());
    if (!values) {
        return std::nullopt;
    }
    BoardSelection selection;
    if (const auto route = values->find(kBoardsRouteField); route != values->end()) {
        selection.routeCode = trimmed(route->second);
    }
    if (const auto line = values->find(kBoardsLineField); line != values->end()) {
        selection.line = trimmed(line->second);
    }
    return selection;
}

namespace {

enum class BoardFormat { Html, Text };

ui::FileDialog folderDialog(BoardFormat format) {
    ui::FileDialog dialog;
    dialog.key = kBoardsFolderKey;
    dialog.initialName = "QuadriOrari";
    if (format == BoardFormat::Html) {
        dialog.title = "Selezione Cartella per Esportazione Quadri Orari (HTML)";
        dialog.defaultExtension = "htm";
        dialog.filters = {{"File HTML (*.htm)", "*.htm"}, {"Tutti i files (*.*)", "*"}};
    } else {
        dialog.title = "Selezione Cartella per Esportazione Quadri Orari (Testo e tabulazione)";
        dialog.defaultExtension = "txt";
        dialog.filters = {{"File TXT (*.txt)", "*.txt"}, {"Tutti i files (*.*)", "*"}};
    }
    return dialog;
}

bool writeLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    workspace::TextFileWriter writer;
    if (!writer.open(path)) {
        return false;
    }
    workspace::Latin1Encoder encoder;
    for (const std::string& line : lines) {
        // Most lines are plain ASCII, the same bytes in both encodings.
        const bool ascii = std::all_of(
            line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        writer.writeLine(ascii ? line : encoder.encode(line));
    }
    return writer.close();
}

ui::Outcome exportBoards(workspace::Workspace& workspace, BoardFormat format) {
    ui::Ui& ui = workspace.ui();
    const std::optional<BoardSelection> selection = askBoardSelection(ui);
    if (!selection) {
        return ui::Outcome::Cancelled;
    }
    const std::optional<BoardSet> set = buildBoardSet(*workspace.connection(), *selection);
    if (!set) {
        return ui::Outcome::Failed;
    }
    if (set->columnCount() == 0) {
        ui.Message("Non ci sono dati da generare !!!", ui::Icon::Information);
        return ui::Outcome::Done;
    }
    const auto chosen = ui.SaveFile(folderDialog(format));
    if (!chosen) {
        return ui::Outcome::Cancelled;
    }
    // Only the folder of the chosen name is used; the name itself is never created.
    const std::filesystem::path folder = std::filesystem::absolute(*chosen).parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        // Without its folder no file can be created: one message, not one per route.
        ui.Message("Impossibile creare\n\n" + folder.string() + "\n\nLa cartella non esiste.",
                   ui::Icon::Stop);
        return ui::Outcome::Failed;
    }
    const workspace::ReportTime time = workspace::ReportTime::now();
    const std::string_view extension = format == BoardFormat::Html ? "HTM" : "TXT";

    int written = 0;
    std::string failed;
    std::vector<const Board*> pages;
    for (const Board& board : set->boards) {
        const std::filesystem::path path = folder / boardFileName(board, extension);
        const bool done = writeLines(path,
                                     format == BoardFormat::Html ? htmlBoardPage(*set, board, time)
                                                                 : textBoard(*set, board, time));
        if (done) {
            ++written;
            pages.push_back(&board);
        } else {
            failed += "\n" + path.string();
        }
    }
    if (format == BoardFormat::Html) {
        // The index links the pages that were written.
        const std::filesystem::path path = folder / "INDEX.HTM";
        if (!writeLines(path, htmlBoardIndex(*set, pages, time))) {
            failed += "\n" + path.string();
        }
    }
    if (!failed.empty()) {
        ui.Message("Impossibile creare\n" + failed, ui::Icon::Exclamation);
    }
    ui.Message(fmt::format("Sono stati generati {} Quadri Orari", written), ui::Icon::Information);
    return failed.empty() ? ui::Outcome::Done : ui::Outcome::Failed;
}

} // namespace

ui::Outcome ExportHtmlBoards(workspace::Workspace& workspace) {
    return exportBoards(workspace, BoardFormat::Html);
}

ui::Outcome ExportTextBoards(workspace::Workspace& workspace) {
    return exportBoards(workspace, BoardFormat::Text);
}

} // namespace tramela::reports

// The questions of the timetable boards written to a folder: one file per route (and the index
// of the pages).

#include "app/board_commands.h"

#include "app/parameters.h"
#include "reports/boards/board_files.h"

#include <filesystem>

namespace tramela::app {

using namespace parameters;

namespace {

// The export writes into the folder of the file chosen in its dialog.
Parameter boardsFolder(std::string_view name) {
    Parameter parameter = fileArgument(
        "DIR", reports::kBoardsFolderKey, "La cartella in cui scrivere i quadri (deve esistere)");
    parameter.answer = [name = std::string(name)](ui::Answers& answers, const std::string& folder) {
        answers.files[std::string(reports::kBoardsFolderKey)] =
            std::filesystem::path(folder) / name;
    };
    return parameter;
}

} // namespace

namespace {

std::vector<Parameter> selectionParameters() {
    const std::string form(reports::kBoardsSelectionFormId);
    return {fieldOption("--route",
                        "CODICE",
                        form,
                        reports::kBoardsRouteField,
                        "Solo il percorso con questo codice"),
            fieldOption(
                "--line", "L", form, reports::kBoardsLineField, "Solo le corse di questa linea")};
}

} // namespace

std::vector<Parameter> boardParameters(std::string_view name) {
    std::vector<Parameter> parameters = selectionParameters();
    parameters.insert(parameters.begin(), boardsFolder(name));
    return parameters;
}

std::vector<Parameter> printedBoardParameters(Parameter pdf, Parameter print) {
    std::vector<Parameter> parameters = selectionParameters();
    parameters.push_back(std::move(pdf));
    parameters.push_back(std::move(print));
    return parameters;
}

} // namespace tramela::app

#include "app/association_parameters.h"

#include "app/parameters.h"
#include "network/association_command.h"

#include <string>

namespace tramela::app {

std::vector<Parameter> associationParameters() {
    using namespace parameters;
    const std::string form(network::kAssociationFormId);
    Parameter report = fileOption(
        "--report", ui::keys::kReport, "Salva qui il report dell'analisi (senza: non salvato)");
    // The report's choices are asked only once the report is wanted; given the file, the dialog
    // is answered with its proposed values where no flag gave one.
    report.answer = [form](ui::Answers& answers, const std::string& value) {
        answers.files[std::string(ui::keys::kReport)] = value;
        answers.forms[form];
    };
    return {
        std::move(report),
        fieldFlag("--full",
                  form,
                  network::kFullReportField,
                  "1",
                  "Report completo: ogni percorso con tutte le sue fermate"),
        fieldFlag("--absent",
                  form,
                  network::kAbsentField,
                  "1",
                  "Riporta le fermate assenti dalla composizione ma associabili"),
        fieldFlag("--wrong",
                  form,
                  network::kWrongField,
                  "1",
                  "Riporta le fermate presenti ma non associabili o sul lato strada errato"),
    };
}

} // namespace tramela::app

// The command table's analyses: the contract totals and the differential analysis.

#include "app/analysis_commands.h"

#include "app/parameters.h"
#include "reports/analysis/contracts.h"
#include "reports/analysis/differential.h"

#include <filesystem>
#include <string>

namespace tramela::app {

namespace {

using namespace parameters;

// "--first D D" / "--second D D": the start and the end of one period.
Parameter periodOption(std::string name,
                       std::string_view startField,
                       std::string_view endField,
                       std::string help) {
    Parameter parameter = fieldOption(
        std::move(name), "GG/MM/AAAA", reports::kPeriodsFormId, startField, std::move(help));
    parameter.values = 2;
    parameter.required = true;
    parameter.answer = [startField = std::string(startField), endField = std::string(endField)](
                           ui::Answers& answers, const std::string& value) {
        const size_t split = value.find('\n');
        ui::FormValues& form = answers.forms[std::string(reports::kPeriodsFormId)];
        form[startField] = value.substr(0, split);
        form[endField] = split == std::string::npos ? std::string() : value.substr(split + 1);
    };
    return parameter;
}

// The folder of the five files: its save dialog answered by a name inside it.
Parameter analysisFolder() {
    Parameter parameter = fileArgument("DIR",
                                       reports::kAnalysisFolderKey,
                                       "La cartella in cui scrivere i cinque file (deve esistere)");
    parameter.answer = [](ui::Answers& answers, const std::string& folder) {
        answers.files[std::string(reports::kAnalysisFolderKey)] =
            std::filesystem::path(folder) / "AnalisiDifferenziale.TXT";
    };
    return parameter;
}

} // namespace

Command contractsCommand() {
    using namespace reports;
    return {.menuId = 5131,
            .label = "verifica &Contratti",
            .cli = "contracts",
            .help = "Le corse di un contratto con lunghezze, tempi e totali; --txt ne scrive "
                    "l'esportazione di testo, --pdf le pagine (senza: testo su stdout)",
            .parameters = {fieldOption("--line",
                                       "LINEA",
                                       kContractsFormId,
                                       kContractLineField,
                                       "Solo le corse di questa linea aziendale"),
                           fieldOption("--lot",
                                       "N",
                                       kContractsFormId,
                                       kContractLotField,
                                       "Solo le corse di questo Lotto di gara"),
                           fieldOption("--company",
                                       "N",
                                       kContractsFormId,
                                       kContractCompanyField,
                                       "Solo le corse di questa Azienda di gestione"),
                           fieldOption("--subcontractor",
                                       "N",
                                       kContractsFormId,
                                       kContractSubcontractorField,
                                       "Solo le corse di questa Azienda subappaltatrice"),
                           fieldFlag("--cartographic",
                                     kContractsFormId,
                                     kCartographicField,
                                     "1",
                                     "Distanze su base cartografica (altrimenti convenzionale)"),
                           fileOption("--txt",
                                      kContractsTextKey,
                                      "Scrive qui l'esportazione di testo del report")},
            .entry = ContractTotals};
}

Command differentialCommand() {
    using namespace reports;
    return {.menuId = 5163,
            .label = "Analisi &Differenziale Periodi Esercizio",
            .cli = "differential",
            .help = "Confronta due periodi di esercizio e scrive i cinque file dell'analisi",
            .parameters = {analysisFolder(),
                           periodOption("--first",
                                        kFirstStartField,
                                        kFirstEndField,
                                        "Inizio e fine del primo periodo"),
                           periodOption("--second",
                                        kSecondStartField,
                                        kSecondEndField,
                                        "Inizio e fine del secondo periodo")},
            .entry = RunDifferentialAnalysis};
}

} // namespace tramela::app

#include "comm/gtfs/gtfs_command.h"

#include "comm/gtfs/gtfs_import.h"
#include "workspace/workspace.h"

#include <charconv>
#include <fmt/format.h>

namespace tramela::comm::gtfs {

namespace {

struct WholeNumberField {
    std::string_view id;
    std::string_view caption;
    std::optional<int> ImportOptions::*option;
};

constexpr WholeNumberField kWholeNumbers[] = {
    {kCrsField,
     "Sistema di riferimento piano, EPSG:NNNN (predefinito: fuso UTM del feed)",
     &ImportOptions::epsg},
    {kAuthorityField, "Codice dell'Ente concedente delle corse", &ImportOptions::authority},
    {kLotField, "Codice del Lotto di gara", &ImportOptions::lot},
    {kCompanyField, "Codice dell'Azienda di gestione", &ImportOptions::company},
    {kSubcontractorField, "Codice dell'Azienda subappaltatrice", &ImportOptions::subcontractor},
};

// A whole number as typed; a reference system may be written "EPSG:NNNN". Nothing when it is not
// one.
std::optional<int> wholeNumber(std::string_view id, std::string_view text) {
    if (id == kCrsField && (text.starts_with("EPSG:") || text.starts_with("epsg:"))) {
        text.remove_prefix(5);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

} // namespace

ui::FormSpec gtfsOptionsForm() {
    ui::FormSpec spec;
    spec.id = kOptionsFormId;
    spec.title = "Importazione GTFS";
    ui::FormGroup group;
    const auto textField = [](std::string_view id, std::string_view caption) {
        ui::FormField field;
        field.id = id;
        field.caption = caption;
        return field;
    };
    for (const WholeNumberField& field : kWholeNumbers) {
        group.fields.push_back(textField(field.id, field.caption));
        if (field.id == kCrsField) {
            group.fields.push_back(
                textField(kLocalitiesField,
                          "File CSV delle località: stop_id, località, codice ISTAT, comune"));
        }
    }
    spec.groups.push_back(std::move(group));
    spec.validate = [](const ui::FormValues& values) -> std::optional<ui::Refusal> {
        for (const WholeNumberField& field : kWholeNumbers) {
            const std::string& text = valueOf(values, field.id);
            if (!text.empty() && !wholeNumber(field.id, text)) {
                return ui::Refusal{
                    fmt::format("ATTENZIONE: il valore \"{}\" del campo \"{}\" non è valido.\n\n"
                                "Il valore deve essere un numero intero{}.\n\n"
                                "I dati immessi non saranno registrati !!!",
                                text,
                                field.caption,
                                field.id == kCrsField ? " (EPSG:NNNN o NNNN)" : ""),
                    ui::Icon::Stop,
                    {}};
            }
        }
        return std::nullopt;
    };
    return spec;
}

ui::Outcome ImportGtfsCommand(workspace::Workspace& workspace) {
    ui::Ui& ui = workspace.ui();
    ui::FileDialog feedDialog;
    feedDialog.key = kFeedKey;
    feedDialog.title = "Selezione del feed GTFS (cartella o file .zip)";
    feedDialog.filters = {{"Feed GTFS (*.zip)", "*.zip"}, {"Tutti i files (*.*)", "*"}};
    feedDialog.mustExist = true;
    const auto feed = ui.OpenFile(feedDialog);
    if (!feed) {
        return ui::Outcome::Cancelled;
    }
    const auto values = ui.Form(gtfsOptionsForm());
    if (!values) {
        return ui::Outcome::Cancelled;
    }
    ImportOptions options;
    options.feed = *feed;
    for (const WholeNumberField& field : kWholeNumbers) {
        if (const std::string& text = valueOf(*values, field.id); !text.empty()) {
            options.*field.option = wholeNumber(field.id, text);
        }
    }
    if (const std::string& localities = valueOf(*values, kLocalitiesField); !localities.empty()) {
        options.localities = localities;
    }
    return ImportGtfs(workspace, options) ? ui::Outcome::Done : ui::Outcome::Failed;
}

} // namespace tramela::comm::gtfs

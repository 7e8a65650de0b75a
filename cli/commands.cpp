#include "commands.h"

#include "app/command_table.h"
#include "app/demo_database.h"
#include "calendar/cadences.h"
#include "calendar/calendar.h"
#include "comm/gtfs/gtfs_import.h"
#include "comm/xml/export_parameters.h"
#include "comm/xml/server_config.h"
#include "store/cartography.h"
#include "store/value_text.h"
#include "workspace/company_header.h"
#include "workspace/typed_date.h"

#include <charconv>
#include <fmt/format.h>
#include <iostream>

namespace tramela::cli {

namespace {

void printTitle(Context& context) {
    std::cout << context.window.title() << '\n';
}

void oneFile(CLI::App& command, Arguments& arguments, const char* name, const char* help) {
    arguments.files.resize(1);
    command.add_option(name, arguments.files[0], help)->required();
}

// The company header dialog's fields, answered by flags of the same names.
void companyOptions(CLI::App& command, Arguments& arguments) {
    const std::pair<const char*, const char*> fields[] = {
        {"code", "Codice Regionale Azienda"},
        {"date", "Data di invio della comunicazione (GG/MM/AAAA)"},
        {"protocol", "Protocollo della comunicazione"},
        {"responsible", "Responsabile dell'invio"},
        {"start", "Data di inizio periodo (GG/MM/AAAA)"},
        {"end", "Data di fine periodo (GG/MM/AAAA)"},
    };
    for (const auto& [id, help] : fields) {
        command
            .add_option_function<std::string>(
                std::string("--") + id,
                [&arguments, id = std::string(id)](const std::string& value) {
                    arguments.form[id] = value;
                },
                help)
            ->type_name("TESTO");
    }
}

void company(Context& context, const Arguments& arguments) {
    if (arguments.form.empty()) {
        // Without options the command shows the header as it stands.
        if (!context.window.isConnected()) {
            app::Route(context.window, 5108);
            return;
        }
        if (const auto header = workspace::ReadCompanyHeader(*context.window.connection())) {
            std::cout << workspace::formatCompanyHeader(*header);
        }
        return;
    }
    ui::FormValues values(arguments.form.begin(), arguments.form.end());
    context.ui.answerForm(std::string(workspace::kCompanyFormId), std::move(values));
    if (app::Route(context.window, 5108)) {
        printTitle(context);
    }
}

void connect(Context& context, const Arguments& arguments) {
    // The binding outlives this run and its working folder.
    context.ui.queueFile(std::filesystem::absolute(arguments.files[0]));
    app::Route(context.window, 5104);
    printTitle(context);
}

void disconnect(Context& context, const Arguments&) {
    app::Route(context.window, 5105);
    printTitle(context);
}

void repair(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    app::Route(context.window, 5106);
}

void duplicate(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    context.ui.queueFile(arguments.files[1]);
    app::Route(context.window, 5107);
}

void newDatabase(Context& context, const Arguments& arguments) {
    store::createCartographyDatabase(context.ui, arguments.files[0]);
}

void title(Context& context, const Arguments&) {
    printTitle(context);
}

void menu(Context& context, const Arguments&) {
    std::cout << app::menuTree(context.window);
}

// The connection a command of the command line's own needs, or the same refusal the menu gives.
store::DatabaseConnection* requireDatabase(Context& context, int menuId) {
    if (context.window.isConnected()) {
        return context.window.connection();
    }
    app::Route(context.window, menuId);
    return nullptr;
}

// A sub-action of a command ("calendar fill ...") with its positional arguments and options.
CLI::App* action(CLI::App& command, Arguments& arguments, const char* name, const char* help) {
    CLI::App* sub = command.add_subcommand(name, help);
    sub->callback([&arguments, name] { arguments.form["action"] = name; });
    return sub;
}

void positional(CLI::App& command, Arguments& arguments, const char* name, const char* help) {
    command
        .add_option_function<std::string>(
            name,
            [&arguments, name](const std::string& value) { arguments.form[name] = value; },
            help)
        ->required();
}

void option(
    CLI::App& command, Arguments& arguments, const char* flag, const char* key, const char* help) {
    command
        .add_option_function<std::string>(
            flag,
            [&arguments, key](const std::string& value) { arguments.form[key] = value; },
            help)
        ->type_name("GG/MM/AAAA");
}

void cadenceOptions(CLI::App& command, Arguments& arguments) {
    command.require_subcommand(1);
    action(command, arguments, "list", "Elenca le cadenze");
    CLI::App* add = action(command, arguments, "add", "Inserisce una nuova cadenza");
    positional(*add, arguments, "CODE", "Codice della cadenza (al massimo 10 caratteri)");
    positional(*add, arguments, "NAME", "Denominazione della cadenza");
    CLI::App* modify = action(command, arguments, "modify", "Modifica una cadenza");
    positional(*modify, arguments, "CODE", "Codice della cadenza");
    positional(*modify, arguments, "NAME", "Nuova denominazione");
    CLI::App* remove = action(command, arguments, "delete", "Elimina una cadenza");
    positional(*remove, arguments, "CODE", "Codice della cadenza");
}

void cadences(Context& context, const Arguments& arguments) {
    store::DatabaseConnection* connection = requireDatabase(context, 5110);
    if (connection == nullptr) {
        return;
    }
    const std::string& action = arguments.form.at("action");
    const auto value = [&](const char* key) { return arguments.form.at(key); };
    if (action == "list") {
        for (const calendar::Cadence& cadence : calendar::listCadences(*connection)) {
            std::cout << fmt::format("{:<10} {}\n", cadence.code, cadence.name);
        }
    } else if (action == "add") {
        calendar::addCadence(*connection, value("CODE"), value("NAME"));
    } else if (action == "modify") {
        calendar::modifyCadence(*connection, value("CODE"), value("NAME"));
    } else {
        calendar::deleteCadence(*connection, value("CODE"));
    }
}

void calendarOptions(CLI::App& command, Arguments& arguments) {
    command.require_subcommand(1);
    const auto range = [&](CLI::App& sub) {
        option(sub, arguments, "--from", "from", "Primo giorno (predefinito: inizio del periodo)");
        option(sub, arguments, "--to", "to", "Ultimo giorno (predefinito: fine del periodo)");
    };
    range(*action(command, arguments, "days", "Elenca i giorni del calendario"));
    CLI::App* fill = action(command, arguments, "fill", "Genera una cadenza nei giorni scelti");
    positional(*fill, arguments, "CADENCE", "Codice della cadenza");
    range(*fill);
    fill->add_option_function<std::string>(
            "--weekdays",
            [&arguments](const std::string& value) { arguments.form["weekdays"] = value; },
            "Giorni della settimana (1=Lun ... 7=Dom), predefinito 1234567")
        ->type_name("1234567");
    CLI::App* clear = action(command, arguments, "clear", "Toglie una cadenza dai giorni");
    positional(*clear, arguments, "CADENCE", "Codice della cadenza");
    range(*clear);
    for (const auto& [name, help] : {std::pair{"add", "Attiva una cadenza in un giorno"},
                                     std::pair{"remove", "Disattiva una cadenza in un giorno"}}) {
        CLI::App* sub = action(command, arguments, name, help);
        positional(*sub, arguments, "DAY", "Il giorno (GG/MM/AAAA)");
        positional(*sub, arguments, "CADENCE", "Codice della cadenza");
    }
    CLI::App* note = action(command, arguments, "note", "Annotazione di un giorno");
    positional(*note, arguments, "DAY", "Il giorno (GG/MM/AAAA)");
    note->add_option_function<std::string>(
        "TEXT",
        [&arguments](const std::string& value) { arguments.form["TEXT"] = value; },
        "L'annotazione (vuota: nessuna)");
}

// A date of the calendar's dialogs, by the typed-date rule; the refusal when it fails it.
std::optional<Date> calendarDate(Context& context, const std::string& text) {
    if (const auto date = workspace::parseTypedDate(text)) {
        return date;
    }
    context.ui.Message("ATTENZIONE: la data del giorno è espressa in un formato illegale.\n\n"
                       "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
                       "I dati immessi non saranno registrati !!!",
                       ui::Icon::Stop);
    return std::nullopt;
}

void printDays(const calendar::DayList& days) {
    for (const calendar::CalendarDay& day : days.days()) {
        std::string line = fmt::format("{} {} {:<9} {:<10}",
                                       day.date.display(),
                                       day.weekday,
                                       calendar::weekdayName(day.weekday),
                                       day.holiday);
        for (const calendar::DayCadence& cadence : day.cadences) {
            line += " " + cadence.code;
            const std::string_view note = store::withoutTrailingBlanks(cadence.note);
            if (!note.empty()) {
                line += fmt::format(" [{}]", note);
            }
        }
        std::cout << store::withoutTrailingBlanks(line) << '\n';
    }
}

void calendarCommand(Context& context, const Arguments& arguments) {
    store::DatabaseConnection* connection = requireDatabase(context, 5111);
    if (connection == nullptr) {
        return;
    }
    const auto text = [&](const char* key) {
        const auto found = arguments.form.find(key);
        return found != arguments.form.end() ? found->second : std::string();
    };
    // The range defaults to the communication period of the company header.
    auto [first, last] = calendar::communicationPeriod(*connection);
    for (const auto& [key, date] : {std::pair{"from", &first}, std::pair{"to", &last}}) {
        if (!text(key).empty()) {
            const auto typed = calendarDate(context, text(key));
            if (!typed) {
                return;
            }
            *date = *typed;
        }
    }
    std::optional<Date> day;
    if (!text("DAY").empty()) {
        day = calendarDate(context, text("DAY"));
        if (!day) {
            return;
        }
        first = std::min(first, *day);
        last = std::max(last, *day);
    }
    calendar::DayList days(first, last);
    if (!days.LoadCalendar(*connection)) {
        return;
    }
    calendar::CalendarEditor editor(*connection, days);
    const std::string action = text("action");
    const std::string cadence = text("CADENCE");
    if (action == "days") {
        printDays(days);
    } else if (action == "fill") {
        const auto weekdays =
            calendar::parseWeekdays(text("weekdays").empty() ? "1234567" : text("weekdays"));
        if (!weekdays) {
            context.ui.Message("ATTENZIONE: i giorni della settimana si indicano con le cifre da "
                               "1 (Lunedi) a 7 (Domenica).\n\n"
                               "I dati immessi non saranno registrati !!!",
                               ui::Icon::Stop);
            return;
        }
        // The fill itself refuses a cadence the register does not hold; then there is no count.
        if (const auto added = editor.FillCadence(cadence, first, last, *weekdays)) {
            context.ui.Message(
                fmt::format("Cadenza {}: aggiunti {} giorni al calendario.", cadence, *added),
                ui::Icon::Information);
        }
    } else if (action == "clear") {
        if (const auto cleared = editor.ClearCadence(cadence, first, last)) {
            context.ui.Message(
                fmt::format("Cadenza {}: tolti {} giorni dal calendario.", cadence, *cleared),
                ui::Icon::Information);
        }
    } else if (action == "add") {
        editor.AddCadence(*day, cadence);
    } else if (action == "remove") {
        editor.RemoveCadence(*day, cadence);
    } else if (action == "note") {
        editor.SetAnnotation(*day, text("TEXT"));
    }
}

// The verification report, offered when the verification finds something: written to FILE
// when --report names one, not written otherwise.
void reportOption(CLI::App& command, Arguments& arguments) {
    command
        .add_option_function<std::string>(
            "--report",
            [&arguments](const std::string& value) { arguments.form["report"] = value; },
            "Scrive il report degli errori riscontrati in questo file")
        ->type_name("FILE");
}

void answerReport(Context& context, const Arguments& arguments) {
    if (const auto report = arguments.form.find("report"); report != arguments.form.end()) {
        context.ui.answerFile("Report Errori Riscontrati", report->second);
    }
}

void verify(Context& context, const Arguments& arguments) {
    answerReport(context, arguments);
    app::Route(context.window, 5152);
}

void exportTxt(Context& context, const Arguments& arguments) {
    answerReport(context, arguments);
    // The export writes into the folder of the file chosen in its dialog.
    context.ui.queueFile(std::filesystem::path(arguments.files[0]) / "RT_PROTO.TXT");
    app::Route(context.window, 5130);
}

void exportStandardLines(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    app::Route(context.window, 5159);
}

void importStandardLines(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    app::Route(context.window, 5160);
}

// The title of the dialogs that offer a report of errors found.
constexpr std::string_view kStandardLinesReportTitle = "Report Errori Riscontrati";

void identifyOptions(CLI::App& command, Arguments& arguments) {
    command.add_flag_callback(
        "--railway",
        [&arguments] { arguments.form["railway"] = "1"; },
        "Variante per le linee ferroviarie");
    command
        .add_option_function<std::string>(
            "--report",
            [&arguments](const std::string& value) { arguments.form["report"] = value; },
            "Scrive il report delle linee in errore in questo file")
        ->type_name("FILE");
}

void identifyStandardLines(Context& context, const Arguments& arguments) {
    if (const auto report = arguments.form.find("report"); report != arguments.form.end()) {
        context.ui.answerFile(std::string(kStandardLinesReportTitle), report->second);
    }
    app::Route(context.window, arguments.form.contains("railway") ? 5166 : 5162);
}

void gtfsOptions(CLI::App& command, Arguments& arguments) {
    oneFile(command, arguments, "FEED", "Il feed GTFS: una cartella o un file .zip");
    const std::pair<const char*, const char*> options[] = {
        {"--crs", "Sistema di riferimento piano, EPSG:NNNN (predefinito: fuso UTM del feed)"},
        {"--localities", "File CSV delle località: stop_id, località, codice ISTAT, comune"},
        {"--authority", "Codice dell'Ente concedente delle corse"},
        {"--lot", "Codice del Lotto di gara"},
        {"--company", "Codice dell'Azienda di gestione"},
        {"--subcontractor", "Codice dell'Azienda subappaltatrice"},
    };
    for (const auto& [flag, help] : options) {
        command.add_option_function<std::string>(
            flag,
            [&arguments, key = std::string(flag + 2)](const std::string& value) {
                arguments.form[key] = value;
            },
            help);
    }
}

// A whole number given on the command line, or the refusal.
std::optional<int> wholeNumberOption(Context& context,
                                     const Arguments& arguments,
                                     const std::string& key,
                                     bool& valid) {
    const auto found = arguments.form.find(key);
    if (found == arguments.form.end()) {
        return std::nullopt;
    }
    std::string_view text = found->second;
    if (key == "crs" && (text.starts_with("EPSG:") || text.starts_with("epsg:"))) {
        text.remove_prefix(5);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        context.ui.Message(fmt::format("ATTENZIONE: il valore \"{}\" dell'opzione --{} non è "
                                       "valido.\n\nI dati immessi non saranno registrati !!!",
                                       found->second,
                                       key),
                           ui::Icon::Stop);
        valid = false;
    }
    return value;
}

void importGtfs(Context& context, const Arguments& arguments) {
    if (!context.window.isConnected()) {
        app::Route(context.window, 5109); // the same refusal: a database is needed
        return;
    }
    comm::gtfs::ImportOptions options;
    options.feed = arguments.files[0];
    bool valid = true;
    options.epsg = wholeNumberOption(context, arguments, "crs", valid);
    options.authority = wholeNumberOption(context, arguments, "authority", valid);
    options.lot = wholeNumberOption(context, arguments, "lot", valid);
    options.company = wholeNumberOption(context, arguments, "company", valid);
    options.subcontractor = wholeNumberOption(context, arguments, "subcontractor", valid);
    if (const auto localities = arguments.form.find("localities");
        localities != arguments.form.end()) {
        options.localities = localities->second;
    }
    if (valid) {
        comm::gtfs::ImportGtfs(context.window, options);
    }
}

void demo(Context& context, const Arguments& arguments) {
    if (app::BuildDemoDatabase(context.ui, arguments.files[0])) {
        context.ui.Message(fmt::format("Il database dimostrativo {} è pronto.", arguments.files[0]),
                           ui::Icon::Information);
    }
}

// A single import: the file answers the import's open dialog.
template <int MenuId> void importFile(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    app::Route(context.window, MenuId);
}

void importTrips(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    context.ui.queueFile(arguments.files[1]);
    app::Route(context.window, 5124);
}

// The complete import asks for the protocol and cadence files; the others come from their folder.
void importAll(Context& context, const Arguments& arguments) {
    const std::filesystem::path folder = arguments.files[0];
    context.ui.queueFile(folder / "RT_PROTO.TXT");
    context.ui.queueFile(folder / "RT_CADEN.TXT");
    app::Route(context.window, 5126);
}

// The server configuration of a transmission: chosen by name, its values confirmed as stored.
void answerServerConfiguration(Context& context, const std::string& name) {
    context.ui.answerForm(std::string(comm::xml::kChooseFormId),
                          {{std::string(comm::xml::kConfigurationField), name}});
    context.ui.answerForm(std::string(comm::xml::kConnectionFormId), {});
}

void exportXmlOptions(CLI::App& command, Arguments& arguments) {
    option(command, arguments, "--from", "from", "Inizio del periodo di validità");
    option(command, arguments, "--to", "to", "Fine del periodo di validità");
    command
        .add_option_function<std::string>(
            "--type",
            [&arguments](const std::string& value) { arguments.form["type"] = value; },
            "Tipo di comunicazione")
        ->check(CLI::IsMember({"BUDGET", "PLANNING", "PROJECT", "TEST"}))
        ->type_name("BUDGET|PLANNING|PROJECT|TEST");
    const std::pair<const char*, const char*> filters[] = {
        {"lot", "Codice del Lotto di gara"},
        {"authority", "Codice dell'Ente contrattuale"},
        {"company", "Codice dell'Azienda di gestione"},
        {"subcontractor", "Codice dell'Azienda subappaltatrice"},
        {"line", "Codice della linea aziendale"},
    };
    for (const auto& [key, help] : filters) {
        command
            .add_option_function<std::string>(
                std::string("--") + key,
                [&arguments, key = std::string(key)](const std::string& value) {
                    arguments.form[key] = value;
                },
                help)
            ->type_name(std::string_view(key) == "line" ? "LINEA" : "N");
    }
    CLI::Option* local =
        command
            .add_option_function<std::string>(
                "--local",
                [&arguments](const std::string& value) { arguments.form["local"] = value; },
                "Genera la comunicazione in questo file (compressa LZMA accanto)")
            ->type_name("FILE");
    command.add_flag_callback(
        "--no-compress",
        [&arguments] { arguments.form["no-compress"] = "1"; },
        "Lascia la comunicazione non compressa");
    CLI::Option* send =
        command
            .add_option_function<std::string>(
                "--send",
                [&arguments](const std::string& value) { arguments.form["send"] = value; },
                "Trasmette la comunicazione con questa configurazione del server")
            ->type_name("CONFIGURAZIONE");
    local->excludes(send);
    command.require_option(1, 0);
    reportOption(command, arguments);
}

// The flags answer the parameters dialog; the file or the server configuration the dialogs that
// follow it.
void exportXml(Context& context, const Arguments& arguments) {
    answerReport(context, arguments);
    const auto given = [&](const char* key) -> const std::string* {
        const auto found = arguments.form.find(key);
        return found != arguments.form.end() ? &found->second : nullptr;
    };
    ui::FormValues values;
    for (const char* key : {"from", "to", "lot"}) {
        if (const std::string* value = given(key)) {
            values[key] = *value;
        }
    }
    for (const char* key : {"authority", "company", "subcontractor", "line"}) {
        if (const std::string* value = given(key)) {
            values[key] = *value;
            values[std::string(key) + "_all"] = "0";
        }
    }
    if (const std::string* type = given("type")) {
        values["type"] = std::string(*comm::xml::communicationTypeEntry(*type));
    }
    if (const std::string* file = given("local")) {
        values["mode"] = std::string(comm::xml::kLocalGeneration);
        values["compression"] = std::string(
            given("no-compress") != nullptr ? comm::xml::kUncompressed : comm::xml::kCompressed);
        context.ui.queueFile(*file);
    } else if (const std::string* configuration = given("send")) {
        values["mode"] = std::string(comm::xml::kTransmission);
        answerServerConfiguration(context, *configuration);
    }
    context.ui.answerForm(std::string(comm::xml::kExportParametersFormId), std::move(values));
    app::Route(context.window, 5155);
}

void sendXml(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    answerServerConfiguration(context, arguments.form.at("config"));
    app::Route(context.window, 5167);
}

// The configuration file answers the open dialog, the passphrase its dialog.
void importServerConfig(Context& context, const Arguments& arguments) {
    context.ui.queueFile(arguments.files[0]);
    ui::FormValues values;
    if (const auto passphrase = arguments.form.find("passphrase");
        passphrase != arguments.form.end()) {
        values["passphrase"] = passphrase->second;
    }
    context.ui.answerForm(std::string(comm::xml::kPassphraseFormId), std::move(values));
    app::Route(context.window, 5161);
}

void importFileOption(CLI::App& command, Arguments& arguments) {
    oneFile(command, arguments, "FILE", "Il file da importare");
}

} // namespace

std::vector<CliCommand> cliCommands() {
    return {
        {.name = "create-tables", .menuId = 5109},
        {.name = "upgrade-xml", .menuId = 5158},
        {.name = "clear-tables", .menuId = 5118},
        {.name = "connect",
         .menuId = 5104,
         .startup = Startup::Settings,
         .addOptions = [](CLI::App& c,
                          Arguments& a) { oneFile(c, a, "FILE", "Il database da associare"); },
         .run = connect},
        {.name = "disconnect", .menuId = 5105, .startup = Startup::Settings, .run = disconnect},
        {.name = "repair",
         .menuId = 5106,
         .startup = Startup::None,
         .addOptions = [](CLI::App& c,
                          Arguments& a) { oneFile(c, a, "FILE", "Il database da riparare"); },
         .run = repair},
        {.name = "duplicate",
         .menuId = 5107,
         .startup = Startup::None,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 a.files.resize(2);
                 c.add_option("FROM", a.files[0], "Il database di origine")->required();
                 c.add_option("TO", a.files[1], "Il database di destinazione (nuovo)")->required();
             },
         .run = duplicate},
        {.name = "company", .menuId = 5108, .addOptions = companyOptions, .run = company},
        {.name = "about", .menuId = 5102, .description = "Informazioni sul programma"},
        {.name = "import-protocol",
         .menuId = 5115,
         .addOptions = importFileOption,
         .run = importFile<5115>},
        {.name = "import-cadences",
         .menuId = 5116,
         .addOptions = importFileOption,
         .run = importFile<5116>},
        {.name = "import-calendar",
         .menuId = 5117,
         .addOptions = importFileOption,
         .run = importFile<5117>},
        {.name = "import-trips",
         .menuId = 5124,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 a.files.resize(2);
                 c.add_option("HDORA", a.files[0], "Il file delle testate corsa (RT_HDORA.TXT)")
                     ->required();
                 c.add_option("DTORA", a.files[1], "Il file dei dettagli corsa (RT_DTORA.TXT)")
                     ->required();
             },
         .run = importTrips},
        {.name = "import-all",
         .menuId = 5126,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 oneFile(c, a, "DIR", "La cartella dei file della comunicazione");
             },
         .run = importAll},
        {.name = "import-periods",
         .menuId = 5125,
         .addOptions = importFileOption,
         .run = importFile<5125>},
        {.name = "import-extcodes",
         .menuId = 5153,
         .addOptions = importFileOption,
         .run = importFile<5153>},
        {.name = "verify", .menuId = 5152, .addOptions = reportOption, .run = verify},
        {.name = "export-txt",
         .menuId = 5130,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 oneFile(c, a, "DIR", "La cartella in cui scrivere la comunicazione");
                 reportOption(c, a);
             },
         .run = exportTxt},
        {.name = "export-standard-lines",
         .menuId = 5159,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 oneFile(c, a, "FILE", "Il file delle Linee Standard da scrivere");
             },
         .run = exportStandardLines},
        {.name = "import-standard-lines",
         .menuId = 5160,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 oneFile(c, a, "FILE", "Il file delle Linee Standard da leggere");
             },
         .run = importStandardLines},
        {.name = "export-xml", .menuId = 5155, .addOptions = exportXmlOptions, .run = exportXml},
        {.name = "send-xml",
         .menuId = 5167,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 oneFile(c, a, "FILE", "La comunicazione XML prodotta esternamente");
                 c.add_option_function<std::string>(
                      "--config",
                      [&a](const std::string& value) { a.form["config"] = value; },
                      "La configurazione del server da usare")
                     ->required()
                     ->type_name("CONFIGURAZIONE");
             },
         .run = sendXml},
        {.name = "import-server-config",
         .menuId = 5161,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 oneFile(c, a, "FILE", "Il file di configurazione Sirventa (.srvt)");
                 c.add_option_function<std::string>(
                      "--passphrase",
                      [&a](const std::string& value) { a.form["passphrase"] = value; },
                      "La passphrase del file")
                     ->type_name("TESTO");
             },
         .run = importServerConfig},
        {.name = "cadences",
         .addOptions = cadenceOptions,
         .run = cadences,
         .description = "gestione Cadenze: elenco, inserimento, modifica, eliminazione"},
        {.name = "calendar",
         .addOptions = calendarOptions,
         .run = calendarCommand,
         .description = "gestione Calendario: giorni, generazione e pulizia delle cadenze"},
        {.name = "identify-standard-lines",
         .menuId = 5162,
         .addOptions = identifyOptions,
         .run = identifyStandardLines},
        {.name = "remove-standard-lines", .menuId = 5164},
        {.name = "import-gtfs",
         .addOptions = gtfsOptions,
         .run = importGtfs,
         .description = "Importa una rete e un orario in formato GTFS"},
        {.name = "demo",
         .startup = Startup::None,
         .addOptions = [](CLI::App& c,
                          Arguments& a) { oneFile(c, a, "FILE", "Il database da creare"); },
         .run = demo,
         .description = "Crea il database dimostrativo della rete di Valmora"},
        {.name = "new-database",
         .startup = Startup::None,
         .addOptions = [](CLI::App& c,
                          Arguments& a) { oneFile(c, a, "FILE", "Il file da creare"); },
         .run = newDatabase,
         .description = "Crea un database vuoto con le tavole della cartografia e del catalogo"},
        {.name = "title",
         .run = title,
         .description = "Il titolo della finestra principale per il database corrente"},
        {.name = "menu",
         .run = menu,
         .description = "L'albero del menu con identificativi e stato di abilitazione"},
    };
}

void runCommand(const CliCommand& command, Context& context, const Arguments& arguments) {
    switch (command.startup) {
    case Startup::None:
        break;
    case Startup::Settings:
        context.window.LoadSettings();
        break;
    case Startup::Full:
        context.window.Startup(context.database);
        break;
    }
    if (command.run != nullptr) {
        command.run(context, arguments);
    } else {
        app::Route(context.window, command.menuId);
    }
}

} // namespace tramela::cli

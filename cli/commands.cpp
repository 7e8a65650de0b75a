#include "commands.h"

#include "app/command_table.h"
#include "app/company_header.h"
#include "store/cartography.h"

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
        if (const auto header = app::ReadCompanyHeader(*context.window.connection())) {
            std::cout << app::formatCompanyHeader(*header);
        }
        return;
    }
    ui::FormValues values(arguments.form.begin(), arguments.form.end());
    context.ui.answerForm(std::string(app::kCompanyFormId), std::move(values));
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

void queueFiles(Context& context, const Arguments& arguments) {
    for (const std::string& file : arguments.files) {
        context.ui.queueFile(file);
    }
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
         .run = queueFiles},
        {.name = "duplicate",
         .menuId = 5107,
         .startup = Startup::None,
         .addOptions =
             [](CLI::App& c, Arguments& a) {
                 a.files.resize(2);
                 c.add_option("FROM", a.files[0], "Il database di origine")->required();
                 c.add_option("TO", a.files[1], "Il database di destinazione (nuovo)")->required();
             },
         .run = queueFiles},
        {.name = "company", .menuId = 5108, .addOptions = companyOptions, .run = company},
        {.name = "about", .menuId = 5102},
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
    // The command line's own commands, and the menu commands that need their dialogs answered,
    // run through their function; the others are routed straight to the menu's entry.
    if (command.run != nullptr) {
        command.run(context, arguments);
        if (command.menuId == 0 || command.menuId == 5104 || command.menuId == 5105 ||
            command.menuId == 5108) {
            return;
        }
    }
    app::Route(context.window, command.menuId);
}

} // namespace tramela::cli

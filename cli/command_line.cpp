#include "command_line.h"

#include <fmt/format.h>

namespace tramela::cli {

// One subcommand: the commands it may run and the value given to each of their parameters,
// by the parameter's name.
struct CommandLine::Subcommand {
    std::vector<const app::Command*> variants;
    std::map<std::string, std::optional<std::string>, std::less<>> given;
};

namespace {

// The menu's label (so that a reader finds the command from the menu), then what the command
// does where the label does not say it.
std::string description(const std::vector<const app::Command*>& variants) {
    const app::Command& first = *variants.front();
    const std::string label = app::plainLabel(first.label);
    if (label.size() < 2) {
        return std::string(first.help);
    }
    return first.help.empty() ? label : label + ": " + std::string(first.help);
}

// The command a subcommand runs: the variant whose flag was given, or the one without a flag.
const app::Command*
chosenVariant(const std::vector<const app::Command*>& variants,
              const std::map<std::string, std::optional<std::string>, std::less<>>& given) {
    const app::Command* plain = nullptr;
    for (const app::Command* command : variants) {
        if (command->cliVariant.empty()) {
            plain = command;
        } else if (const auto flag = given.find(command->cliVariant);
                   flag != given.end() && flag->second) {
            return command;
        }
    }
    return plain;
}

} // namespace

CommandLine::CommandLine(CLI::App& app) {
    std::vector<std::string_view> names;
    for (const app::Command& command : app::commandTable()) {
        if (command.cli.empty() || !command.built() ||
            std::find(names.begin(), names.end(), command.cli) != names.end()) {
            continue; // not built yet: the menu lists it, the command line does not offer it
        }
        names.push_back(command.cli);
        std::vector<const app::Command*> variants;
        for (const app::Command* variant : app::findCommandsByCli(command.cli)) {
            if (variant->built()) {
                variants.push_back(variant);
            }
        }
        addSubcommand(app, std::move(variants));
    }
}

CommandLine::~CommandLine() = default;

void CommandLine::addSubcommand(CLI::App& parent, std::vector<const app::Command*> variants) {
    const app::Command& first = *variants.front();
    CLI::App* sub = parent.add_subcommand(std::string(first.cli), description(variants));
    sub->group("Comandi");
    sub->set_help_flag("-h,--help", "Mostra questo aiuto ed esce");
    auto subcommand = std::make_unique<Subcommand>();
    subcommand->variants = variants;
    Subcommand* slots = subcommand.get();
    m_subcommands.push_back(std::move(subcommand));

    if (!first.actions.empty()) {
        sub->require_subcommand(1);
        for (const app::Command& action : first.actions) {
            addSubcommand(*sub, {&action});
        }
        return;
    }
    sub->callback([this, slots] { m_chosen = slots; });

    // The parameters of every variant, each name once; alternatives in a group of their own, of
    // which exactly one is given.
    std::map<std::string, CLI::Option*, std::less<>> options;
    std::map<std::string, CLI::Option_group*, std::less<>> groups;
    for (const app::Command* command : variants) {
        for (const app::Parameter& parameter : command->parameters) {
            if (options.contains(parameter.name)) {
                continue;
            }
            CLI::App* owner = sub;
            if (!parameter.alternatives.empty()) {
                CLI::Option_group*& group = groups[parameter.alternatives];
                if (group == nullptr) {
                    group = sub->add_option_group(parameter.alternatives);
                    group->require_option(1);
                }
                owner = group;
            }
            std::optional<std::string>& value = slots->given[parameter.name];
            CLI::Option* option = nullptr;
            if (parameter.kind == app::Parameter::Kind::Flag) {
                option = owner->add_flag_callback(
                    parameter.name, [&value] { value = "1"; }, parameter.help);
            } else if (parameter.values > 1) {
                option = owner
                             ->add_option_function<std::vector<std::string>>(
                                 parameter.name,
                                 [&value](const std::vector<std::string>& texts) {
                                     std::string joined;
                                     for (size_t i = 0; i < texts.size(); ++i) {
                                         joined += (i > 0 ? "\n" : "") + texts[i];
                                     }
                                     value = joined;
                                 },
                                 parameter.help)
                             ->expected(parameter.values);
            } else {
                option = owner->add_option_function<std::string>(
                    parameter.name,
                    [&value](const std::string& text) { value = text; },
                    parameter.help);
                if (!parameter.valueName.empty() &&
                    parameter.kind == app::Parameter::Kind::Option) {
                    option->type_name(parameter.valueName);
                }
            }
            if (parameter.kind == app::Parameter::Kind::Positional) {
                option->type_name(parameter.valueName.empty() ? "TESTO" : parameter.valueName);
            }
            if (parameter.required) {
                option->required();
            }
            if (!parameter.choices.empty()) {
                option->check(CLI::IsMember(parameter.choices));
            }
            options.emplace(parameter.name, option);
        }
    }
    for (const app::Command* command : variants) {
        for (const app::Parameter& parameter : command->parameters) {
            for (const std::string& other : parameter.excludes) {
                if (const auto found = options.find(other); found != options.end()) {
                    options.at(parameter.name)->excludes(found->second);
                }
            }
        }
    }
}

std::optional<CommandLine::Selection> CommandLine::selection() const {
    if (m_chosen == nullptr) {
        return std::nullopt;
    }
    Selection selection;
    selection.command = chosenVariant(m_chosen->variants, m_chosen->given);
    if (selection.command == nullptr) {
        return std::nullopt;
    }
    for (const app::Parameter& parameter : selection.command->parameters) {
        if (!parameter.answers.empty()) {
            selection.answers.spelling[parameter.answers] = parameter.name;
        }
        if (!parameter.form.empty()) {
            selection.answers.forms[parameter.form]; // the dialog is answered, as proposed
        }
    }
    // In the order of the table: an answer may complete an earlier one ("--no-compress" after
    // "--local").
    for (const app::Parameter& parameter : selection.command->parameters) {
        const auto value = m_chosen->given.find(parameter.name);
        if (value != m_chosen->given.end() && value->second) {
            parameter.answer(selection.answers, *value->second);
            if (parameter.name != selection.command->cliVariant) {
                selection.anyGiven = true;
            }
        } else if (parameter.requiredInBatch) {
            selection.missingInBatch.push_back(&parameter);
        }
    }
    return selection;
}

std::string usageFailure(const CLI::App* /*app*/, const CLI::Error& error) {
    const std::string_view what = error.what();
    const std::string name = error.get_name();
    // What precedes the first ": " of CLI11's text: the option it is about.
    const std::string_view option = what.substr(0, what.find(": "));
    const auto after = [&](std::string_view mark) {
        const auto at = what.find(mark);
        return at == std::string_view::npos ? std::string_view() : what.substr(at + mark.size());
    };
    std::string text;
    if (name == "RequiredError") {
        if (what == "A subcommand is required") {
            text = "Manca il comando da eseguire, o il comando indicato non esiste";
        } else if (what.starts_with("Exactly 1 option from [")) {
            std::string_view options = after("[");
            text = fmt::format("Occorre indicare una e una sola delle opzioni {}",
                               options.substr(0, options.find(']')));
        } else if (what.ends_with(" is required")) {
            text =
                fmt::format("Manca l'argomento obbligatorio {}",
                            what.substr(0, what.size() - std::string_view(" is required").size()));
        }
    } else if (!after("not expected: ").empty()) {
        text = fmt::format("Argomento non previsto: {}", after("not expected: "));
    } else if (name == "ArgumentMismatch" && option != what) {
        text = fmt::format("Manca il valore dell'opzione {}", option);
    } else if (name == "ExcludesError" && !after(" excludes ").empty()) {
        text = fmt::format("Le opzioni {} e {} non possono essere usate insieme",
                           what.substr(0, what.find(" excludes ")),
                           after(" excludes "));
    } else if ((name == "ValidationError" || name == "ConversionError") && option != what) {
        text = fmt::format("Valore non ammesso per l'opzione {}", option);
    }
    if (text.empty()) {
        text = fmt::format("Riga di comando non valida ({})", what);
    }
    return text + "\nPer l'aiuto: --help\n";
}

namespace {

// CLI11's help with its fixed English phrases in Italian.
class ItalianFormatter : public CLI::Formatter {
public:
    std::string make_description(const CLI::App* app) const override {
        std::string text = app->get_description();
        if (app->get_require_option_min() == 1 && app->get_require_option_max() == 1) {
            text += "\n[una e una sola delle opzioni seguenti]";
        }
        return text.empty() ? text : text + "\n";
    }

    std::string make_expanded(const CLI::App* sub) const override {
        std::string text = CLI::Formatter::make_expanded(sub);
        for (const auto& [english, italian] : {std::pair<std::string_view, std::string_view>{
                                                   "[Option Group: ", "[Gruppo di opzioni: "},
                                               {"Options:", "Opzioni:"}}) {
            for (auto at = text.find(english); at != std::string::npos; at = text.find(english)) {
                text.replace(at, english.size(), italian);
            }
        }
        return text;
    }
};

} // namespace

void speakItalian(CLI::App& app) {
    app.formatter(std::make_shared<ItalianFormatter>());
    app.option_defaults()->group("Opzioni");
    app.set_help_flag("-h,--help", "Mostra questo aiuto ed esce");
    const auto formatter = app.get_formatter();
    for (const auto& [key, label] : {std::pair{"Usage", "Uso"},
                                     std::pair{"OPTIONS", "OPZIONI"},
                                     std::pair{"SUBCOMMAND", "COMANDO"},
                                     std::pair{"SUBCOMMANDS", "COMANDI"},
                                     std::pair{"Positionals", "Argomenti"},
                                     std::pair{"Options", "Opzioni"},
                                     std::pair{"Subcommands", "Comandi"},
                                     std::pair{"REQUIRED", "OBBLIGATORIO"},
                                     std::pair{"Excludes", "Esclude"},
                                     std::pair{"Needs", "Richiede"}}) {
        formatter->label(key, label);
    }
    app.failure_message(usageFailure);
}

} // namespace tramela::cli

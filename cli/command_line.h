#pragma once

#include "app/registry.h"
#include "ui/answers.h"

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tramela::cli {

// The command line's subcommands, built from the command table: one per command line name
// (commands that share a name are told apart by their variant flag), with its positional
// arguments and flags as the table declares them, and the operations of a command as its own
// subcommands. No command has code of its own here.
class CommandLine {
public:
    explicit CommandLine(CLI::App& app);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;
    ~CommandLine();

    // What the parsed command line asks for.
    struct Selection {
        const app::Command* command = nullptr;
        ui::Answers answers;
        bool anyGiven = false; // some parameter of the command was given
        // Parameters that must be given when nobody can be asked, and were not.
        std::vector<const app::Parameter*> missingInBatch;
    };

    // After parsing: the command chosen and the answers its parameters give; nothing when no
    // command was chosen.
    std::optional<Selection> selection() const;

private:
    struct Subcommand;

    void addSubcommand(CLI::App& parent, std::vector<const app::Command*> variants);

    std::vector<std::unique_ptr<Subcommand>> m_subcommands;
    const Subcommand* m_chosen = nullptr;
};

// CLI11's own failure in Italian, as every other text of the command line.
std::string usageFailure(const CLI::App* app, const CLI::Error& error);

// Italian labels and help flag for the help CLI11 writes.
void speakItalian(CLI::App& app);

} // namespace tramela::cli

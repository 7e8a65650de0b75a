#include "store/cartography.h"
#include "store/table_definition.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/company_header.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::workspace {
namespace {

using ui::FormValues;
using ui::Icon;
using ui::ScriptedUi;

constexpr std::string_view kBadCompany =
    "ATTENZIONE: Il Codice Regionale Azienda non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Azienda presente nella lista.\n\n"
    "I dati immessi non saranno registrati !!!";
constexpr std::string_view kNotRecorded = "\n\nI dati immessi non saranno registrati !!!";

std::string dateRefusal(std::string_view which) {
    return "ATTENZIONE: la data di " + std::string(which) +
           " è espressa in un formato illegale.\n\n"
           "Le date devono essere espresse nella forma GG/MM/AAAA." +
           std::string(kNotRecorded);
}

const std::string kBadSendingDate = dateRefusal("invio della comunicazione");
const std::string kBadStart = dateRefusal("inizio periodo");
const std::string kBadEnd = dateRefusal("fine periodo");
const std::string kBadProtocol =
    "ATTENZIONE: il numero di protocollo della comunicazione non è valido.\n\n"
    "Il protocollo deve essere espresso come numero intero da 0 a 2147483647." +
    std::string(kNotRecorded);

store::TableDefinition masterTable(bool withExtraRequiredField = false) {
    using enum store::FieldType;
    store::TableDefinition master{"master",
                                  {{"codice", Short, 0, true},
                                   {"azienda", Short, 0, true},
                                   {"p_data", Date, 0, false},
                                   {"protoc", Long, 0, false},
                                   {"resple", Text, 40, false},
                                   {"datini", Date, 0, true},
                                   {"datfin", Date, 0, true}},
                                  {{"codice", true, {"codice"}}}};
    if (withExtraRequiredField) {
        master.fields.push_back({"extra", Text, 10, true});
    }
    return master;
}

// A cartography database with three companies (one with a five-digit code) and a header table,
// opened in a main window.
class CompanyHeaderTest : public ::testing::Test {
protected:
    void open(const std::string& sql, bool withExtraRequiredField = false) {
        const auto path = dir / "azienda.sqlite";
        ASSERT_TRUE(store::createCartographyDatabase(ui, path));
        const std::string script = store::createTableScript(masterTable(withExtraRequiredField)) +
                                   "INSERT INTO regazi VALUES (42, 'Autolinee Valmora   ');"
                                   "INSERT INTO regazi VALUES (7, 'Bus Alpini');"
                                   "INSERT INTO regazi VALUES (10000, 'Consorzio Grande');" +
                                   sql;
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
        window.Startup(path);
        ASSERT_TRUE(window.isConnected());
        ui.clear();
    }

    // The header row as stored: azienda|p_data|protoc|resple|datini|datfin, NULL for null.
    std::string storedRow() {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(window.connection()->handle(),
                           "SELECT azienda, p_data, protoc, resple, datini, datfin FROM master "
                           "WHERE codice = 0",
                           -1,
                           &stmt,
                           nullptr);
        std::string row;
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int i = 0; i < 6; ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                row += (i > 0 ? "|" : "") + std::string(text != nullptr ? text : "NULL");
            }
        }
        sqlite3_finalize(stmt);
        return row;
    }

    test::TempDir dir;
    ScriptedUi ui;
    Settings settings{dir / "settings.toml"};
    Workspace window{ui, settings};
};

constexpr std::string_view kHeader2009 =
    "INSERT INTO master VALUES (0, 42, '2009-03-01', 17, 'Mario Rossi', '2009-01-01', "
    "'2009-12-31');";

TEST_F(CompanyHeaderTest, NewDatabaseGetsAHeaderRowAndTheDialogOpensOnIt) {
    open("");
    ui.answerForm("company", std::nullopt);
    EditCompanyHeader(window);

    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(storedRow(), "0|NULL|NULL|NULL|1900-01-01|2099-12-31");
    ASSERT_EQ(ui.forms().size(), 1u);
    const ui::FormSpec& form = ui.forms()[0];
    EXPECT_EQ(form.id, "company");
    EXPECT_EQ(form.title, "Intestazione Azienda e Comunicazione");
    EXPECT_EQ(form.groups.size(), 3u);
    const ui::FormField* code = form.field("code");
    EXPECT_EQ(code->maxLength, 4);
    EXPECT_EQ(code->entries,
              (std::vector<std::string>{
                  "0042 - Autolinee Valmora", "0007 - Bus Alpini", "10000 - Consorzio Grande"}));
    // Company 0 is in no list entry: the first OK without choosing one is refused.
    EXPECT_EQ(form.validate(form.initialValues())->text, kBadCompany);
    EXPECT_EQ(window.title(),
              "Tramela - Azienda 0 - Azienda non definita [periodo dal 01/01/1900 al 31/12/2099]");
}

TEST_F(CompanyHeaderTest, RefusalsComeInTheDialogsOrderAndTheCorrectedHeaderIsStored) {
    open("");
    // Every attempt repeats what the user had typed, as the dialog keeps it.
    FormValues typed{{"code", "4x"}, {"date", "1/3/2009"}, {"start", "31/02/2009"}, {"end", ""}};
    const auto attempt = [&](std::string_view id, std::string_view value) {
        typed.insert_or_assign(std::string(id), std::string(value));
        ui.answerForm("company", typed);
    };
    ui.answerForm("company", typed);
    attempt("code", "1000"); // begins "10000 - Consorzio Grande", names no company
    attempt("code", "42");
    attempt("date", "01.03.09");
    attempt("protocol", "abc");
    attempt("protocol", "-5");
    attempt("protocol", "2147483648");
    attempt("protocol", " 17/A");
    attempt("responsible", "Mario Rossi  ");
    attempt("start", "01-01-2009");
    attempt("end", "31/12/09");
    EditCompanyHeader(window);

    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{std::string(kBadCompany),
                                        std::string(kBadCompany),
                                        kBadSendingDate,
                                        kBadStart,
                                        kBadProtocol,
                                        kBadProtocol,
                                        kBadProtocol,
                                        kBadStart,
                                        kBadStart,
                                        kBadEnd}));
    for (const auto& message : ui.messages()) {
        EXPECT_EQ(message.icon, Icon::Stop);
    }
    EXPECT_EQ(ui.pendingAnswers(), 0u);
    EXPECT_EQ(storedRow(), "42|2009-03-01|17|Mario Rossi|2009-01-01|2009-12-31");
    EXPECT_EQ(window.title(),
              "Tramela - Azienda 42 - Autolinee Valmora [periodo dal 01/01/2009 al 31/12/2009]");
}

TEST_F(CompanyHeaderTest, EmptyDateAndProtocolAreStoredEmptyShownEmptyAndAnnullaKeepsThem) {
    open(std::string(kHeader2009));
    // A picked entry may come as its whole text; a period may run backwards.
    ui.answerForm("company",
                  FormValues{{"code", "0007 - Bus Alpini"},
                             {"date", ""},
                             {"protocol", ""},
                             {"start", "31/12/2009"},
                             {"end", "01/01/2009"}});
    EditCompanyHeader(window);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(storedRow(), "7|NULL|NULL|Mario Rossi|2009-12-31|2009-01-01");

    ui.answerForm("company", FormValues{{"code", "0009"}, {"protocol", "5"}});
    ui.answerForm("company", std::nullopt);
    EditCompanyHeader(window);
    EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{std::string(kBadCompany)}));
    EXPECT_EQ(storedRow(), "7|NULL|NULL|Mario Rossi|2009-12-31|2009-01-01");
    EXPECT_EQ(ui.forms().back().initialValues(),
              (FormValues{{"code", "0007"},
                          {"date", ""},
                          {"protocol", ""},
                          {"responsible", "Mario Rossi"},
                          {"start", "31/12/2009"},
                          {"end", "01/01/2009"}}));
}

TEST_F(CompanyHeaderTest, AHeaderRowThatCannotBeCreatedEndsTheCommand) {
    open("", true);
    EditCompanyHeader(window);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "Errore aggiornamento tavola (master)\n\n"
                  "Il campo obbligatorio 'master.extra' non può contenere un valore nullo",
                  "ATTENZIONE: risulta impossibile trovare il MASTER\n\n"
                  "Presumibilmente il DataBase è corrotto !!!"}));
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
    EXPECT_TRUE(ui.forms().empty());
    EXPECT_EQ(storedRow(), "");
}

TEST_F(CompanyHeaderTest, StoredHeaderIsReadForDisplay) {
    open("");
    EXPECT_EQ(ReadCompanyHeader(*window.connection()), std::nullopt);
    EXPECT_TRUE(ui.messages().empty());

    window.connection()->execute(std::string(kHeader2009) + "UPDATE master SET protoc = -3;");
    const std::optional<CompanyHeader> header = ReadCompanyHeader(*window.connection());
    ASSERT_TRUE(header);
    EXPECT_EQ(formatCompanyHeader(*header),
              "Codice Regionale Azienda: 0042 - Autolinee Valmora\n"
              "Data: 01/03/2009\n"
              "Protocollo: \n"
              "Responsabile: Mario Rossi\n"
              "Data Inizio: 01/01/2009\n"
              "Data Fine: 31/12/2009\n");
}

} // namespace
} // namespace tramela::workspace

#include "store/cartography.h"
#include "store/table_definition.h"
#include "support/golden.h"
#include "support/sample_workspace.h"
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
using ui::ScriptedUi;

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
        return test::rows(*window.connection(),
                          "SELECT azienda, ifnull(p_data, 'NULL'), ifnull(protoc, 'NULL'), "
                          "ifnull(resple, 'NULL'), datini, datfin FROM master WHERE codice = 0");
    }

    test::TempDir dir;
    ScriptedUi ui;
    Settings settings{dir / "settings.toml"};
    Workspace window{ui, settings};
    test::Transcript steps{ui, {}};
};

constexpr std::string_view kHeader2009 =
    "INSERT INTO master VALUES (0, 42, '2009-03-01', 17, 'Mario Rossi', '2009-01-01', "
    "'2009-12-31');";

TEST_F(CompanyHeaderTest, NewDatabaseGetsAHeaderRowAndTheDialogOpensOnIt) {
    open("");
    ui.answerForm("company", std::nullopt);
    EditCompanyHeader(window);

    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(storedRow(), "0|NULL|NULL|NULL|1900-01-01|2099-12-31\n");
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
    steps.add("OK on the initial values", form.validate(form.initialValues())->text + "\n");
    EXPECT_GOLDEN(steps.text(), "company_header/new_database.txt");
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

    steps.step("every refusal, in the dialog's order");
    EXPECT_GOLDEN(steps.text(), "company_header/refusals.txt");
    EXPECT_EQ(ui.pendingAnswers(), 0u);
    EXPECT_EQ(storedRow(), "42|2009-03-01|17|Mario Rossi|2009-01-01|2009-12-31\n");
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
    EXPECT_EQ(storedRow(), "7|NULL|NULL|Mario Rossi|2009-12-31|2009-01-01\n");

    ui.answerForm("company", FormValues{{"code", "0009"}, {"protocol", "5"}});
    ui.answerForm("company", std::nullopt);
    EditCompanyHeader(window);
    EXPECT_EQ(ui.forms().back().initialValues(),
              (FormValues{{"code", "0007"},
                          {"date", ""},
                          {"protocol", ""},
                          {"responsible", "Mario Rossi"},
                          {"start", "31/12/2009"},
                          {"end", "01/01/2009"}}));
    steps.step("an unknown company, then Annulla");
    EXPECT_GOLDEN(steps.text(), "company_header/annulla.txt");
    EXPECT_EQ(storedRow(), "7|NULL|NULL|Mario Rossi|2009-12-31|2009-01-01\n");
}

TEST_F(CompanyHeaderTest, AHeaderRowThatCannotBeCreatedEndsTheCommand) {
    open("", true);
    EditCompanyHeader(window);
    EXPECT_GOLDEN(test::transcript(ui), "company_header/no_header_row.txt");
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

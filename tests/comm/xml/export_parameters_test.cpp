#include "comm/xml/export_parameters.h"
#include "store/database_connection.h"
#include "support/golden.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::comm::xml {
namespace {

using ui::ScriptedUi;

class ExportParametersTest : public ::testing::Test {
protected:
    ExportParametersTest() {
        test::createSampleNetwork(dir / "rete.sqlite");
        // Trip 2 runs on a second company line, stored with a trailing blank.
        test::runSql(dir / "rete.sqlite", "UPDATE corse SET codlinea = 'L2 ' WHERE id = 2;");
        connection = std::make_unique<store::DatabaseConnection>(ui, dir / "rete.sqlite");
        form = exportParametersForm(*connection, Date{2024, 1, 1}, Date{2024, 12, 31});
    }

    test::TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<store::DatabaseConnection> connection;
    ui::FormSpec form;
};

TEST_F(ExportParametersTest, OpensOnTheHeaderPeriodTheUsualLotAndEveryFilterOff) {
    EXPECT_EQ(form.title, "Parametri Estrazione Comunicazione VkzXml");
    std::string groups;
    for (const ui::FormGroup& group : form.groups) {
        groups += group.caption + "|";
    }
    EXPECT_EQ(groups,
              "Filtro Periodo Validità|Tipo Comunicazione|Filtro Lotto di Gara|Filtro Ente "
              "Contrattuale|Filtro Azienda Gestione|Filtro Azienda SubAppalto|Filtro Linea|"
              "Modalità estrazione|Modalità compressione|");

    const ui::FormValues values = form.initialValues();
    EXPECT_EQ(values.at("from"), "01/01/2024");
    EXPECT_EQ(values.at("to"), "31/12/2024");
    EXPECT_EQ(values.at("type"), "Piano di Servizio");
    // Every trip is in lot 1, though the register begins with lot 0.
    EXPECT_EQ(values.at("lot"), "0001");
    EXPECT_EQ(form.field("lot")->entries.front(), "0000");
    EXPECT_EQ(form.field("company")->entries.size(), 210u);
    EXPECT_EQ(form.field("line")->entries, (std::vector<std::string>{"L1", "L2"}));
    for (const char* box : {"authority_all", "company_all", "subcontractor_all", "line_all"}) {
        EXPECT_EQ(values.at(box), "1") << box;
    }
    EXPECT_EQ(values.at("mode"), "invio telematico");
    EXPECT_EQ(values.at("compression"), "compressione LZMA");
    EXPECT_FALSE(form.editable("authority", values));
    EXPECT_TRUE(form.editable("lot", values));

    // With every box set, whatever the lists hold is not looked at.
    ui::FormValues untouched = values;
    untouched["authority"] = "nessuno";
    const auto parameters = exportParametersFromValues(form, untouched);
    ASSERT_TRUE(parameters.has_value());
    EXPECT_EQ(parameters->from, (Date{2024, 1, 1}));
    EXPECT_TRUE(parameters->flags.planning);
    EXPECT_FALSE(parameters->flags.budget || parameters->flags.project || parameters->flags.test);
    EXPECT_EQ(parameters->filters.lot, 1);
    EXPECT_FALSE(parameters->filters.authority || parameters->filters.company ||
                 parameters->filters.subcontractor || parameters->filters.line);
    EXPECT_TRUE(parameters->transmit);
    EXPECT_TRUE(parameters->compress);
}

TEST_F(ExportParametersTest, RefusesEachFaultInTheDialogsOrderAndKeepsItOpen) {
    // Each attempt corrects the previous fault and makes the next one.
    ui::FormValues attempt{{"from", "1/3/2024"}, {"to", "31/02/2024"}};
    std::vector<ui::FormValues> attempts;
    const auto next = [&](std::initializer_list<std::pair<const std::string, std::string>> change) {
        attempts.push_back(attempt);
        for (const auto& [id, value] : change) {
            attempt[id] = value;
        }
    };
    next({{"from", "01.03.24"}});
    next({{"to", "30-06-2024"}, {"lot", "1a"}});
    next({{"lot", "99"}});
    next({{"lot", "3"}, {"authority_all", "0"}, {"authority", "400"}});
    next({{"authority", "0003"}, {"company_all", "0"}, {"company", ""}});
    next({{"company", "42"}, {"subcontractor_all", "0"}, {"subcontractor", "4200"}});
    next({{"subcontractor", "7"}, {"line_all", "0"}, {"line", "L9"}});
    next({{"line", "L2"},
          {"type", "Test"},
          {"mode", "generazione locale"},
          {"compression", "non compresso"}});
    attempts.push_back(attempt);
    for (const ui::FormValues& values : attempts) {
        ui.answerForm("export-xml", values);
    }

    const auto accepted = ui.Form(form);
    ASSERT_TRUE(accepted.has_value());
    EXPECT_GOLDEN(test::transcript(ui), "export_parameters/refusals.txt");

    const auto parameters = exportParametersFromValues(form, *accepted);
    ASSERT_TRUE(parameters.has_value());
    EXPECT_EQ(parameters->from, (Date{2024, 3, 1}));
    EXPECT_EQ(parameters->to, (Date{2024, 6, 30}));
    EXPECT_TRUE(parameters->flags.test);
    EXPECT_FALSE(parameters->flags.planning);
    EXPECT_EQ(parameters->filters.lot, 3);
    EXPECT_EQ(parameters->filters.authority, 3);
    EXPECT_EQ(parameters->filters.company, 42);
    EXPECT_EQ(parameters->filters.subcontractor, 7);
    EXPECT_EQ(parameters->filters.line, "L2");
    EXPECT_FALSE(parameters->transmit);
    EXPECT_FALSE(parameters->compress);
    EXPECT_TRUE(form.editable("line", *accepted));

    EXPECT_EQ(communicationTypeEntry("PROJECT"), "Progetto");
    EXPECT_FALSE(communicationTypeEntry("planning").has_value());
}

} // namespace
} // namespace tramela::comm::xml

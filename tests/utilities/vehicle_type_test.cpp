#include "support/sample_workspace.h"
#include "utilities/vehicle_type.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::utilities {
namespace {

using ui::Icon;
using ui::Outcome;

constexpr std::string_view kQuotedLine = "7\"; DELETE";

class VehicleType : public test::SampleWorkspace {
protected:
    // The sample's trips 1 and 2 (line L1, authority 3) and trip 10 of the quoted line under
    // authority 5, all urban buses.
    void SetUp() override {
        open(fmt::format("INSERT INTO corse VALUES (10, 'C10', '{}', 'A', 700, 5, 1000, 10, 1000, "
                         "10, 1, 1, 'U', NULL, NULL);",
                         kQuotedLine));
    }

    std::string modes() { return rows("SELECT id, mezzo FROM corse ORDER BY id"); }

    void expectResult(std::string_view scope, int read, int updated) {
        ASSERT_EQ(ui.messages().size(), 1u) << ui.messages().front().text;
        EXPECT_EQ(ui.messages()[0].text,
                  fmt::format("Risultati dell'assegnazione del mezzo di trasporto.\n{}Corse lette "
                              "{}\nCorse aggiornate {}\n",
                              scope,
                              read,
                              updated));
        EXPECT_EQ(ui.messages()[0].icon, Icon::Information);
        EXPECT_EQ(connection().transactionDepth(), 0);
        ui.clear();
    }
};

TEST_F(VehicleType, WholeCompanyTakesThePreselectedModeAndCancelChangesNothing) {
    ui.answerForm("assign-vehicle", std::nullopt);
    EXPECT_EQ(AssignVehicleToCompany(window()), Outcome::Cancelled);
    EXPECT_EQ(modes(), "1|U\n2|U\n10|U\n");
    ASSERT_EQ(ui.forms().size(), 1u);
    EXPECT_EQ(ui.forms()[0].title, "Assegnazione Tipo Mezzo (Intera Azienda)");
    EXPECT_EQ(ui.forms()[0].initialValues().at("type"), "Bus Extraurbano");
    ui.clear();

    ui.answerForm("assign-vehicle", ui::FormValues{});
    EXPECT_EQ(AssignVehicleToCompany(window()), Outcome::Done);
    expectResult("Tutte le corse dell'azienda.\n\n", 3, 3);
    EXPECT_EQ(modes(), "1|X\n2|X\n10|X\n");
}

// The line is bound as data; a line the trips do not use is refused while the dialog is open.
TEST_F(VehicleType, SingleLineChangesOnlyItsTripsAndNamesItInTheResult) {
    ui.answerForm("assign-vehicle-line", ui::FormValues{{"line", "L9"}, {"type", "Treno"}});
    EXPECT_EQ(AssignVehicleToLine(window()), Outcome::Cancelled);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text,
              "ATTENZIONE: Il Codice Linea non è valido.\n\n"
              "Occorre selezionare un Codice Linea nella lista.\n\n");
    ui.clear();

    ui.answerForm("assign-vehicle-line",
                  ui::FormValues{{"line", std::string(kQuotedLine)}, {"type", "Treno"}});
    EXPECT_EQ(AssignVehicleToLine(window()), Outcome::Done);
    expectResult(fmt::format("Corse della Linea selezionata ({}).\n\n", kQuotedLine), 1, 1);
    EXPECT_EQ(modes(), "1|U\n2|U\n10|T\n");
}

TEST_F(VehicleType, AuthorityOutsideTheRegisterStopsTheCommand) {
    ui.answerForm("assign-vehicle-authority", ui::FormValues{{"authority", "999"}});
    EXPECT_EQ(AssignVehicleToAuthority(window()), Outcome::Failed);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text,
              "ATTENZIONE: Il Codice Ente Concedente non è valido.\n\n"
              "Occorre selezionare un Codice Regionale Ente presente nella lista.\n\n"
              "L'assegnazione automatica del Tipo Mezzo di Trasporto risulta\nimpossibile.");
    EXPECT_EQ(ui.messages()[0].icon, Icon::Stop);
    EXPECT_EQ(modes(), "1|U\n2|U\n10|U\n");
    ui.clear();

    ui.answerForm("assign-vehicle-authority",
                  ui::FormValues{{"authority", "0005"}, {"type", "Tramvia"}});
    EXPECT_EQ(AssignVehicleToAuthority(window()), Outcome::Done);
    expectResult("Corse dell'Ente Contrattuale selezionato.\n\n", 1, 1);
    EXPECT_EQ(modes(), "1|U\n2|U\n10|W\n");
}

} // namespace
} // namespace tramela::utilities

// The editing-window model on the sample network, driven directly as the front ends drive it.

#include "support/sample_workspace.h"
#include "views/edit_window.h"
#include "views/windows.h"

#include <gtest/gtest.h>

namespace tramela::views {
namespace {

using ui::Icon;

class EditWindowTest : public test::SampleWorkspace {
protected:
    void SetUp() override { open(); }

    std::unique_ptr<EditWindow> window(std::unique_ptr<WindowSource> source,
                                       EditWindow* owner = nullptr) {
        auto opened = std::make_unique<EditWindow>(connection(), std::move(source), owner);
        EXPECT_TRUE(opened->open());
        return opened;
    }

    static std::vector<std::string> firstColumn(const EditWindow& window) {
        std::vector<std::string> texts;
        for (const ListEntry& entry : window.entries()) {
            texts.push_back(entry.columns.front() + (entry.deleted ? "*" : ""));
        }
        return texts;
    }

    static bool enabled(const EditWindow& window, Operation operation) {
        for (const MenuEntry& item : window.contextMenu()) {
            if (item.operation == operation) {
                return item.enabled;
            }
        }
        ADD_FAILURE() << "no such item";
        return false;
    }

    static bool insert(EditWindow& window, ui::FormValues values) {
        return window.beginNew() && window.confirm(values);
    }
};

TEST_F(EditWindowTest, RestoreTakesBackEverythingSinceTheLastRefreshAndCloseKeepsIt) {
    auto cadences = window(cadenceWindow());
    EXPECT_EQ(firstColumn(*cadences), (std::vector<std::string>{"FER", "FES"}));

    // Two insertions, then "Ripristina": both gone from the list and the database.
    EXPECT_TRUE(insert(*cadences, {{"code", "SCO"}, {"name", "Scolastico"}}));
    EXPECT_TRUE(insert(*cadences, {{"code", "EST"}, {"name", "Estivo"}}));
    EXPECT_EQ(firstColumn(*cadences), (std::vector<std::string>{"EST", "FER", "FES", "SCO"}));
    EXPECT_TRUE(cadences->restore());
    EXPECT_EQ(firstColumn(*cadences), (std::vector<std::string>{"FER", "FES"}));
    EXPECT_EQ(rows("SELECT codice FROM cadenz ORDER BY codice"), "FER\nFES\n");

    // Insert, "Aggiorna Vista", "Ripristina": the cadence stays.
    EXPECT_TRUE(insert(*cadences, {{"code", "SCO"}, {"name", "Scolastico"}}));
    EXPECT_TRUE(cadences->refresh());
    EXPECT_TRUE(cadences->restore());
    EXPECT_EQ(firstColumn(*cadences), (std::vector<std::string>{"FER", "FES", "SCO"}));

    // A change, then "Fine": permanent, also for a window dropped afterwards.
    ASSERT_TRUE(cadences->select(2));
    ASSERT_TRUE(cadences->beginModify());
    EXPECT_EQ(cadences->values().at("name"), "Scolastico");
    EXPECT_TRUE(cadences->confirm({{"code", "ALTRO"}, {"name", "Scuole"}}))
        << "the code is the key: only the name changes";
    EXPECT_TRUE(cadences->close());
    cadences.reset();
    EXPECT_EQ(rows("SELECT codice, denom FROM cadenz WHERE codice = 'SCO'"), "SCO|Scuole\n");

    // A window dropped without "Fine" keeps nothing.
    auto dropped = window(cadenceWindow());
    EXPECT_TRUE(insert(*dropped, {{"code", "PERSA"}, {"name", "Persa"}}));
    dropped.reset();
    EXPECT_EQ(rows("SELECT count(*) FROM cadenz"), "3\n");
    EXPECT_TRUE(ui.messages().empty()) << ui.messages().front();
}

TEST_F(EditWindowTest, ADeletedEntryStaysMarkedUntilRefreshAndCannotBeTouchedAgain) {
    sql("INSERT INTO cadenz VALUES ('SCO', 'Scolastico')");
    auto cadences = window(cadenceWindow());
    ASSERT_TRUE(cadences->select(2));
    EXPECT_TRUE(enabled(*cadences, Operation::Modify));
    EXPECT_TRUE(cadences->deleteSelected());
    EXPECT_EQ(firstColumn(*cadences), (std::vector<std::string>{"FER", "FES", "SCO*"}));
    EXPECT_EQ(rows("SELECT count(*) FROM cadenz WHERE codice = 'SCO'"), "0\n")
        << "written at once, inside the transaction";
    EXPECT_FALSE(enabled(*cadences, Operation::Modify));
    EXPECT_FALSE(enabled(*cadences, Operation::Delete));
    EXPECT_TRUE(enabled(*cadences, Operation::Insert));
    EXPECT_FALSE(cadences->beginModify());
    EXPECT_FALSE(cadences->deleteSelected());
    EXPECT_TRUE(cadences->refresh());
    EXPECT_EQ(firstColumn(*cadences), (std::vector<std::string>{"FER", "FES"}));

    // A cadence still used by periods and the calendar: the database refuses, nothing is marked.
    ASSERT_TRUE(cadences->select(0));
    EXPECT_FALSE(cadences->deleteSelected());
    EXPECT_FALSE(cadences->entries()[0].deleted);
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
}

TEST_F(EditWindowTest, AnEmptyListOffersOnlyInsertionRefreshAndRestore) {
    sql("DELETE FROM reglklin");
    auto links = window(lineLinkWindow());
    EXPECT_FALSE(links->selected());
    std::vector<std::string> on;
    for (const MenuEntry& item : links->contextMenu()) {
        if (item.enabled) {
            on.push_back(item.label);
        }
    }
    EXPECT_EQ(on,
              (std::vector<std::string>{"&Inserisci una Nuova Associazione Linea",
                                        "&Aggiorna la Vista delle Associazioni Linea",
                                        std::string(kRestoreLabel)}));
    EXPECT_FALSE(links->beginModify());
    EXPECT_FALSE(links->deleteSelected());

    // While editing, nothing but confirm and cancel: no menu item, no selection, no scrolling.
    EXPECT_TRUE(links->beginNew());
    for (const MenuEntry& item : links->contextMenu()) {
        EXPECT_FALSE(item.enabled) << item.label;
    }
    EXPECT_FALSE(links->refresh());
    links->cancel();
    EXPECT_EQ(links->mode(), Mode::Browsing);
    EXPECT_TRUE(insert(*links, {{"line", "L1"}, {"official", "1/1 L1 Linea 1"}}));
    EXPECT_EQ(firstColumn(*links), (std::vector<std::string>{"L1"}));
}

TEST_F(EditWindowTest, ARefusedConfirmKeepsTheTypedFieldsAndWritesNothing) {
    auto periods = window(periodWindow(1));
    const std::string before = rows("SELECT * FROM period ORDER BY id, inizio");
    ASSERT_TRUE(periods->beginNew());
    const ui::FormValues typed{
        {"from", "1/3/2009"}, {"to", "31/12/2009"}, {"cadence", "FER"}, {"excluded", "0"}};
    EXPECT_FALSE(periods->confirm(typed));
    EXPECT_EQ(ui.lastMessage()->text,
              "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
              "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n"
              "I dati immessi non saranno registrati !!!");
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);
    EXPECT_EQ(periods->mode(), Mode::EditingNew);
    EXPECT_EQ(periods->values(), typed);

    EXPECT_FALSE(
        periods->confirm({{"from", "01/03/2009"}, {"to", "31/02/2009"}, {"cadence", "FER"}}));
    EXPECT_TRUE(ui.lastMessage()->text.starts_with(
        "ATTENZIONE: la data di fine periodo è espressa in un formato illegale."));
    EXPECT_FALSE(
        periods->confirm({{"from", "01/03/2009"}, {"to", "31/12/2009"}, {"cadence", "NOPE"}}));
    EXPECT_EQ(periods->mode(), Mode::EditingNew);
    EXPECT_EQ(rows("SELECT * FROM period ORDER BY id, inizio"), before);
}

TEST_F(EditWindowTest, PeriodsTakeTypedDatesAcceptOverlapsAndModifyOnlyCadenceAndExclusion) {
    auto periods = window(periodWindow(1));
    EXPECT_EQ(periods->source().headers(),
              (std::vector<std::string>{
                  "Inizio", "Fine", "Tipo", "Cadenza", "Denominazione Cadenza", "Escluso"}));
    ASSERT_EQ(periods->entries().size(), 2u);
    EXPECT_EQ(periods->entries()[0].columns,
              (std::vector<std::string>{
                  "01/01/2024", "30/06/2024", "Effettuazione", "FER", "Feriale", "No"}));
    const auto cadences = periods->fields()[2].entries;
    EXPECT_EQ(cadences, (std::vector<std::string>{"FER        Feriale", "FES        Festivo"}));

    EXPECT_TRUE(insert(
        *periods,
        {{"from", "01.01.10"}, {"to", "31-12-2010"}, {"cadence", cadences[1]}, {"excluded", "1"}}));
    // Overlapping the period just inserted and the trip's others.
    EXPECT_TRUE(
        insert(*periods, {{"from", "01/06/2010"}, {"to", "30/06/2024"}, {"cadence", "FER"}}));
    EXPECT_EQ(
        rows("SELECT inizio, fine, caden, escluso FROM period WHERE id = 1 ORDER BY inizio, fine"),
        "2010-01-01|2010-12-31|FES|1\n2010-06-01|2024-06-30|FER|0\n"
        "2024-01-01|2024-06-30|FER|0\n2024-01-01|2024-12-31|FES|0\n");

    ASSERT_TRUE(periods->select(0));
    ASSERT_TRUE(periods->beginModify());
    EXPECT_EQ(periods->values().at("cadence"), "FES        Festivo");
    EXPECT_TRUE(periods->confirm(
        {{"from", "02/02/2002"}, {"to", "03/03/2003"}, {"cadence", "FER"}, {"excluded", "0"}}));
    EXPECT_EQ(rows("SELECT inizio, fine, caden, escluso FROM period WHERE id = 1 AND "
                   "inizio = '2010-01-01'"),
              "2010-01-01|2010-12-31|FER|0\n")
        << "the dates of an existing period are not changed by a modification";
    EXPECT_TRUE(periods->close());
    EXPECT_TRUE(ui.messages().empty()) << ui.messages().front();
}

TEST_F(EditWindowTest, ANestedWindowWorksInItsOwnersTransactionAndIsReloadedByIt) {
    auto routes = window(routeWindow());
    {
        auto periods = window(periodWindow(2), routes.get());
        EXPECT_TRUE(
            insert(*periods, {{"from", "01/01/2030"}, {"to", "31/01/2030"}, {"cadence", "FES"}}));
        EXPECT_EQ(periods->entries().size(), 3u);
        // The owner's restore takes the period back and reloads the nested list.
        EXPECT_TRUE(routes->restore());
        EXPECT_EQ(periods->entries().size(), 2u);
        EXPECT_EQ(rows("SELECT count(*) FROM period WHERE id = 2"), "2\n");

        // The nested window's own refresh is the owner's: committed for good.
        EXPECT_TRUE(
            insert(*periods, {{"from", "01/01/2030"}, {"to", "31/01/2030"}, {"cadence", "FES"}}));
        EXPECT_TRUE(periods->refresh());
        EXPECT_TRUE(routes->restore());
        EXPECT_EQ(periods->entries().size(), 3u);
        EXPECT_TRUE(periods->close());
    }
    EXPECT_TRUE(routes->restore()) << "a closed nested window is no longer reloaded";
    EXPECT_EQ(rows("SELECT count(*) FROM period WHERE id = 2"), "3\n");
}

TEST_F(EditWindowTest, RoutesChangeTheirAttributesAndLoseTheirCompositionInsideTheTransaction) {
    auto routes = window(routeWindow());
    EXPECT_EQ(firstColumn(*routes), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_TRUE(routes->setOrder(1));
    EXPECT_EQ(firstColumn(*routes), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_TRUE(routes->setOrder(3));
    ASSERT_TRUE(selectRouteOfTrip(*routes, 2));
    EXPECT_EQ(routes->selectedEntry()->keys[0], "2");
    EXPECT_FALSE(selectRouteOfTrip(*routes, 999));
    EXPECT_EQ(ui.lastMessage()->icon, Icon::Stop);

    ASSERT_TRUE(routes->beginModify());
    EXPECT_EQ(routes->values().at("length"), "1.914");
    EXPECT_FALSE(routes->confirm({{"length", "1,5,0"}, {"code", "L1R"}, {"name", "Ritorno"}}));
    EXPECT_EQ(ui.lastMessage()->text,
              "ATTENZIONE: lunghezza percorso inaccettabile\n\nIl numero è espresso in formato "
              "illegale");
    EXPECT_TRUE(routes->confirm({{"length", "2,5"}, {"code", "L1R"}, {"name", "Ritorno"}}));
    EXPECT_EQ(rows("SELECT conlung, codperc, denom FROM itiner WHERE ID = 2"),
              "2500.0|L1R|Ritorno\n");

    EXPECT_TRUE(routes->special(kDeleteComposition));
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 2"), "0\n");
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 1"), "3\n");
    EXPECT_TRUE(routes->restore());
    EXPECT_EQ(rows("SELECT count(*) FROM fermitin WHERE ID = 2"), "3\n");
    EXPECT_EQ(rows("SELECT codperc FROM itiner WHERE ID = 2"), "L1R\n");

    // The composition and the timetable of the selected route are both offered.
    for (const MenuEntry& item : routes->contextMenu()) {
        if (item.special == kComposition || item.special == kTimetable) {
            EXPECT_TRUE(item.enabled);
        }
    }
}

TEST_F(EditWindowTest, StandardLinesKeepTheirKeyCheckTheirRegistersAndTakeThreeOrders) {
    sql("INSERT INTO reglinee VALUES (1, 2, 3, 'A7', 'Linea A7', 'Centro')");
    auto lines = window(standardLineWindow());
    EXPECT_EQ(firstColumn(*lines), (std::vector<std::string>{"1", "1"}));
    EXPECT_TRUE(lines->setOrder(2));
    EXPECT_EQ(lines->entries()[0].columns[3], "A7");

    EXPECT_TRUE(lines->beginNew());
    EXPECT_FALSE(lines->confirm({{"lot", "77"}, {"authority", "3"}, {"id", "3"}, {"code", "X"}}));
    EXPECT_EQ(ui.lastMessage()->text,
              "ATTENZIONE: il Lotto di gara non è valido.\n\n"
              "Occorre selezionare un Lotto di gara presente nella lista.\n\n"
              "I dati immessi non saranno registrati !!!");
    EXPECT_FALSE(
        lines->confirm({{"lot", "0001 - x"}, {"authority", "3"}, {"id", "2"}, {"code", "X"}}))
        << "an id already used in the lot";
    EXPECT_TRUE(lines->confirm({{"lot", "0001 - x"},
                                {"authority", "0003"},
                                {"id", "3"},
                                {"code", "B2"},
                                {"name", "Linea B2"}}));
    EXPECT_EQ(rows("SELECT lotto, id, ente, sigla, denom FROM reglinee WHERE id = 3"),
              "1|3|3|B2|Linea B2\n");

    ASSERT_TRUE(lines->select(1));
    ASSERT_TRUE(lines->beginModify());
    ui::FormValues changed = lines->values();
    changed["lot"] = "9";
    changed["code"] = "B3";
    EXPECT_TRUE(lines->confirm(changed));
    EXPECT_EQ(rows("SELECT lotto, id, sigla FROM reglinee WHERE sigla = 'B3'"), "1|3|B3\n");
}

TEST(FormatRows, AlignsOnATerminalAndSeparatesByTabsOtherwise) {
    const std::vector<ListEntry> entries{{{"1"}, {"Università", "a\tb"}, false},
                                         {{"2"}, {"X", "y"}, true}};
    EXPECT_EQ(formatRows({"Nome", "Valore"}, entries, false), "Università\ta b\nX\ty\t*\n");
    EXPECT_EQ(formatRows({"Nome", "Valore"}, entries, true),
              "Nome        Valore\nUniversità  a\tb\nX           y\n");
}

} // namespace
} // namespace tramela::views

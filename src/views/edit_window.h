#pragma once

#include "ui/ui.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
class Transaction;
} // namespace tramela::store

namespace tramela::views {

// One entry of an editing window's list: the key values of its record, the texts of its
// columns, and whether it was deleted since the list was loaded.
struct ListEntry {
    std::vector<std::string> keys;
    std::vector<std::string> columns;
    bool deleted = false;
};

enum class Mode { Browsing, EditingNew, EditingSelected };

// What an item of a context menu (or a button) starts.
enum class Operation {
    Insert,
    Modify,
    Delete,
    Refresh,
    Restore,
    Order,   // the list in another order (the item's `order`)
    Special, // an operation of the window's own (the item's `special`) on the selected entry
    Action,  // an operation of the window's own that needs no selection
    Separator,
};

struct MenuEntry {
    std::string label;
    Operation operation = Operation::Separator;
    int order = 0;        // Operation::Order
    std::string special;  // Operation::Special, Operation::Action
    std::string submenu;  // the submenu the item sits in, empty for the menu itself
    bool built = true;    // false: an item whose window comes later, always disabled
    bool enabled = false; // set by EditWindow::contextMenu()
};

// What one window knows of its table: how its list is read, the fields of its detail panel, the
// check of what is typed and the writes. Every write shows its own failures (the table layer
// does) and gives false.
class WindowSource {
public:
    virtual ~WindowSource() = default;

    virtual std::string title() const = 0;
    virtual std::vector<std::string> headers() const = 0;
    // The detail panel's fields, empty; choice lists filled from the database.
    virtual std::vector<ui::FormField> fields(store::DatabaseConnection& connection) = 0;
    // The list in the current order; false when it could not be read (said so).
    virtual bool load(store::DatabaseConnection& connection, std::vector<ListEntry>& entries) = 0;
    // The detail fields of an entry, for modifying it.
    virtual ui::FormValues valuesOf(store::DatabaseConnection& connection,
                                    const ListEntry& entry) = 0;
    // The refusal of what was typed, in the three-part form; nothing when it is accepted.
    virtual std::optional<std::string>
    check(store::DatabaseConnection& connection, const ui::FormValues& values, bool isNew) = 0;
    virtual bool insert(store::DatabaseConnection& connection, const ui::FormValues& values) = 0;
    virtual bool modify(store::DatabaseConnection& connection,
                        const ListEntry& entry,
                        const ui::FormValues& values) = 0;
    virtual bool remove(store::DatabaseConnection& connection, const ListEntry& entry) = 0;

    // The window's own operations on the selected entry (Operation::Special and Action);
    // true when something was written or the list must be reloaded.
    virtual bool special(store::DatabaseConnection& /*connection*/,
                         std::string_view /*id*/,
                         const ListEntry* /*entry*/) {
        return false;
    }

    // The context menu, items in order, enabling left to the window.
    virtual std::vector<MenuEntry> menu() const = 0;

    // The orders of the list, by their number in the menu entries; 0 is the first.
    virtual int orderCount() const { return 1; }

    virtual void setOrder(int /*order*/) {}

    virtual int order() const { return 0; }
};

// An editing window: the list of one table with its selection and first visible entry, the mode
// of its detail panel, and the transaction inside which every confirmed change is written at
// once. Refresh commits and begins anew, restore rolls back and begins anew, close commits; a
// window dropped without closing rolls back. A nested window works in its owner's transaction:
// its refresh and restore are its owner's, and the owner reloads it with its own list.
class EditWindow {
public:
    EditWindow(store::DatabaseConnection& connection,
               std::unique_ptr<WindowSource> source,
               EditWindow* owner = nullptr);
    ~EditWindow();
    EditWindow(const EditWindow&) = delete;
    EditWindow& operator=(const EditWindow&) = delete;

    // Begins the transaction (not for a nested window) and loads the list; false when either
    // failed (said so).
    bool open();

    bool isOpen() const { return m_open; }

    WindowSource& source() { return *m_source; }

    store::DatabaseConnection& connection() { return m_connection; }

    const std::vector<ListEntry>& entries() const { return m_entries; }

    std::optional<size_t> selected() const { return m_selected; }

    const ListEntry* selectedEntry() const;
    // Selects an entry (ignored while editing or beyond the list) and keeps it visible.
    bool select(size_t index);

    size_t firstVisible() const { return m_firstVisible; }

    void setVisibleRows(size_t rows);
    // Moves the first visible entry, held between 0 and the entries less the visible rows; the
    // selection is held inside the visible rows. Ignored while editing.
    void scrollTo(long first);

    Mode mode() const { return m_mode; }

    const std::vector<ui::FormField>& fields() const { return m_fields; }

    // The detail fields as last typed (kept after a refusal) or as filled for modifying.
    const ui::FormValues& values() const { return m_values; }

    // New record: clears the fields and starts editing.
    bool beginNew();
    // Modify the selected record: fills the fields from it and starts editing; refused without a
    // selection or on a deleted entry.
    bool beginModify();
    // Checks and writes the typed fields; a refusal is shown with the stop icon and keeps the
    // fields as typed and the mode. On success the list is reloaded and the mode is browsing.
    bool confirm(const ui::FormValues& values);
    void cancel();
    // Deletes the selected record at once; the entry stays in the list marked deleted.
    bool deleteSelected();
    bool refresh();
    bool restore();
    // Commits (not for a nested window) and ends the window.
    bool close();
    // Reloads the list keeping the selection where it can (a nested window after its owner's
    // refresh or restore).
    bool reload();
    bool setOrder(int order);
    // One of the window's own operations; the list is reloaded when it wrote.
    bool special(std::string_view id);

    // The context menu with each item's enabling for the present state.
    std::vector<MenuEntry> contextMenu() const;

    // Nested windows open now, reloaded on this window's refresh and restore.
    void attach(EditWindow* nested);
    void detach(EditWindow* nested);

private:
    bool beginTransaction();

    store::DatabaseConnection& m_connection;
    std::unique_ptr<WindowSource> m_source;
    EditWindow* m_owner = nullptr;
    std::vector<EditWindow*> m_nested;
    std::unique_ptr<store::Transaction> m_transaction;
    bool m_open = false;
    std::vector<ListEntry> m_entries;
    std::optional<size_t> m_selected;
    size_t m_firstVisible = 0;
    size_t m_visibleRows = 20;
    Mode m_mode = Mode::Browsing;
    std::vector<ui::FormField> m_fields;
    ui::FormValues m_values;
};

// The common items of every window's context menu.
MenuEntry menuItem(std::string label, Operation operation);
MenuEntry orderItem(std::string label, int order, std::string submenu = {});
MenuEntry specialItem(std::string label, std::string id, Operation operation = Operation::Special);
inline constexpr std::string_view kRestoreLabel = "&Ripristina (invalida le variazioni sospese)";

// A value of the detail fields, empty when absent.
const std::string& fieldValue(const ui::FormValues& values, std::string_view id);

// Rows for the command line: aligned columns on a terminal, tab-separated when piped.
std::string formatRows(const std::vector<std::string>& headers,
                       const std::vector<ListEntry>& entries,
                       bool aligned);

} // namespace tramela::views

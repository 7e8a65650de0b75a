#include "views/edit_window.h"

#include "store/database_connection.h"
#include "store/transaction.h"

#include <algorithm>

namespace tramela::views {

namespace {

// Characters of a UTF-8 text, for aligning columns.
size_t widthOf(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

EditWindow::EditWindow(store::DatabaseConnection& connection,
                       std::unique_ptr<WindowSource> source,
                       EditWindow* owner)
    : m_connection(connection)
    , m_source(std::move(source))
    , m_owner(owner) {}

EditWindow::~EditWindow() {
    if (m_owner != nullptr) {
        m_owner->detach(this);
    }
    // A transaction still open here was neither refreshed nor closed: its guard rolls it back.
}

bool EditWindow::beginTransaction() {
    m_transaction = std::make_unique<store::Transaction>(m_connection);
    return m_transaction->active();
}

bool EditWindow::open() {
    if (m_owner == nullptr && !beginTransaction()) {
        return false;
    }
    if (m_owner != nullptr) {
        m_owner->attach(this);
    }
    m_fields = m_source->fields(m_connection);
    m_open = true;
    return reload();
}

const ListEntry* EditWindow::selectedEntry() const {
    return m_selected ? &m_entries[*m_selected] : nullptr;
}

bool EditWindow::select(size_t index) {
    if (m_mode != Mode::Browsing || index >= m_entries.size()) {
        return false;
    }
    m_selected = index;
    if (index < m_firstVisible) {
        m_firstVisible = index;
    } else if (index >= m_firstVisible + m_visibleRows) {
        m_firstVisible = index + 1 - m_visibleRows;
    }
    return true;
}

void EditWindow::setVisibleRows(size_t rows) {
    m_visibleRows = std::max<size_t>(rows, 1);
    scrollTo(static_cast<long>(m_firstVisible));
}

void EditWindow::scrollTo(long first) {
    if (m_mode != Mode::Browsing) {
        return;
    }
    const long last =
        std::max<long>(0, static_cast<long>(m_entries.size()) - static_cast<long>(m_visibleRows));
    m_firstVisible = static_cast<size_t>(std::clamp<long>(first, 0, last));
    if (m_selected) {
        const size_t lastVisible = std::min(m_firstVisible + m_visibleRows, m_entries.size()) - 1;
        m_selected = std::clamp(*m_selected, m_firstVisible, lastVisible);
    }
}

bool EditWindow::beginNew() {
    if (!m_open || m_mode != Mode::Browsing) {
        return false;
    }
    m_values.clear();
    for (const ui::FormField& field : m_fields) {
        m_values[field.id] = field.value;
    }
    m_mode = Mode::EditingNew;
    return true;
}

bool EditWindow::beginModify() {
    const ListEntry* entry = selectedEntry();
    if (!m_open || m_mode != Mode::Browsing || entry == nullptr || entry->deleted) {
        return false;
    }
    m_values = m_source->valuesOf(m_connection, *entry);
    m_mode = Mode::EditingSelected;
    return true;
}

bool EditWindow::confirm(const ui::FormValues& values) {
    if (m_mode == Mode::Browsing) {
        return false;
    }
    m_values = values;
    const bool isNew = m_mode == Mode::EditingNew;
    if (const auto refusal = m_source->check(m_connection, values, isNew)) {
        m_connection.ui().Message(*refusal, ui::Icon::Stop);
        return false;
    }
    // A record of several rows is written whole or not at all.
    store::Transaction step(m_connection);
    if (!step.active()) {
        return false;
    }
    const ListEntry* entry = selectedEntry();
    const bool written = isNew ? m_source->insert(m_connection, values)
                               : entry != nullptr && m_source->modify(m_connection, *entry, values);
    if (!written || !step.commit()) {
        return false; // shown where it failed; the list is as it was and the fields as typed
    }
    m_mode = Mode::Browsing;
    m_values.clear();
    return reload();
}

void EditWindow::cancel() {
    m_mode = Mode::Browsing;
    m_values.clear();
}

bool EditWindow::deleteSelected() {
    if (!m_open || m_mode != Mode::Browsing || !m_selected || m_entries[*m_selected].deleted) {
        return false;
    }
    store::Transaction step(m_connection);
    if (!step.active() || !m_source->remove(m_connection, m_entries[*m_selected]) ||
        !step.commit()) {
        return false;
    }
    m_entries[*m_selected].deleted = true;
    return true;
}

bool EditWindow::refresh() {
    if (m_owner != nullptr) {
        return m_owner->refresh();
    }
    if (!m_open || m_mode != Mode::Browsing) {
        return false;
    }
    const bool committed = m_transaction->commit();
    const bool begun = beginTransaction();
    bool loaded = reload();
    for (EditWindow* nested : m_nested) {
        loaded = nested->reload() && loaded;
    }
    return committed && begun && loaded;
}

bool EditWindow::restore() {
    if (m_owner != nullptr) {
        return m_owner->restore();
    }
    if (!m_open || m_mode != Mode::Browsing) {
        return false;
    }
    m_transaction->rollback();
    const bool begun = beginTransaction();
    bool loaded = reload();
    for (EditWindow* nested : m_nested) {
        loaded = nested->reload() && loaded;
    }
    return begun && loaded;
}

bool EditWindow::close() {
    if (!m_open) {
        return false;
    }
    m_open = false;
    m_mode = Mode::Browsing;
    if (m_owner != nullptr) {
        m_owner->detach(this);
        m_owner = nullptr;
        return true;
    }
    const bool committed = m_transaction->commit();
    m_transaction.reset();
    return committed;
}

bool EditWindow::reload() {
    std::vector<ListEntry> entries;
    if (!m_source->load(m_connection, entries)) {
        return false;
    }
    // The selection stays on the same record where it still is listed.
    std::optional<std::vector<std::string>> keys;
    if (m_selected) {
        keys = m_entries[*m_selected].keys;
    }
    m_entries = std::move(entries);
    m_selected.reset();
    if (!m_entries.empty()) {
        size_t index = 0;
        if (keys) {
            const auto found = std::find_if(m_entries.begin(),
                                            m_entries.end(),
                                            [&](const ListEntry& e) { return e.keys == *keys; });
            index = found != m_entries.end() ? static_cast<size_t>(found - m_entries.begin()) : 0;
        }
        m_selected = index;
    }
    scrollTo(static_cast<long>(m_firstVisible));
    if (m_selected) {
        select(*m_selected);
    }
    return true;
}

bool EditWindow::setOrder(int order) {
    if (m_mode != Mode::Browsing || order < 0 || order >= m_source->orderCount()) {
        return false;
    }
    m_source->setOrder(order);
    m_firstVisible = 0;
    return reload();
}

bool EditWindow::special(std::string_view id) {
    if (m_mode != Mode::Browsing) {
        return false;
    }
    const ListEntry* entry = selectedEntry();
    if (entry != nullptr && entry->deleted) {
        entry = nullptr;
    }
    store::Transaction step(m_connection);
    if (!step.active() || !m_source->special(m_connection, id, entry) || !step.commit()) {
        return false;
    }
    return reload();
}

std::vector<MenuEntry> EditWindow::contextMenu() const {
    std::vector<MenuEntry> items = m_source->menu();
    const ListEntry* entry = selectedEntry();
    const bool usable = entry != nullptr && !entry->deleted;
    const bool browsing = m_mode == Mode::Browsing;
    for (MenuEntry& item : items) {
        switch (item.operation) {
        case Operation::Insert:
        case Operation::Refresh:
        case Operation::Restore:
            item.enabled = browsing;
            break;
        case Operation::Modify:
        case Operation::Delete:
        case Operation::Special:
            item.enabled = browsing && usable;
            break;
        case Operation::Order:
        case Operation::Action:
            item.enabled = browsing && !m_entries.empty();
            break;
        case Operation::Separator:
            item.enabled = false;
            break;
        }
        item.enabled = item.enabled && item.built;
    }
    return items;
}

void EditWindow::attach(EditWindow* nested) {
    if (std::find(m_nested.begin(), m_nested.end(), nested) == m_nested.end()) {
        m_nested.push_back(nested);
    }
}

void EditWindow::detach(EditWindow* nested) {
    std::erase(m_nested, nested);
}

MenuEntry menuItem(std::string label, Operation operation) {
    MenuEntry item;
    item.label = std::move(label);
    item.operation = operation;
    return item;
}

MenuEntry orderItem(std::string label, int order, std::string submenu) {
    MenuEntry item = menuItem(std::move(label), Operation::Order);
    item.order = order;
    item.submenu = std::move(submenu);
    return item;
}

MenuEntry specialItem(std::string label, std::string id, Operation operation) {
    MenuEntry item = menuItem(std::move(label), operation);
    item.special = std::move(id);
    return item;
}

const std::string& fieldValue(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

std::string formatRows(const std::vector<std::string>& headers,
                       const std::vector<ListEntry>& entries,
                       bool aligned) {
    std::string text;
    if (!aligned) {
        for (const ListEntry& entry : entries) {
            for (size_t i = 0; i < entry.columns.size(); ++i) {
                // A tab or a line end inside a value would break the row apart.
                std::string value = entry.columns[i];
                std::replace_if(
                    value.begin(), value.end(), [](char c) { return c == '\t' || c == '\n'; }, ' ');
                text += (i == 0 ? "" : "\t") + value;
            }
            text += entry.deleted ? "\t*\n" : "\n";
        }
        return text;
    }
    std::vector<size_t> widths(headers.size(), 0);
    for (size_t i = 0; i < headers.size(); ++i) {
        widths[i] = widthOf(headers[i]);
    }
    for (const ListEntry& entry : entries) {
        for (size_t i = 0; i < entry.columns.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], widthOf(entry.columns[i]));
        }
    }
    const auto line = [&](const std::vector<std::string>& cells) {
        std::string row;
        for (size_t i = 0; i < cells.size(); ++i) {
            row += cells[i];
            if (i + 1 < cells.size()) {
                const size_t width = i < widths.size() ? widths[i] : 0;
                row += std::string(width - std::min(width, widthOf(cells[i])) + 2, ' ');
            }
        }
        while (!row.empty() && row.back() == ' ') {
            row.pop_back();
        }
        return row + "\n";
    };
    text += line(headers);
    for (const ListEntry& entry : entries) {
        text += line(entry.columns);
    }
    return text;
}

} // namespace tramela::views

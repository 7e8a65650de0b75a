#include "gui/form_dialog.h"

#include "gui/text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>

namespace tramela::gui {

namespace {

// The edit part of a list takes at most its field's number of characters as typed, yet shows a
// picked entry whole; shortening a picked entry from its end stays possible.
class EditPartLimit : public QValidator {
public:
    EditPartLimit(QStringList entries, int maxLength, QObject* parent)
        : QValidator(parent)
        , m_entries(std::move(entries))
        , m_maxLength(maxLength) {}

    State validate(QString& input, int& /*position*/) const override {
        if (input.size() <= m_maxLength || m_entries.contains(input)) {
            return Acceptable;
        }
        for (const QString& entry : m_entries) {
            if (entry.startsWith(input)) {
                return Intermediate;
            }
        }
        return Invalid;
    }

private:
    QStringList m_entries;
    int m_maxLength;
};

QStringList entryList(const ui::FormField& field) {
    QStringList entries;
    for (const std::string& entry : field.entries) {
        entries << toQString(entry);
    }
    return entries;
}

// The entry a list shows for a value: the entry equal to it, else the first that begins with it
// (a code selects the entry "code - name").
int entryFor(const ui::FormField& field, const std::string& value) {
    for (size_t i = 0; i < field.entries.size(); ++i) {
        if (field.entries[i] == value) {
            return static_cast<int>(i);
        }
    }
    if (!value.empty()) {
        for (size_t i = 0; i < field.entries.size(); ++i) {
            if (field.entries[i].starts_with(value)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

} // namespace

FormDialog::FormDialog(ui::FormSpec spec, QWidget* parent)
    : QDialog(parent)
    , m_spec(std::move(spec)) {
    setObjectName(toQString(m_spec.id));
    setWindowTitle(toQString(m_spec.title));
    setModal(true);

    size_t count = 0;
    for (const ui::FormGroup& group : m_spec.groups) {
        count += group.fields.size();
    }
    // The inputs point into m_spec's fields, which do not move from here on.
    m_inputs.reserve(count);

    auto* layout = new QVBoxLayout(this);
    for (const ui::FormGroup& group : m_spec.groups) {
        QWidget* frame = group.caption.empty() ? new QWidget(this)
                                               : new QGroupBox(toQString(group.caption), this);
        auto* rows = new QFormLayout(frame);
        if (group.caption.empty()) {
            rows->setContentsMargins(0, 0, 0, 0);
        }
        for (const ui::FormField& field : group.fields) {
            Input& input = m_inputs.emplace_back(Input{&field, nullptr, {}});
            QWidget* widget = buildField(field, input);
            widget->setParent(frame);
            if (field.kind == ui::FieldKind::Check || field.caption.empty()) {
                rows->addRow(widget);
            } else {
                auto* label = new QLabel(toQString(field.caption), frame);
                label->setBuddy(widget);
                rows->addRow(label, widget);
            }
        }
        layout->addWidget(frame);
    }

    auto* buttons = new QDialogButtonBox(Qt::Horizontal, this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    m_cancel = buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    for (const ui::FormAction& action : m_spec.actions) {
        QPushButton* button =
            buttons->addButton(toQString(action.caption), QDialogButtonBox::ActionRole);
        button->setObjectName(toQString(action.id));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, &action] {
            if (action.apply) {
                setValues(action.apply(values()));
            }
        });
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &FormDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FormDialog::reject);
    layout->addWidget(buttons);

    setValues(m_spec.initialValues());
}

QWidget* FormDialog::buildField(const ui::FormField& field, Input& input) {
    const QString id = toQString(field.id);
    switch (field.kind) {
    case ui::FieldKind::Text:
    case ui::FieldKind::Date:
    case ui::FieldKind::Integer: {
        auto* edit = new QLineEdit(this);
        if (field.maxLength > 0) {
            edit->setMaxLength(field.maxLength);
        }
        if (field.masked) {
            edit->setEchoMode(QLineEdit::Password);
        }
        if (field.kind == ui::FieldKind::Date) {
            edit->setPlaceholderText(QStringLiteral("GG/MM/AAAA"));
        }
        connect(edit, &QLineEdit::textChanged, this, [this] { changed(); });
        input.widget = edit;
        break;
    }
    case ui::FieldKind::Choice: {
        auto* list = new QComboBox(this);
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        // What the user types stays as typed: no completion from the entries.
        list->setCompleter(nullptr);
        list->addItems(entryList(field));
        if (field.maxLength > 0) {
            list->setValidator(new EditPartLimit(entryList(field), field.maxLength, list));
        }
        if (field.masked) {
            list->lineEdit()->setEchoMode(QLineEdit::Password);
        }
        connect(list, &QComboBox::currentTextChanged, this, [this] { changed(); });
        connect(list, &QComboBox::editTextChanged, this, [this] { changed(); });
        input.widget = list;
        break;
    }
    case ui::FieldKind::Radio: {
        auto* holder = new QWidget(this);
        auto* column = new QVBoxLayout(holder);
        column->setContentsMargins(0, 0, 0, 0);
        auto* group = new QButtonGroup(holder);
        for (size_t i = 0; i < field.entries.size(); ++i) {
            auto* radio = new QRadioButton(toQString(field.entries[i]), holder);
            radio->setObjectName(id + QLatin1Char('/') + QString::number(i));
            group->addButton(radio);
            column->addWidget(radio);
            input.radios.push_back(radio);
            connect(radio, &QRadioButton::toggled, this, [this] { changed(); });
        }
        input.widget = holder;
        break;
    }
    case ui::FieldKind::Check: {
        auto* check = new QCheckBox(toQString(field.caption), this);
        connect(check, &QCheckBox::toggled, this, [this] { changed(); });
        input.widget = check;
        break;
    }
    }
    input.widget->setObjectName(id);
    return input.widget;
}

std::string FormDialog::valueOf(const Input& input) const {
    switch (input.field->kind) {
    case ui::FieldKind::Text:
    case ui::FieldKind::Date:
    case ui::FieldKind::Integer:
        return toUtf8(static_cast<QLineEdit*>(input.widget)->text());
    case ui::FieldKind::Choice:
        return toUtf8(static_cast<QComboBox*>(input.widget)->currentText());
    case ui::FieldKind::Radio:
        for (size_t i = 0; i < input.radios.size(); ++i) {
            if (input.radios[i]->isChecked()) {
                return input.field->entries[i];
            }
        }
        return {};
    case ui::FieldKind::Check:
        return static_cast<QCheckBox*>(input.widget)->isChecked() ? "1" : "0";
    }
    return {};
}

void FormDialog::display(const Input& input, const std::string& value) {
    switch (input.field->kind) {
    case ui::FieldKind::Text:
    case ui::FieldKind::Date:
    case ui::FieldKind::Integer:
        static_cast<QLineEdit*>(input.widget)->setText(toQString(value));
        break;
    case ui::FieldKind::Choice: {
        auto* list = static_cast<QComboBox*>(input.widget);
        const int entry = entryFor(*input.field, value);
        list->setCurrentIndex(entry);
        if (entry < 0) {
            list->setEditText(toQString(value));
        }
        break;
    }
    case ui::FieldKind::Radio: {
        // Exclusive buttons cannot all be cleared one by one: a value that names no entry
        // leaves none chosen.
        auto* group = input.radios.empty() ? nullptr : input.radios.front()->group();
        if (group != nullptr) {
            group->setExclusive(false);
        }
        for (size_t i = 0; i < input.radios.size(); ++i) {
            input.radios[i]->setChecked(input.field->entries[i] == value);
        }
        if (group != nullptr) {
            group->setExclusive(true);
        }
        break;
    }
    case ui::FieldKind::Check:
        static_cast<QCheckBox*>(input.widget)->setChecked(value == "1");
        break;
    }
}

ui::FormValues FormDialog::values() const {
    ui::FormValues values;
    for (const Input& input : m_inputs) {
        values[input.field->id] = valueOf(input);
    }
    return values;
}

void FormDialog::setValues(const ui::FormValues& values) {
    m_writing = true;
    for (const Input& input : m_inputs) {
        if (const auto found = values.find(input.field->id); found != values.end()) {
            display(input, found->second);
        }
    }
    m_writing = false;
    refreshEditable();
}

QWidget* FormDialog::input(std::string_view fieldId) const {
    for (const Input& input : m_inputs) {
        if (input.field->id == fieldId) {
            return input.widget;
        }
    }
    return nullptr;
}

void FormDialog::changed() {
    if (!m_writing) {
        refreshEditable();
    }
}

void FormDialog::refreshEditable() {
    if (!m_spec.editable) {
        return;
    }
    const ui::FormValues current = values();
    for (const Input& input : m_inputs) {
        input.widget->setEnabled(m_spec.editable(input.field->id, current));
    }
}

void FormDialog::accept() {
    ui::FormValues current = values();
    if (m_spec.validate) {
        if (const std::optional<ui::Refusal> refusal = m_spec.validate(current)) {
            if (m_showRefusal) {
                m_showRefusal(*refusal);
            }
            return;
        }
    }
    m_accepted = std::move(current);
    QDialog::accept();
}

} // namespace tramela::gui

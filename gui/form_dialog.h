#pragma once

#include "ui/ui.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QPushButton;
class QRadioButton;
class QWidget;

namespace tramela::gui {

// A parameter dialog drawn from its description: one frame per group, one input per field.
// Each field's input carries the field's id as its object name (radio buttons "<id>/<n>", the
// n-th entry), so that it can be found by name. On OK the core's validator examines the values;
// a refusal is shown and the dialog stays open with everything the user typed.
class FormDialog : public QDialog {
    Q_OBJECT

public:
    explicit FormDialog(ui::FormSpec spec, QWidget* parent = nullptr);

    // The values as the inputs hold them now.
    ui::FormValues values() const;
    // Shows these values (fields not named keep theirs) and re-evaluates which inputs are open.
    void setValues(const ui::FormValues& values);

    // The values the validator accepted; nothing until OK succeeded.
    const std::optional<ui::FormValues>& acceptedValues() const { return m_accepted; }

    // How a refusal reaches the user; the dialog itself only stays open.
    void setRefusalHandler(std::function<void(const ui::Refusal&)> handler) {
        m_showRefusal = std::move(handler);
    }

    QPushButton* okButton() const { return m_ok; }

    QPushButton* cancelButton() const { return m_cancel; }

    QWidget* input(std::string_view fieldId) const;

    void accept() override;

private:
    struct Input {
        const ui::FormField* field;
        QWidget* widget; // the line edit, combo box, check box or the radio buttons' holder
        std::vector<QRadioButton*> radios;
    };

    QWidget* buildField(const ui::FormField& field, Input& input);
    std::string valueOf(const Input& input) const;
    void display(const Input& input, const std::string& value);
    void changed();
    void refreshEditable();

    ui::FormSpec m_spec;
    std::vector<Input> m_inputs;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::function<void(const ui::Refusal&)> m_showRefusal;
    std::optional<ui::FormValues> m_accepted;
    bool m_writing = false; // values are being written: one re-evaluation at the end
};

} // namespace tramela::gui

#include "ui/ui.h"

namespace tramela::ui {

FormValues FormSpec::initialValues() const {
    FormValues values;
    for (const FormGroup& group : groups) {
        for (const FormField& f : group.fields) {
            values[f.id] = f.value;
        }
    }
    return values;
}

const FormField* FormSpec::field(std::string_view fieldId) const {
    for (const FormGroup& group : groups) {
        for (const FormField& f : group.fields) {
            if (f.id == fieldId) {
                return &f;
            }
        }
    }
    return nullptr;
}

} // namespace tramela::ui

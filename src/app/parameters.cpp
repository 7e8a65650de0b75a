#include "app/parameters.h"

namespace tramela::app::parameters {

namespace {

Parameter file(Parameter::Kind kind, std::string name, std::string_view key, std::string help) {
    Parameter parameter;
    parameter.kind = kind;
    parameter.name = std::move(name);
    parameter.valueName = "FILE";
    parameter.help = std::move(help);
    parameter.answers = key;
    parameter.required = kind == Parameter::Kind::Positional;
    parameter.answer = [key = std::string(key)](ui::Answers& answers, const std::string& value) {
        answers.files[key] = value;
    };
    return parameter;
}

} // namespace

Parameter fileArgument(std::string name, std::string_view key, std::string help) {
    return file(Parameter::Kind::Positional, std::move(name), key, std::move(help));
}

Parameter absoluteFileArgument(std::string name, std::string_view key, std::string help) {
    Parameter parameter = fileArgument(std::move(name), key, std::move(help));
    parameter.answer = [key = std::string(key)](ui::Answers& answers, const std::string& value) {
        answers.files[key] = std::filesystem::absolute(value);
    };
    return parameter;
}

Parameter fileOption(std::string name, std::string_view key, std::string help) {
    return file(Parameter::Kind::Option, std::move(name), key, std::move(help));
}

Parameter
fieldArgument(std::string name, std::string_view form, std::string_view field, std::string help) {
    Parameter parameter = fieldOption(std::move(name), {}, form, field, std::move(help));
    parameter.kind = Parameter::Kind::Positional;
    parameter.required = true;
    return parameter;
}

Parameter fieldOption(std::string name,
                      std::string valueName,
                      std::string_view form,
                      std::string_view field,
                      std::string help) {
    Parameter parameter;
    parameter.name = std::move(name);
    parameter.valueName = std::move(valueName);
    parameter.help = std::move(help);
    parameter.form = form;
    parameter.answers = ui::Answers::fieldKey(form, field);
    parameter.answer = [form = std::string(form), field = std::string(field)](
                           ui::Answers& answers, const std::string& value) {
        answers.forms[form][field] = value;
    };
    return parameter;
}

Parameter fieldFlag(std::string name,
                    std::string_view form,
                    std::string_view field,
                    std::string value,
                    std::string help) {
    Parameter parameter = fieldOption(std::move(name), {}, form, field, std::move(help));
    parameter.kind = Parameter::Kind::Flag;
    parameter.answer =
        [form = std::string(form), field = std::string(field), value = std::move(value)](
            ui::Answers& answers, const std::string&) { answers.forms[form][field] = value; };
    return parameter;
}

Parameter variantFlag(std::string name, std::string help) {
    Parameter parameter;
    parameter.kind = Parameter::Kind::Flag;
    parameter.name = std::move(name);
    parameter.help = std::move(help);
    parameter.answer = [](ui::Answers&, const std::string&) {};
    return parameter;
}

} // namespace tramela::app::parameters

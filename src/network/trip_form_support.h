#pragma once

// What the trip dialogs (the head of a trip and the parameters assigned to trips) share: their
// field values and the refusals of the codes they both check.

#include "ui/ui.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace tramela::network::trip_form {

inline constexpr std::string_view kNotRecorded = "I dati immessi non saranno registrati !!!";
inline constexpr std::string_view kBadAuthority =
    "ATTENZIONE: Il Codice Ente Concedente non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Ente presente nella lista.\n\n";
inline constexpr std::string_view kBadCompany =
    "ATTENZIONE: Il Codice Azienda Gestione non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Azienda presente nella lista.\n\n";
inline constexpr std::string_view kBadSubcontractor =
    "ATTENZIONE: Il Codice Azienda Subappalto non è valido.\n\n"
    "Occorre selezionare un Codice Regionale Azienda presente nella lista.\n\n";
inline constexpr std::string_view kBadVehicle =
    "ATTENZIONE: Il Tipo Mezzo non è valido.\n\n"
    "Occorre selezionare un Tipo Mezzo presente nella lista.\n\n";
inline constexpr std::string_view kLineTooLong =
    "ATTENZIONE: Il Codice Linea supera i 10 caratteri.\n\n";

inline constexpr std::size_t kLineLength = 10; // corse.codlinea

// A refusal with the stop icon; its text ends with kNotRecorded unless told otherwise.
inline ui::Refusal refusal(std::string_view what, bool notRecorded = true) {
    return {std::string(what) + (notRecorded ? std::string(kNotRecorded) : std::string()),
            ui::Icon::Stop,
            {}};
}

// The value of a dialog's field, or the empty text.
inline const std::string& valueOf(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

// The number of characters of a UTF-8 text.
inline std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace tramela::network::trip_form

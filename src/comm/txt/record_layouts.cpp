#include "comm/txt/record_layouts.h"

#include <cassert>
#include <fmt/format.h>

namespace tramela::comm {

using enum FieldForm;

const RecordLayout& protocolLayout() {
    static const RecordLayout layout{"RT_PROTO.TXT",
                                     74,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 8, Date, "master.p_data"},
                                         {12, 6, Number, "master.protoc"},
                                         {18, 8, Date, "master.datini"},
                                         {26, 8, Date, "master.datfin"},
                                         {34, 40, Text, "master.resple"},
                                     }};
    return layout;
}

const RecordLayout& cadenceLayout() {
    static const RecordLayout layout{"RT_CADEN.TXT",
                                     74,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 10, Text, "cadenz.codice"},
                                         {14, 60, Text, "cadenz.denom"},
                                     }};
    return layout;
}

const RecordLayout& calendarLayout() {
    // The annotation stands before the cadence; the weekday is derived from the date.
    static const RecordLayout layout{"RT_CALEN.TXT",
                                     42,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 8, Date, "calend.data"},
                                         {12, 20, Text, "calend.note"},
                                         {32, 10, Text, "calend.caden"},
                                     }};
    return layout;
}

const RecordLayout& tripHeaderLayout() {
    static const RecordLayout layout{"RT_HDORA.TXT",
                                     229,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 6, Number, "corse.ID"},
                                         {10, 20, Text, "corse.codcorsa"},
                                         {30, 10, Blanks, "reserved"},
                                         {40, 4, Number, "corse.ente"},
                                         {44, 4, Number, "contract code, always 0000"},
                                         {48, 8, Number, "corse.lung, integer metres"},
                                         {56, 4, Number, "corse.tempo, minutes"},
                                         {60, 8, Number, "corse.ct_lung, integer metres"},
                                         {68, 4, Number, "corse.ct_tempo, minutes"},
                                         {72, 10, Text, "corse.codlinea"},
                                         {82, 1, Letter, "corse.verso, A or R"},
                                         {83, 20, Text, "itiner.codperc"},
                                         {103, 6, Zeros, "reserved"},
                                         {109, 120, Text, "itiner.denom"},
                                     }};
    return layout;
}

const RecordLayout& tripDetailLayout() {
    static const RecordLayout layout{"RT_DTORA.TXT",
                                     139,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 6, Number, "corse.ID"},
                                         {10, 4, Number, "detstd.sub"},
                                         {14, 10, Text, "fermate.fermata"},
                                         {24, 6, Zeros, "reserved"},
                                         {30, 10, Blanks, "reserved"},
                                         {40, 40, Text, "fermate.denom"},
                                         {80, 40, Text, "fermate.ubicaz"},
                                         {120, 8, Number, "fermitin.condist, integer metres"},
                                         {128, 4, Time, "arrival; 9999 on the first row"},
                                         {132, 4, Time, "departure; 9999 on the last row"},
                                         {136, 1, Flag, "fermitin.primaria"},
                                         {137, 1, Flag, "fermitin.facolt"},
                                         {138, 1, Flag, "detstd.nonferma"},
                                     }};
    return layout;
}

const RecordLayout& periodLayout() {
    static const RecordLayout layout{"RT_PERIOD.TXT",
                                     37,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 6, Number, "period.ID"},
                                         {10, 10, Text, "period.caden"},
                                         {20, 8, Date, "period.inizio"},
                                         {28, 8, Date, "period.fine"},
                                         {36, 1, Flag, "period.escluso"},
                                     }};
    return layout;
}

const RecordLayout& extendedCodeLayout() {
    static const RecordLayout layout{"RT_EXTCOD.TXT",
                                     22,
                                     {
                                         {0, 4, Number, "master.azienda"},
                                         {4, 6, Number, "extcod.ID"},
                                         {10, 4, Number, "extcod.lotto"},
                                         {14, 4, Number, "extcod.aziges"},
                                         {18, 4, Number, "extcod.azisub"},
                                     }};
    return layout;
}

std::vector<const RecordLayout*> allLayouts() {
    return {&protocolLayout(),
            &cadenceLayout(),
            &calendarLayout(),
            &tripHeaderLayout(),
            &tripDetailLayout(),
            &periodLayout(),
            &extendedCodeLayout()};
}

RecordBuilder::RecordBuilder(const RecordLayout& layout)
    : m_layout(layout) {
    m_line.reserve(static_cast<size_t>(layout.length) + 16);
}

RecordBuilder& RecordBuilder::start() {
    m_line.clear();
    m_field = 0;
    return *this;
}

void RecordBuilder::fillReserved() {
    while (m_field < m_layout.fields.size()) {
        const LayoutField& field = m_layout.fields[m_field];
        if (field.form != Blanks && field.form != Zeros) {
            return;
        }
        m_line.append(static_cast<size_t>(field.width), field.form == Blanks ? ' ' : '0');
        ++m_field;
    }
}

const LayoutField& RecordBuilder::next(FieldForm form) {
    fillReserved();
    assert(m_field < m_layout.fields.size() && m_layout.fields[m_field].form == form);
    (void)form;
    return m_layout.fields[m_field++];
}

RecordBuilder& RecordBuilder::number(long value) {
    const LayoutField& field = next(Number);
    fmt::format_to(std::back_inserter(m_line), "{:0{}d}", value, field.width);
    return *this;
}

RecordBuilder& RecordBuilder::text(std::string_view latin1) {
    const LayoutField& field = next(Text);
    // A line feed or a tab inside a name (a quoted field of a feed may hold one) would break the
    // line in two: control characters go out as blanks. A longer text is not cut: the line's
    // wrong length then shows, where a cut would lose the text silently.
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        m_line += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    if (latin1.size() < static_cast<size_t>(field.width)) {
        m_line.append(static_cast<size_t>(field.width) - latin1.size(), ' ');
    }
    return *this;
}

RecordBuilder& RecordBuilder::date(std::string_view display) {
    const LayoutField& field = next(Date);
    if (display.size() == 10) {
        // GG/MM/AAAA -> AAAAMMGG
        m_line += display.substr(6, 4);
        m_line += display.substr(3, 2);
        m_line += display.substr(0, 2);
    } else {
        m_line.append(static_cast<size_t>(field.width), ' ');
    }
    return *this;
}

RecordBuilder& RecordBuilder::time(int hhmm) {
    next(Time);
    fmt::format_to(std::back_inserter(m_line), "{:04d}", hhmm);
    return *this;
}

RecordBuilder& RecordBuilder::flag(bool value) {
    next(Flag);
    m_line += value ? '1' : '0';
    return *this;
}

RecordBuilder& RecordBuilder::letter(char value) {
    next(Letter);
    m_line += value;
    return *this;
}

const std::string& RecordBuilder::line() {
    fillReserved();
    return m_line;
}

int hhmmFromMinutes(long minutes) {
    const long ofDay = ((minutes % 1440) + 1440) % 1440;
    return static_cast<int>(ofDay / 60 * 100 + ofDay % 60);
}

long minutesFromHhmm(long hhmm) {
    return hhmm / 100 * 60 + hhmm % 100;
}

} // namespace tramela::comm

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tramela::comm {

// How a field of a fixed-width record is written and read.
enum class FieldForm {
    Number, // decimal, right-aligned, zero-padded ("%04d", "%06ld", "%08ld")
    Text,   // left-aligned, padded with blanks ("%-10s"); ISO-8859-1, one byte a character
    Date,   // AAAAMMGG
    Time,   // HHMM; "9999" for no time at all
    Flag,   // "1" true, "0" false; on reading anything but "1" is false
    Letter, // one character as it is ("%c")
    Blanks, // reserved: blanks
    Zeros,  // reserved: zeros
};

struct LayoutField {
    int offset; // 0-based, from the first character of the line
    int width;
    FieldForm form;
    std::string_view content; // the column it carries, or what it is
};

// One record file of the text communication: its name, its line length (without the line end)
// and its fields in order, each starting where the previous one ends.
struct RecordLayout {
    std::string_view file;
    int length;
    std::vector<LayoutField> fields;
};

const RecordLayout& protocolLayout();     // RT_PROTO.TXT
const RecordLayout& cadenceLayout();      // RT_CADEN.TXT
const RecordLayout& calendarLayout();     // RT_CALEN.TXT
const RecordLayout& tripHeaderLayout();   // RT_HDORA.TXT
const RecordLayout& tripDetailLayout();   // RT_DTORA.TXT
const RecordLayout& periodLayout();       // RT_PERIOD.TXT
const RecordLayout& extendedCodeLayout(); // RT_EXTCOD.TXT

// The seven layouts in the order of the communication.
std::vector<const RecordLayout*> allLayouts();

// Builds one line of a layout, field by field in the layout's order; reserved fields are filled
// by the builder itself. Values are never cut: a value longer than its field makes the line
// longer than its layout, as the reader will then say.
class RecordBuilder {
public:
    explicit RecordBuilder(const RecordLayout& layout);

    // Starts a new line.
    RecordBuilder& start();
    RecordBuilder& number(long value);
    // The text padded with blanks to its field's width (never cut), control characters (line
    // feeds, tabs) written as blanks.
    RecordBuilder& text(std::string_view latin1);
    // From the "GG/MM/AAAA" text of a day: AAAAMMGG; an empty text gives blanks.
    RecordBuilder& date(std::string_view display);
    // A time coded hours x 100 + minutes, or 9999.
    RecordBuilder& time(int hhmm);
    RecordBuilder& flag(bool value);
    RecordBuilder& letter(char value);
    // The line built so far, with the reserved fields that follow the last value.
    const std::string& line();

private:
    const LayoutField& next(FieldForm form);
    void fillReserved();

    const RecordLayout& m_layout;
    size_t m_field = 0;
    std::string m_line;
};

// Minutes after midnight back into hours x 100 + minutes, for the time fields: a time of day
// wraps past midnight (1450 minutes is 00:10, coded 10).
int hhmmFromMinutes(long minutes);
// A time coded hours x 100 + minutes (735 is 07:35) into minutes after midnight.
long minutesFromHhmm(long hhmm);

} // namespace tramela::comm

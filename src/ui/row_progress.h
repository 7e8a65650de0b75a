#pragma once

#include "ui/ui.h"

#include <cstdint>
#include <string_view>

namespace tramela::ui {

// The progress bar of one step over the rows it reads: 0 when the step starts, then the truncated
// percentage of the rows done, and 100 when it ends whatever the count foresaw. The front end
// hears of it only when the percentage changes.
class RowProgress {
public:
    explicit RowProgress(Ui& ui, std::int64_t rows = 0)
        : m_ui(ui)
        , m_total(rows) {
        m_ui.Progress(0);
    }

    // The step's caption first, then the bar.
    RowProgress(Ui& ui, std::string_view caption, std::int64_t rows = 0)
        : m_ui(ui)
        , m_total(rows) {
        m_ui.ProgressCaption(caption);
        m_ui.Progress(0);
    }

    RowProgress(const RowProgress&) = delete;
    RowProgress& operator=(const RowProgress&) = delete;

    ~RowProgress() { finish(); }

    void addRows(std::int64_t rows) { m_total += rows; }

    void advance() {
        ++m_done;
        show(m_done >= m_total ? 100 : static_cast<int>(m_done * 100 / m_total));
    }

    void finish() { show(100); }

private:
    void show(int percent) {
        if (percent != m_percent) {
            m_percent = percent;
            m_ui.Progress(percent);
        }
    }

    Ui& m_ui;
    std::int64_t m_total;
    std::int64_t m_done = 0;
    int m_percent = 0;
};

} // namespace tramela::ui

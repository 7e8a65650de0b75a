#pragma once

#include "ui/ui.h"

#include <algorithm>
#include <cstdint>

namespace tramela::ui {

// The progress bar of a long command as a scope: shown at 0 when it opens, hidden when it closes
// on whatever path the command leaves by. The front end hears of it only when the whole
// percentage changes.
class ProgressBar {
public:
    explicit ProgressBar(Ui& ui)
        : m_ui(ui) {
        m_ui.Progress(0);
    }

    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    ~ProgressBar() { hide(); }

    // done × 100 ÷ total, kept within 0..100; a total of 0 shows 0.
    void set(std::int64_t done, std::int64_t total) {
        if (m_percent < 0) {
            return;
        }
        const int percent =
            total > 0 ? static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100)) : 0;
        if (percent != m_percent) {
            m_percent = percent;
            m_ui.Progress(percent);
        }
    }

    // Hides the bar before the scope ends (before a closing message, say).
    void hide() {
        if (m_percent >= 0) {
            m_percent = -1;
            m_ui.Progress(-1);
        }
    }

private:
    Ui& m_ui;
    int m_percent = 0;
};

} // namespace tramela::ui

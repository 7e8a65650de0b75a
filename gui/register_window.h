#pragma once

#include "reports/report_document.h"

#include <QDialog>
#include <functional>

class QLabel;
class QTableWidget;

namespace tramela::gui {

// The window of a printed register: its title, the company line and the list as the user reads
// it on the screen, with "Anteprima di stampa" and "Stampa" to see or print its pages. The
// window only shows the document; what the two buttons do is the caller's.
class RegisterWindow : public QDialog {
    Q_OBJECT

public:
    RegisterWindow(const reports::ReportDocument& document,
                   std::function<void()> preview,
                   std::function<void()> print,
                   QWidget* parent = nullptr);

    QTableWidget* list() const { return m_list; }

    QLabel* caption() const { return m_caption; }

private:
    QLabel* m_caption;
    QTableWidget* m_list;
};

} // namespace tramela::gui

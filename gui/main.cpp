// The desktop application: the main window with its menu, on the same core as the command line.
// `tramela-gui [--db FILE] [--settings FILE] [--open-window ID [--route ID]] [--screenshot FILE]`.

#include "gui/edit_window_dialog.h"
#include "gui/main_frame.h"
#include "gui/qt_ui.h"
#include "gui/route_drawing.h"
#include "gui/text.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPainter>
#include <QScreen>
#include <QTableView>
#include <iostream>

namespace {

constexpr int kUsage = 2;

// The routes window with the route `id` selected, and its composition opened over it; nothing
// when the route is not listed (said so).
std::unique_ptr<tramela::gui::EditWindowDialog>
openComposition(tramela::workspace::Workspace& core,
                tramela::gui::EditWindowDialog& routes,
                const std::string& id) {
    const auto& entries = routes.model().entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].keys == std::vector<std::string>{id}) {
            routes.list()->selectRow(static_cast<int>(i));
            return tramela::gui::makeCompositionWindow(core, routes.model(), &routes);
        }
    }
    std::cerr << "Il percorso " << id << " non è presente nell'elenco dei percorsi\n";
    return nullptr;
}

// Two windows' pictures side by side, the first on the left.
QImage besideEachOther(const QImage& left, const QImage& right) {
    QImage both(left.width() + right.width(),
                std::max(left.height(), right.height()),
                QImage::Format_ARGB32);
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawImage(0, 0, left);
    painter.drawImage(left.width(), 0, right);
    return both;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tramela;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tramela-gui"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tramela - Acquisizione DataBase Corse - Regione Valmora"));
    const QCommandLineOption database(QStringLiteral("db"),
                                      QStringLiteral("Usa questo database per questa esecuzione"),
                                      QStringLiteral("FILE"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"),
                                          QStringLiteral("Usa questo file di impostazioni"),
                                          QStringLiteral("FILE"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Salva l'immagine della finestra principale in un file PNG ed esce"),
        QStringLiteral("FILE"));
    const QCommandLineOption openWindow(
        QStringLiteral("open-window"),
        QStringLiteral("Apre la finestra di gestione di questa voce di menu (5110, 5111, 5119, "
                       "5156, 5157); con --screenshot ne salva l'immagine"),
        QStringLiteral("ID"));
    const QCommandLineOption route(
        QStringLiteral("route"),
        QStringLiteral("Con --open-window 5119: seleziona il percorso e ne apre la composizione"),
        QStringLiteral("ID"));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions({database, settingsFile, screenshot, openWindow, route});
    if (!parser.parse(QApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.positionalArguments().isEmpty()
                                  ? parser.errorText()
                                  : QStringLiteral("Argomento inatteso: %1")
                                        .arg(parser.positionalArguments().constFirst());
        std::cerr << gui::toUtf8(error) << '\n' << gui::toUtf8(parser.helpText());
        return kUsage;
    }
    if (parser.isSet(help)) {
        std::cout << gui::toUtf8(parser.helpText());
        return 0;
    }

    // A picture taken without anybody at the screen: what the start-up says goes to standard
    // error instead of waiting for an OK.
    const bool picture = parser.isSet(screenshot);
    gui::QtUi ui(picture ? gui::QtUi::Mode::Unattended : gui::QtUi::Mode::Interactive);
    workspace::Settings settings(parser.isSet(settingsFile)
                                     ? gui::toPath(parser.value(settingsFile))
                                     : workspace::Settings::defaultPath());
    workspace::Workspace core(ui, settings);
    gui::MainFrame frame(core, ui);

    if (picture) {
        frame.showForPicture();
    } else {
        // Where no window manager maximises it, the window still covers the screen.
        frame.setGeometry(frame.screen()->availableGeometry());
        frame.showMaximized();
    }
    frame.setWindowTitle(gui::toQString(workspace::Workspace::kDefaultTitle));
    QApplication::processEvents();

    std::optional<std::filesystem::path> chosen;
    if (parser.isSet(database)) {
        chosen = gui::toPath(parser.value(database));
    }
    core.Startup(chosen);
    frame.syncTitle();

    std::unique_ptr<gui::EditWindowDialog> window;
    std::unique_ptr<gui::EditWindowDialog> composition;
    if (parser.isSet(openWindow)) {
        bool number = false;
        const int id = parser.value(openWindow).toInt(&number);
        window = number ? gui::makeEditWindow(core, id, &frame) : nullptr;
        if (!window) {
            std::cerr << "La voce di menu " << gui::toUtf8(parser.value(openWindow))
                      << " non apre una finestra di gestione (o nessun database è connesso)\n";
            return kUsage;
        }
        if (!window->opened()) {
            return 1;
        }
        if (parser.isSet(route)) {
            if (id != 5119) {
                std::cerr << "--route vale solo con --open-window 5119\n";
                return kUsage;
            }
            composition = openComposition(core, *window, gui::toUtf8(parser.value(route)));
            if (!composition) {
                return 1;
            }
        }
        if (!picture) {
            if (composition) {
                window->show();
                composition->exec();
                composition.reset();
            }
            window->exec();
            window.reset();
        } else {
            window->show();
            if (composition) {
                composition->show();
            }
        }
    }

    if (picture) {
        QApplication::processEvents();
        const QString file = parser.value(screenshot);
        // The editing window's picture, when one was asked for; its transaction is rolled back.
        QImage image = window ? window->grab().toImage() : frame.screenshot();
        if (composition) {
            image = besideEachOther(image, composition->grab().toImage());
        }
        if (!image.save(file, "PNG")) {
            std::cerr << "Impossibile creare\n\n" << gui::toUtf8(file) << '\n';
            return 1;
        }
        // The binding is left as it was: a picture is no working session.
        return 0;
    }
    return QApplication::exec();
}

#include "gui/main_frame.h"

#include "app/registry.h"
#include "app/shell_commands.h"
#include "gui/edit_window_dialog.h"
#include "gui/qt_ui.h"
#include "gui/text.h"
#include "gui/work_area.h"
#include "workspace/workspace.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <exception>
#include <fmt/format.h>

namespace tramela::gui {

namespace {

constexpr int kExitCommand = 5101;
constexpr int kTitlePadding = 6;

} // namespace

MainFrame::MainFrame(workspace::Workspace& core, QtUi& ui, QWidget* parent)
    : QMainWindow(parent)
    , m_core(core)
    , m_ui(ui)
    , m_area(new WorkArea(this)) {
    setWindowTitle(toQString(workspace::Workspace::kInitialCaption));
    setCentralWidget(m_area);
    buildMenuBar();
    m_ui.attach(this, m_area);
    installWindowOpener(this);
}

void MainFrame::buildMenuBar() {
    QMenuBar* bar = menuBar();
    // The menu belongs to the window, also on desktops that would move it to the screen's top.
    bar->setNativeMenuBar(false);
    for (const app::MenuItem& item : app::menuBar()) {
        if (item.kind == app::MenuItem::Kind::Submenu) {
            QMenu* menu = bar->addMenu(toQString(item.label));
            addItems(menu, item.children);
        } else if (item.kind == app::MenuItem::Kind::Command) {
            addCommand(bar, *app::findCommand(item.id));
        }
    }
}

void MainFrame::addItems(QMenu* menu, const std::vector<app::MenuItem>& items) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { applyEnabling(menu); });
    for (const app::MenuItem& item : items) {
        switch (item.kind) {
        case app::MenuItem::Kind::Separator:
            menu->addSeparator();
            break;
        case app::MenuItem::Kind::Submenu:
            addItems(menu->addMenu(toQString(item.label)), item.children);
            break;
        case app::MenuItem::Kind::Command:
            addCommand(menu, *app::findCommand(item.id));
            break;
        }
    }
}

QAction* MainFrame::addCommand(QWidget* owner, const app::Command& command) {
    auto* action = new QAction(toQString(command.label), owner);
    action->setData(command.menuId);
    action->setObjectName(QStringLiteral("command%1").arg(command.menuId));
    action->setEnabled(app::isEnabled(command, m_core));
    const int id = command.menuId;
    connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    owner->addAction(action);
    return action;
}

void MainFrame::applyEnabling(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->menu() == nullptr && action->data().isValid()) {
            action->setEnabled(app::isEnabled(action->data().toInt(), m_core));
        }
    }
}

QAction* MainFrame::commandAction(int id) const {
    return findChild<QAction*>(QStringLiteral("command%1").arg(id));
}

void MainFrame::runCommand(int id) {
    // A command runs to its end before another starts; the window lets no input through while
    // it runs, this only guards against what would slip past.
    if (m_running) {
        return;
    }
    if (id == kExitCommand) {
        close();
        return;
    }
    m_running = true;
    try {
        app::Route(m_core, id);
    } catch (const std::exception& error) {
        // A fault of a command must not take the session (and the user's binding) with it.
        const app::Command* command = app::findCommand(id);
        m_ui.Message(fmt::format("Errore imprevisto durante il comando \"{}\".\n\n{}",
                                 command != nullptr ? app::commandName(*command) : "",
                                 error.what()),
                     ui::Icon::Stop);
    }
    m_running = false;
    syncTitle();
    for (QAction* action : menuBar()->actions()) {
        if (action->menu() == nullptr && action->data().isValid()) {
            action->setEnabled(app::isEnabled(action->data().toInt(), m_core));
        }
    }
}

void MainFrame::syncTitle() {
    setWindowTitle(toQString(m_core.title()));
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // Closing under a running command would close its database under it.
    if (m_closed || m_running) {
        event->setAccepted(m_closed);
        return;
    }
    m_running = true;
    const bool leave = app::Exit(m_core) == ui::Outcome::Done;
    m_running = false;
    if (!leave) {
        event->ignore();
        return;
    }
    m_closed = true;
    event->accept();
}

int MainFrame::titleBarHeight() const {
    return fontMetrics().height() + 2 * kTitlePadding;
}

void MainFrame::showForPicture() {
    const QRect area = screen()->availableGeometry();
    setGeometry(area.adjusted(0, titleBarHeight(), 0, 0));
    show();
}

QImage MainFrame::screenshot() {
    const QPixmap body = grab();
    const QSize size = body.deviceIndependentSize().toSize();
    const int titleHeight = titleBarHeight();
    QImage picture(size.width(), titleHeight + size.height(), QImage::Format_RGB32);
    QPainter painter(&picture);
    const QRect titleBar(0, 0, size.width(), titleHeight);
    painter.fillRect(titleBar, palette().color(QPalette::Active, QPalette::Highlight));
    painter.setPen(palette().color(QPalette::Active, QPalette::HighlightedText));
    painter.setFont(font());
    const QRect textRect = titleBar.adjusted(kTitlePadding, 0, -kTitlePadding, 0);
    painter.drawText(textRect,
                     Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(windowTitle(), Qt::ElideRight, textRect.width()));
    painter.drawPixmap(QRect(QPoint(0, titleHeight), size), body);
    return picture;
}

} // namespace tramela::gui
